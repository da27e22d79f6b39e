// dhcp.dat: written whole through the atomic writer, read line by line in
// both forms (with and without the hardware address).
#include <fstream>
#include <iterator>

#include "core/ip.h"
#include "core/platform/atomic_file.h"
#include "core/text.h"
#include "dhcp/lease_store.h"

namespace vell {

namespace {

constexpr const char* kLineEnd = "\r\n";

// Takes the text up to the next blank off the front of rest (rest is then
// trimmed); false when there is no blank.
bool TakeField(std::string& rest, std::string& field) {
  const auto blank = rest.find(' ');
  if (blank == std::string::npos) return false;
  field = rest.substr(0, blank);
  rest = Trim(rest.substr(blank + 1));
  return true;
}

bool ReadLeaseLine(std::string line, clLease& lease) {
  line = Trim(line.substr(0, line.find(';')));
  std::string name, address, id, hw;
  if (!TakeField(line, name)) return false;
  lease.ClientName = CleanNameF(name) + ".";
  if (!TakeField(line, address)) return false;
  lease.IPaddr = CleanIP(address);
  if (!TakeField(line, id)) return false;
  lease.ClientID = HexToHW(id);
  // A lease must name its client: an empty identifier would be written as
  // an empty field, which no reader can tell from the next one.
  if (lease.ClientID.empty()) return false;
  if (ParseDateTime(line, lease.Expires)) return true;  // the older form
  if (!TakeField(line, hw)) return false;
  lease.HWAddr = HexToHW(hw);
  return ParseDateTime(line, lease.Expires);
}

}  // namespace

std::string LeaseFileText(const LeaseTable& leases) {
  std::string out = std::string("; Vellion - DHCP Leases") + kLineEnd;
  for (const clLease& l : leases) {
    out += l.ClientName + " " + l.IPaddr + " " + HWToHex(l.ClientID) + " " + HWToHex(l.HWAddr) + " " +
           DateTimeText(l.Expires) + kLineEnd;
  }
  return out;
}

std::vector<clLease> ReadLeaseFile(const std::string& text) {
  std::vector<clLease> leases;
  for (const std::string& line : TextLines(text)) {
    clLease lease;
    if (ReadLeaseLine(line, lease)) leases.push_back(std::move(lease));
  }
  return leases;
}

void LeaseStore::SaveLeases() {
  Trap(env_.errors, "modDHCP SaveLeases", [&] {
    WriteFileAtomically(env_.Path(kLeaseFileName), LeaseFileText(table_));
    changed_ = false;
  });
}

void LeaseStore::SaveIfChanged() {
  if (changed_) SaveLeases();
}

void LeaseStore::Load() {
  Trap(env_.errors, "modDHCP Load", [&] {
    // The DHCP sockets open before the first tick reads the file: leases
    // given in between are newer than the file and must not be forgotten,
    // or their addresses would be handed out again. The file's leases of
    // their addresses, names and clients give way to them.
    const std::vector<clLease> given = table_.All();
    std::ifstream in(env_.Path(kLeaseFileName), std::ios::binary);
    table_ = in ? ReadLeaseFile({std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()})
                : std::vector<clLease>();
    for (const clLease& lease : given) {
      Remove(lease.IPaddr, lease.ClientName);
      for (LeaseTable::Ref ref : table_.OfClient(lease.ClientID)) table_.Erase(ref);
      table_.Add(lease);
    }
    changed_ = !given.empty();
  });
}

}  // namespace vell
