#include "console/console.h"

#include <fstream>
#include <sstream>

#include "console/assets.h"
#include "console/json.h"
#include "console/metrics.h"
#include "console/options_io.h"
#include "console/secret.h"
#include "core/text.h"

namespace vell {

namespace {

// Every answer: no inline script or style, no framing, no sniffing, no
// caching, and no Referer that could carry the token elsewhere.
const std::pair<const char*, const char*> kSecurityHeaders[] = {
    {"Content-Security-Policy",
     "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self' data:; connect-src 'self'; "
     "frame-ancestors 'none'; base-uri 'none'; form-action 'self'"},
    {"X-Content-Type-Options", "nosniff"},
    {"X-Frame-Options", "DENY"},
    {"Referrer-Policy", "no-referrer"},
    {"Cache-Control", "no-store"},
};

// A browser's connection silent this long is closed.
constexpr unsigned kConnectionTimeoutS = 30;

// The paths that change something: POST only, with the CSRF token.
bool ChangesState(const std::string& path) { return path.rfind("/api/do/", 0) == 0; }

HttpResponse Json(const std::string& body) { return {200, "application/json", body, {}}; }

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

const char* RenameText(RenameOutcome outcome) {
  switch (outcome) {
    case RenameOutcome::kNoLease:
      return "no lease";
    case RenameOutcome::kKept:
      return "kept";
    case RenameOutcome::kNameExists:
      return "Name already exists!";
    case RenameOutcome::kRenamed:
      return "renamed";
  }
  return "";
}

}  // namespace

Console::Console(ConsoleData data, ConsoleOperations& ops, const std::string& address, uint16_t port)
    : data_(data), ops_(ops), token_(RandomToken()), lookup_(data.env, data.dns_port) {
  daemon_ = std::make_unique<HttpDaemon>(data_.env.loop, address, port, kConnectionTimeoutS,
                                         [this](const HttpRequest& request) { return Serve(request); });
  host_ = address + ":" + std::to_string(daemon_->Port());
  guard_ = std::make_unique<ConsoleGuard>(
      host_, token_, RandomToken(), [this](const std::string& line) { data_.env.log.AddLine(0, line); });
  if (!WriteTokenFile(data_.env.Path("console.token"), token_)) {
    data_.env.log.AddLine(0, "Console token file could not be written.");
  }
}

std::string Console::Url() const { return "http://" + host_ + "/?token=" + token_; }

HttpResponse Console::Serve(const HttpRequest& request) {
  HttpResponse response;
  if (const std::string refusal = guard_->Refusal(request, ChangesState(request.path)); !refusal.empty()) {
    response = guard_->Refuse(refusal);
  } else {
    // Nothing thrown may cross the library's C code.
    response = TrapOr(data_.env.errors, "frmMain Console", HttpResponse::Text(500, "Internal error"),
                      [&] { return request.method == "POST" ? Post(request) : Get(request); });
  }
  for (const auto& [name, value] : kSecurityHeaders) response.headers.emplace_back(name, value);
  return response;
}

HttpResponse Console::Get(const HttpRequest& request) {
  const std::string& path = request.path;
  if (path == "/api/state") return State();
  if (path == "/api/leases") return Leases();
  if (path == "/api/blocks") return Blocks();
  if (path == "/api/support") return HttpResponse::Text(200, ReadFile(data_.env.Path("support.txt")));
  if (path == "/metrics") return Metrics();
  if (path == "/api/options") return Options();
  if (path == "/api/lookup") return Answer(request.Arg("id"));
  if (path == "/api/options/clean") return CleanField(request);
  return Page(request);
}

HttpResponse Console::Page(const HttpRequest& request) {
  const Asset* asset = FindAsset(request.path);
  if (asset == nullptr) return HttpResponse::Text(404, "Not found");
  HttpResponse response{200, std::string(asset->type), std::string(asset->body), {}};
  // The token of the printed URL goes on in a cookie the page's own
  // requests carry, and no other site's requests do.
  if (!request.Arg("token").empty()) response.headers.emplace_back("Set-Cookie", guard_->SetCookie());
  return response;
}

HttpResponse Console::Post(const HttpRequest& request) {
  const auto form = ParseForm(request.body);
  const auto field = [&form](const char* name) {
    const auto it = form.find(name);
    return it == form.end() ? std::string() : it->second;
  };
  const std::string& path = request.path;
  if (path == "/api/do/command") return Command(field("name"));
  if (path == "/api/do/lease-rename") return RenameLease(field("address"), field("name"));
  if (path == "/api/do/lease-delete") {
    ops_.DeleteLease(field("address"));
    return Json("{}");
  }
  if (path == "/api/do/options") return ApplyOptions(form);
  if (path == "/api/do/lookup") return Ask(field("name"), field("type"));
  if (path == "/api/do/blocks") return ApplyBlocks(field("rate"), field("noblock"), field("blocks"));
  return HttpResponse::Text(404, "Not found");
}

HttpResponse Console::State() {
  const ProcessState& st = data_.env.state;
  // The 60 per-second slots, oldest first: the slot after the current
  // second's is the one a minute old.
  const int now = SecondOfMinute(data_.env.Now());
  std::string graph = "[";
  for (int i = 1; i <= 60; ++i) {
    graph += (i > 1 ? "," : "") + std::to_string(st.PerSecond[static_cast<size_t>((now + i) % 60)]);
  }
  graph += "]";
  const LogWindow* window = data_.env.log.window;
  const std::deque<std::string>& log = window != nullptr ? window->ListDNS() : data_.env.log.LogBuffer;
  data_.boxes.Polled();
  const std::deque<std::string> boxes = data_.boxes.Take();
  std::ostringstream out;
  out << "{\"running\":" << (st.ServerRunning ? "true" : "false")
      << ",\"caption\":" << JsonString(st.ServerRunning ? "&Pause Server" : "&Start Server")
      << ",\"status\":" << JsonString(st.StatusText) << ",\"requests\":" << JsonString(st.StatusPanel[2])
      << ",\"cache\":" << JsonString(st.StatusPanel[3]) << ",\"tray\":" << data_.tray.icon
      << ",\"tip\":" << JsonString(data_.tray.tip) << ",\"name\":" << JsonString(data_.env.settings.NAME)
      << ",\"perSecond\":" << graph << ",\"log\":" << JsonList({log.begin(), log.end()})
      << ",\"boxes\":" << JsonList({boxes.begin(), boxes.end()}) << ",\"home\":" << JsonString(data_.env.home)
      << ",\"csrf\":" << JsonString(guard_->Csrf()) << "}";
  return Json(out.str());
}

HttpResponse Console::Leases() const {
  std::string out = "[";
  for (const clLease& lease : data_.leases) {
    out += (out.size() > 1 ? "," : "") + std::string("{\"address\":") + JsonString(lease.IPaddr) +
           ",\"name\":" + JsonString(lease.ClientName) +
           ",\"expires\":" + JsonString(DateTimeText(lease.Expires)) +
           ",\"live\":" + (lease.Expires > data_.env.Now() ? "true" : "false") +
           ",\"hardware\":" + JsonString(HWToHex(lease.HWAddr)) + "}";
  }
  return Json(out + "]");
}

HttpResponse Console::Blocks() {
  const BlockLists lists = ops_.OpenBlocks();
  return Json("{\"rate\":" + JsonString(lists.rate) + ",\"noblock\":" + JsonList(lists.noblock) +
              ",\"blocks\":" + JsonList(lists.blocks) + "}");
}

HttpResponse Console::Metrics() {
  MetricValues v;
  v.requests = data_.env.state.RequestCount;
  v.running = data_.env.state.ServerRunning;
  v.cache_records = ops_.CacheCount();
  v.leases = data_.leases.size();
  for (const clLease& lease : data_.leases) v.live_leases += lease.Expires > data_.env.Now() ? 1 : 0;
  v.blocked = ops_.OpenBlocks().blocks.size();
  return {200, "text/plain; version=0.0.4; charset=utf-8", MetricsText(v), {}};
}

HttpResponse Console::Command(const std::string& name) {
  if (name == "mnuStartStop") {
    ops_.StartStop();
  } else if (name == "mnuReload") {
    ops_.Reload();
  } else if (name == "mnuClearCache") {
    ops_.ClearCache();
  } else if (name == "mnuClearWindow") {
    ops_.ClearWindow();
  } else if (name == "mnuDump") {
    ops_.Dump();
  } else if (name == "mnuGetRoot") {
    ops_.GetRoot();
  } else if (name == "mnuExit") {
    ops_.Exit();
  } else if (name == "mnuViewCache") {
    return Json("{\"snapshot\":" + JsonString(ReadFile(ops_.SnapShot())) + "}");
  } else {
    return HttpResponse::Text(404, "no such command");
  }
  // The boxes the command showed come first, before its own questions.
  const std::deque<std::string> boxes = data_.boxes.Take();
  return Json("{\"boxes\":" + JsonList({boxes.begin(), boxes.end()}) + "}");
}

HttpResponse Console::RenameLease(const std::string& address, const std::string& name) {
  return Json(std::string("{\"outcome\":") + JsonString(RenameText(ops_.RenameLease(address, name))) + "}");
}

HttpResponse Console::Ask(const std::string& name, const std::string& type) {
  int id = 0;
  const std::string error = lookup_.Ask(name, type, id);
  return Json(error.empty() ? "{\"id\":" + std::to_string(id) + "}"
                            : "{\"error\":" + JsonString(error) + "}");
}

HttpResponse Console::Answer(const std::string& id) {
  // Question numbers run from 1 to 65535; any other number (1e10, NaN)
  // names no question and must not reach the conversion.
  const double number = LeadingNumber(id);
  const auto lines = lookup_.Result(number >= 1 && number <= 65535 ? static_cast<int>(number) : 0);
  return Json(lines ? "{\"done\":true,\"lines\":" + JsonList(*lines) + "}" : "{\"done\":false}");
}

HttpResponse Console::Options() {
  return Json(OptionsJson(OptionsForm::Open(data_.env.settings), data_.addresses));
}

HttpResponse Console::CleanField(const HttpRequest& request) const {
  return Json("{\"text\":" + JsonString(CleanOptionField(request.Arg("field"), request.Arg("text"))) + "}");
}

// OK: the first failing check goes back with where to focus, together with
// the boxes as the checks left them; otherwise the server applies them.
HttpResponse Console::ApplyOptions(const std::map<std::string, std::string>& fields) {
  OptionsForm form = OptionsFromFields(fields);
  const auto problem = CheckOptions(form, data_.env.home, data_.env.errors);
  if (!problem) return Json("{\"applied\":true,\"message\":" + JsonString(ops_.ApplyOptions(form)) + "}");
  return Json("{\"applied\":false,\"message\":" + JsonString(problem->message) +
              ",\"tab\":" + JsonString(problem->tab) + ",\"field\":" + JsonString(problem->field) +
              ",\"dhcp\":" + std::to_string(problem->dhcp) +
              ",\"form\":" + OptionsJson(form, data_.addresses) + "}");
}

HttpResponse Console::ApplyBlocks(const std::string& rate, const std::string& noblock,
                                  const std::string& blocks) {
  ops_.ApplyBlocks({rate, Lines(noblock), Lines(blocks)});
  return Blocks();
}

}  // namespace vell
