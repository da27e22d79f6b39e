// The options dialog (frmOptions): copies of the settings as its boxes hold
// them, the cleaning of a box when it loses the focus, and the checks OK
// makes, in order, before anything is stored. The apply is the server's
// (ConsoleOperations::ApplyOptions).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/config/settings.h"
#include "core/error_report.h"

namespace vell {

struct OptionsForm {
  std::string NAME;
  std::string PRIMARYIP;
  bool bind = false;     // DNSBIND = PRIMARYIP
  bool service = false;  // run as the system service
  bool STARTWIN = false;
  bool STARTMINI = false;
  bool WRITELOG = false;
  bool LOGDETAIL = false;
  bool log_outgoing = false;  // LOGINONLY is its opposite
  bool LOGBLOCK = false;
  std::string DNSRECURSION;
  std::string MINTIMEOUT;
  bool SPOOFSECURE = false;
  bool AUTOCNAME = false;
  bool ROUNDROBIN = false;
  bool RECURSIONOUT = false;  // forwarding
  std::vector<std::string> NS;
  std::string MASTERDIR;
  std::string MASTERSYNC;
  std::string HOSTS;
  std::string HOSTSTTL;
  std::string CACHETTL;
  bool CACHERELOAD = false;
  // The dialog's own interface records; Domain as the record holds it
  // (the box's text and "."), Gateway empty for none.
  std::vector<clDHCPif> DHCP;

  static OptionsForm Open(const Settings& s);
  // Stores the boxes (apply step 4, and NAME and the DHCP list rebuilt
  // from the enabled records); the service switch and DNSBIND are the
  // caller's.
  void Store(Settings& s) const;
};

// The text a box holds after it loses the focus; other boxes keep theirs.
// field: the OptionsForm member name ("NAME", "MASTERDIR", ..., "Domain").
std::string CleanOptionField(const std::string& field, const std::string& text);
// The mask filled in for an interface without one, by its first number.
std::string DefaultMask(const std::string& address);

// Where a failing check sends the operator: its message, the tab, the
// field to focus, and for a DHCP check the interface (else -1).
struct OptionsProblem {
  std::string message;
  std::string tab;
  std::string field;
  int dhcp = -1;
  bool operator==(const OptionsProblem&) const = default;
};

// OK's checks in order; the first failing one, or nothing when all pass.
// Silent fixes (the master directory equal to the data directory, the
// default mask, a scope given backwards) are made in form.
std::optional<OptionsProblem> CheckOptions(OptionsForm& form, const std::string& home, ErrorSink& sink);
// The checks of one enabled interface record, in order.
std::optional<std::string> CheckDhcpInterface(clDHCPif& dhcp, std::string& field, ErrorSink& sink);

}  // namespace vell
