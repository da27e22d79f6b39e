#include "console/options_io.h"

#include "console/json.h"
#include "core/error_report.h"
#include "core/text.h"

namespace vell {

namespace {

// The text boxes and check boxes by name, so that both directions use one
// list.
struct TextBox {
  const char* name;
  std::string OptionsForm::*member;
};
struct CheckBox {
  const char* name;
  bool OptionsForm::*member;
};

const TextBox kTextBoxes[] = {
    {"NAME", &OptionsForm::NAME},
    {"PRIMARYIP", &OptionsForm::PRIMARYIP},
    {"DNSRECURSION", &OptionsForm::DNSRECURSION},
    {"MINTIMEOUT", &OptionsForm::MINTIMEOUT},
    {"MASTERDIR", &OptionsForm::MASTERDIR},
    {"MASTERSYNC", &OptionsForm::MASTERSYNC},
    {"HOSTS", &OptionsForm::HOSTS},
    {"HOSTSTTL", &OptionsForm::HOSTSTTL},
    {"CACHETTL", &OptionsForm::CACHETTL},
};
const CheckBox kCheckBoxes[] = {
    {"bind", &OptionsForm::bind},
    {"service", &OptionsForm::service},
    {"STARTWIN", &OptionsForm::STARTWIN},
    {"STARTMINI", &OptionsForm::STARTMINI},
    {"WRITELOG", &OptionsForm::WRITELOG},
    {"LOGDETAIL", &OptionsForm::LOGDETAIL},
    {"log_outgoing", &OptionsForm::log_outgoing},
    {"LOGBLOCK", &OptionsForm::LOGBLOCK},
    {"SPOOFSECURE", &OptionsForm::SPOOFSECURE},
    {"AUTOCNAME", &OptionsForm::AUTOCNAME},
    {"ROUNDROBIN", &OptionsForm::ROUNDROBIN},
    {"RECURSIONOUT", &OptionsForm::RECURSIONOUT},
    {"CACHERELOAD", &OptionsForm::CACHERELOAD},
};
// The address boxes of an interface record.
std::string* DhcpBox(clDHCPif& d, const std::string& name) {
  if (name == "IPaddr") return &d.IPaddr;
  if (name == "ScopeFrom") return &d.ScopeFrom;
  if (name == "ScopeTo") return &d.ScopeTo;
  if (name == "Subnet") return &d.Subnet;
  if (name == "Gateway") return &d.Gateway;
  return nullptr;
}
const char* const kDhcpAddressBoxes[] = {"IPaddr", "ScopeFrom", "ScopeTo", "Subnet", "Gateway"};

// More interface records than any machine has interfaces is not a form
// the page sends.
constexpr int kMaxInterfaces = 64;

std::string DhcpJson(const clDHCPif& d) {
  // The domain box shows the name without the record's final dot.
  const std::string domain = d.Domain.empty() ? "" : d.Domain.substr(0, d.Domain.size() - 1);
  return "{\"IPaddr\":" + JsonString(d.IPaddr) + ",\"Domain\":" + JsonString(domain) +
         ",\"ScopeFrom\":" + JsonString(d.ScopeFrom) + ",\"ScopeTo\":" + JsonString(d.ScopeTo) +
         ",\"Subnet\":" + JsonString(d.Subnet) + ",\"Gateway\":" + JsonString(d.Gateway) +
         ",\"TTL\":" + JsonString(Trim(NumText(d.TTL))) + ",\"Enable\":" + (d.Enable ? "true" : "false") +
         "}";
}

}  // namespace

std::string OptionsJson(const OptionsForm& form, const std::vector<std::string>& addresses) {
  std::string out = "{";
  for (const TextBox& box : kTextBoxes)
    out += JsonString(box.name) + ":" + JsonString(form.*box.member) + ",";
  for (const CheckBox& box : kCheckBoxes) {
    out += JsonString(box.name) + ":" + (form.*box.member ? "true" : "false") + ",";
  }
  out += "\"NS\":" + JsonList(form.NS) + ",\"addresses\":" + JsonList(addresses) + ",\"DHCP\":[";
  for (size_t i = 0; i < form.DHCP.size(); ++i) out += (i > 0 ? "," : "") + DhcpJson(form.DHCP[i]);
  return out + "]}";
}

OptionsForm OptionsFromFields(const std::map<std::string, std::string>& fields) {
  const auto field = [&fields](const std::string& name) {
    const auto it = fields.find(name);
    return it == fields.end() ? std::string() : it->second;
  };
  OptionsForm form;
  for (const TextBox& box : kTextBoxes) form.*box.member = field(box.name);
  for (const CheckBox& box : kCheckBoxes) form.*box.member = !field(box.name).empty();
  form.NS = Lines(field("NS"));
  const double count = LeadingNumber(field("dhcp_count"));
  for (int i = 0; i < count && i < kMaxInterfaces; ++i) {
    const std::string prefix = "dhcp" + std::to_string(i) + "_";
    clDHCPif d;
    for (const char* box : kDhcpAddressBoxes) *DhcpBox(d, box) = Trim(field(prefix + box));
    d.Domain = CleanName(field(prefix + "Domain")) + ".";
    d.TTL = CheckedInt32(LeadingNumber(field(prefix + "TTL")));
    d.Enable = !field(prefix + "Enable").empty();
    form.DHCP.push_back(d);
  }
  return form;
}

}  // namespace vell
