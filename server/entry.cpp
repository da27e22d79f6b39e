#include "server/entry.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iostream>

#include "core/local_ips.h"
#include "core/platform/kv_store.h"
#include "core/platform/service_control.h"
#include "core/text.h"
#include "server/command_line.h"
#include "server/console_run.h"
#include "server/context.h"
#include "server/server.h"

namespace vell {

namespace {

std::string ExecutablePath() {
  std::error_code ec;
  const auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string("vellmain") : path.string();
}

std::string EnvOr(const char* name, const std::string& fallback) {
  const char* v = std::getenv(name);
  return v != nullptr && *v != '\0' ? std::string(v) : fallback;
}

// Where the service unit goes and which systemctl runs it; the environment
// can point both elsewhere (tests, staged installs).
ServiceControl MakeServiceControl(const Context& ctx, const CommandLine& cl, CommandRunner& runner) {
  std::vector<std::string> exec{ExecutablePath(), "--home", ctx.home};
  for (size_t i = 0; i + 1 < cl.options.size(); i += 2) {
    if (cl.options[i] == "--home") continue;
    exec.push_back(cl.options[i]);
    exec.push_back(cl.options[i + 1]);
  }
  // "systemctl reload" asks the running server to reload every zone through
  // vellctl, which is built and installed beside vellmain.
  const std::string vellctl = (std::filesystem::path(exec[0]).parent_path() / "vellctl").string();
  return ServiceControl(EnvOr("VELLION_UNIT_DIR", "/etc/systemd/system"), runner, exec,
                        {vellctl, "--home", ctx.home, "reload"});
}

// Where the operator's root-hints command fetches named.root from; the
// environment can name another command (tests, sites without curl).
constexpr char kGetRootCommand[] =
    "curl -fsS --max-time 30 -o named.root.new https://www.internic.net/domain/named.root"
    " && mv named.root.new named.root";

// Every outside command of a run; the ones that change the system (the
// service's unit and user) can each be replaced from the environment
// (tests): VELLION_SYSTEMCTL, VELLION_USERADD, VELLION_CHOWN.
class SystemRunner final : public CommandRunner {
 public:
  explicit SystemRunner(EventLoop& loop) : real_(loop) {}
  int Run(const std::vector<std::string>& argv) override { return real_.Run(Named(argv)); }
  void Start(const std::vector<std::string>& argv, int limit_ms, Finished finished) override {
    real_.Start(Named(argv), limit_ms, std::move(finished));
  }

 private:
  static std::vector<std::string> Named(std::vector<std::string> cmd) {
    for (const char* name : {"systemctl", "useradd", "chown"}) {
      if (!cmd.empty() && cmd[0] == name) {
        cmd[0] = EnvOr(("VELLION_" + UpperCase(name)).c_str(), name);
        break;
      }
    }
    return cmd;
  }
  ProcessRunner real_;
};

void NameService(ServiceControl& service, const Settings& s) {
  service.ServiceName = s.SERVICENAME;
  service.DisplayName = s.SERVICEDESC;
}

// "-u": forget the start with the system, leave service mode, remove the
// service.
void Uninstall(Context& ctx, ServiceControl& service) {
  KeyValueStore(ctx.Path("registry.dat")).Set("Run/Vellion", "");
  ctx.settings.STARTWIN = false;
  ctx.settings.NTSERVICE = false;
  ctx.SaveSettings(0);
  if (!ctx.state.IsNT) return;
  NameService(service, ctx.settings);
  if (!service.Remove() && ctx.state.Interactive) {
    ctx.boxes.Show("Failed to Remove NT System Service!", "Vellion");
  }
  service.StopService();
}

// Why the program directory cannot be used, or empty when it can: checked
// before anything starts, so the mistake is named instead of surfacing as a
// file the server cannot write.
std::string HomeProblem(const std::string& home) {
  std::error_code ec;
  if (!std::filesystem::is_directory(home, ec)) return "program directory " + home + " does not exist";
  if (access(home.c_str(), W_OK | X_OK) != 0) {
    return "program directory " + home + " is not writable: " + std::strerror(errno);
  }
  return "";
}

// Runs the loop until SIGTERM or SIGINT, which ends the run through stop.
void RunUntilSignal(EventLoop& loop, const std::function<void()>& start, const std::function<void()>& stop) {
  loop.OnTerminate([&] {
    stop();
    loop.Stop();
  });
  start();
  loop.Run();
}

// "-n" in the foreground unless service mode is set; "-u" uninstalls;
// service mode runs the server as the service.
void Run(Context& ctx, const CommandLine& cl, ServiceControl& service, frmAlpha& form, ConsoleRun& console) {
  if (cl.command == "-n" && !ctx.settings.NTSERVICE) {
    RunUntilSignal(
        ctx.loop,
        [&] {
          form.Begin();
          console.Open();
        },
        [&] { form.QueryUnload(0); });
    return;
  }
  if (cl.command == "-u") {
    Uninstall(ctx, service);
    return;
  }
  if (!ctx.settings.NTSERVICE) return;
  NameService(service, ctx.settings);
  RunUntilSignal(
      ctx.loop,
      [&] {
        form.ServiceStart();
        console.Open();
      },
      [&] { form.ServiceStop(); });
}

}  // namespace

int Main(const std::vector<std::string>& args) {
  std::string error;
  const auto cl = ParseCommandLine(args, error);
  if (!cl) {
    std::cerr << "vellmain: " << error << "\n" << Usage();
    return 2;
  }
  if (cl->help) {
    std::cout << Usage();
    return 0;
  }
  if (cl->version) {
    std::cout << "vellmain " << VELL_VERSION << "\n";
    return 0;
  }
  const std::string home =
      cl->home.empty() ? std::filesystem::path(ExecutablePath()).parent_path().string() : cl->home;
  if (const std::string problem = HomeProblem(home); !problem.empty()) {
    std::cerr << "vellmain: " << problem << "\n";
    return 1;
  }

  SystemClock clock;
  ConsoleMessageBoxes boxes(clock);
  EventLoop loop;
  Context ctx(clock, home, boxes, loop);
  ctx.ports = cl->ports;
  SystemRunner runner(loop);
  ServiceControl service = MakeServiceControl(ctx, *cl, runner);
  ctx.errors.event_log = [&service](const std::string& text) { service.LogEvent(text); };

  Server server(ctx);
  LogWindow window([](const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
  });
  ctx.log.window = &window;
  ConsoleRun console(ctx, server, service, runner, boxes, cl->console ? cl->console_address : "",
                     cl->console_port, EnvOr("VELLION_GETROOT", kGetRootCommand));

  Trap(ctx.errors, "modMain Main", [&] {
    // Linux has service control, so it counts as the NT family.
    ctx.state.IsNT = true;
    ctx.LocalIPs = FindLocalIPs();
    ctx.LoadSettings();
    Run(ctx, *cl, service, server.form, console);
  });
  return 0;
}

}  // namespace vell
