// The zone transfer server: AXFR answers built from a zone's records.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>

#include "dns/header.h"
#include "dns/names.h"
#include "dns/record_data.h"
#include "dns/record_wire.h"
#include "dns/wire.h"
#include "zones/auth_data.h"

namespace vell {

namespace {

// A multi-record message is sent once it is longer than this.
constexpr size_t kFlushSize = 1000;

struct TransferRequest {
  int32_t id;
  bool rd;
  const std::string& name;
};

// Header with QDCOUNT 1 and the question; ANCOUNT is filled in later.
std::string StartMessage(ErrorSink& sink, const TransferRequest& req, unsigned flags1, unsigned flags2) {
  std::string msg = MakeInt(req.id);
  msg += static_cast<char>(flags1 | (req.rd ? header::kRD : 0U));
  msg += static_cast<char>(flags2);
  msg += MakeInt(1) + MakeInt(0) + MakeInt(0) + MakeInt(0);
  msg += ZipName(sink, msg, req.name);
  msg += MakeInt(kTypeAXFR) + MakeInt(kClassIN);
  return msg;
}

void AppendRecord(ErrorSink& sink, std::string& msg, const clDNSRecord& record) {
  msg += ZipName(sink, msg, record.Name);
  msg += MakeInt(record.RecType);
  msg += MakeInt(kClassIN);
  msg += MakeLong(sink, record.mTTL);
  const std::string rdata = WireRData(sink, msg, record);
  msg += MakeInt(static_cast<int32_t>(rdata.size()));
  msg += rdata;
}

void SetAnCount(std::string& msg, int32_t count) { msg.replace(header::kAnCount, 2, MakeInt(count)); }

// Sends positions 0..N of the transfer: the SOA first and last, every other
// record once in the zone's order.
class TransferWriter {
 public:
  TransferWriter(ErrorSink& sink, const TransferRequest& req, bool multi, TransferSink& out)
      : sink_(sink), req_(req), multi_(multi), out_(out) {}

  bool Run(const clZone& zone, size_t soa) {
    const size_t n = zone.Records.size();
    for (size_t i = 0; i <= n; ++i) {
      const size_t index = i == 0 || i == n ? soa : (i > soa ? i : i - 1);
      if (!Add(*zone.Records[index])) return false;
    }
    return !multi_ || Flush();
  }

 private:
  bool Add(const clDNSRecord& record) {
    if (multi_ && count_ > 0 && msg_.size() > kFlushSize && !Flush()) return false;
    if (count_ == 0) msg_ = StartMessage(sink_, req_, header::kQR | header::kAA, 0);
    AppendRecord(sink_, msg_, record);
    ++count_;
    return multi_ || Flush();
  }

  bool Flush() {
    SetAnCount(msg_, count_);
    count_ = 0;
    return out_.SendMessage(msg_);
  }

  ErrorSink& sink_;
  const TransferRequest& req_;
  const bool multi_;
  TransferSink& out_;
  std::string msg_;
  int32_t count_ = 0;
};

}  // namespace

void clDNSAuthData::ZoneTransfer(int32_t ReqID, bool ReqRD, const std::string& ZName, bool MSType,
                                 const std::string& FromIP, TransferSink& Winsock) {
  Trap(env_.errors, "clDNSAuthData ZoneTransfer", [&] {
    const TransferRequest req{ReqID, ReqRD, ZName};
    const size_t found = ZoneFind(ZName);
    const clZone* zone = found == kNotFound ? nullptr : zones_[found].get();
    const bool allowed =
        zone != nullptr &&
        (!zone->Secure || std::find(zone->Slaves.begin(), zone->Slaves.end(), FromIP) != zone->Slaves.end());
    const std::optional<size_t> soa = allowed ? FindSoa(*zone, ZName) : std::nullopt;
    if (!soa) {
      env_.log.AddLine(0, "Sending answer to " + FromIP + " about Zone Transfer for " + ZName);
      env_.log.AddLine(0, "-> Header: Refused.");
      Winsock.SendMessage(StartMessage(env_.errors, req, header::kQR, header::kRCodeRefused));
      return;
    }
    env_.log.AddLine(0, "Sending Zone Transfer to " + FromIP + " for " + ZName);
    TransferWriter(env_.errors, req, MSType, Winsock).Run(*zone, *soa);
  });
}

}  // namespace vell
