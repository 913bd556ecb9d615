// The real program's frame rate and CPU under an X server: the embedded mode
// (--root, as the screen-saver daemons run it) beside the full-screen saver
// (/s), at 1024 x 768 and 1920 x 1080. Each run starts an Xvfb of that size
// (chosen under the e2e tests' lock, stopped by pid), the program on it with a
// store that fixes algorithm 7, lets it warm up, then measures for a few
// seconds: frames per second from the program's own PRISMORA_FPS_LOG lines,
// and the CPU time per frame of the program and of the X server (which copies
// each frame of Mesa's software renderer to the screen), from /proc.
// The saver also in the per-pixel view ("Pixels" stored), each pixel on
// Mesa's software renderer. Beside them the animated wallpaper on Wayland
// (--layer background) in a headless Sway of each size (pixman renderer, run as the e2e tests' plain
// user when the benchmark runs as root, with a runtime folder of its own);
// there the compositor's CPU takes the X server's column. And the wallpaper's
// CPU per second visible and hidden: under a full-screen window (foot), the
// compositor asks for no frame.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kWarmUpSeconds = 2.0;
constexpr double kMeasureSeconds = 4.0;

pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env, int stderrFd) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  // NAME=value sets a variable, a bare NAME removes it.
  for (const std::string& e : env) {
    if (e.find('=') == std::string::npos)
      unsetenv(e.c_str());
    else
      putenv(const_cast<char*>(e.c_str()));
  }
  const int devnull = open("/dev/null", O_RDWR);
  dup2(devnull, 0);
  dup2(devnull, 1);
  dup2(stderrFd >= 0 ? stderrFd : devnull, 2);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  execvp(args[0], args.data());
  _exit(127);
}

void Stop(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  int status = 0;
  for (int i = 0; i < 500 && waitpid(pid, &status, WNOHANG) == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  if (waitpid(pid, &status, WNOHANG) == 0) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
  }
}

// User plus system CPU seconds of a process so far.
double CpuSeconds(pid_t pid) {
  std::ifstream f("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  const size_t close = text.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream rest(text.substr(close + 2));
  std::string field;
  double ticks = 0;
  for (int i = 3; i <= 15 && rest >> field; ++i)
    if (i == 14 || i == 15) ticks += std::stod(field);
  return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// An Xvfb of the given size on a display nobody uses.
struct XServer {
  pid_t pid = -1;
  std::string display;

  bool Start(int width, int height) {
    const int lock = open("/tmp/prismora-e2e-xvfb.lock", O_RDWR | O_CREAT, 0666);
    flock(lock, LOCK_EX);
    for (int n = 100; n < 200 && pid < 0; ++n) {
      struct stat st;
      const std::string socket = "/tmp/.X11-unix/X" + std::to_string(n);
      if (stat(("/tmp/.X" + std::to_string(n) + "-lock").c_str(), &st) == 0 || stat(socket.c_str(), &st) == 0)
        continue;
      display = ":" + std::to_string(n);
      pid = Spawn({"Xvfb", display, "-screen", "0", std::to_string(width) + "x" + std::to_string(height) + "x24",
                   "-nolisten", "tcp", "-noreset"},
                  {}, -1);
      const auto deadline = Clock::now() + std::chrono::seconds(20);
      while (stat(socket.c_str(), &st) != 0 && Clock::now() < deadline && waitpid(pid, nullptr, WNOHANG) == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      if (stat(socket.c_str(), &st) != 0) {
        Stop(pid);
        pid = -1;
      }
    }
    flock(lock, LOCK_UN);
    ::close(lock);
    return pid > 0;
  }
  ~XServer() { Stop(pid); }
};

struct Measurement {
  double fps = 0, cpuMsPerFrame = 0, serverCpuMsPerFrame = 0;
};

// The fps lines the program printed after `skip` bytes of its stderr file
// ("prismora: 99.8 fps: ...", or with an output's name before the rate).
std::vector<double> FrameRates(const std::string& path, size_t skip) {
  std::ifstream f(path);
  f.seekg(static_cast<std::streamoff>(skip));
  std::vector<double> rates;
  std::string line;
  while (std::getline(f, line)) {
    const size_t fps = line.find(" fps: ");
    const size_t number = line.rfind(' ', fps == std::string::npos ? 0 : fps - 1);
    if (line.rfind("prismora: ", 0) == 0 && fps != std::string::npos && number != std::string::npos)
      rates.push_back(std::atof(line.c_str() + number + 1));
  }
  return rates;
}

// The process's CPU over `seconds`, as a share of one core.
double CpuShare(pid_t pid, double seconds) {
  const double cpu0 = CpuSeconds(pid);
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  return (CpuSeconds(pid) - cpu0) / seconds;
}

void RemoveFolder(const std::string& path) {
  std::error_code ignored;  // a benchmark's scratch folder: nothing to report
  std::filesystem::remove_all(path, ignored);
}

size_t FileSize(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? static_cast<size_t>(st.st_size) : 0;
}

// A settings store in the home that fixes algorithm 7 at speed 25, in the
// mesh or the per-pixel view.
void WriteStore(const std::string& home, bool pixels = false) {
  const std::string config = home + "/.config/prismora";
  mkdir((home + "/.config").c_str(), 0700);
  mkdir(config.c_str(), 0700);
  std::ofstream(config + "/registry.reg")
      << "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Prismora]\n\"Speed\"=dword:00000019\n"
         "\"Bright\"=dword:00000000\n\"Algoritm\"=dword:00000007\n\"Rands\"=dword:00000000\n\"Path_Wall\"=\"/tmp\"\n"
      << "\"Pixels\"=dword:0000000" << (pixels ? 1 : 0) << "\n";
}

// Runs the command (the program, perhaps through setpriv, which execs it)
// with the home's store and measures it and the server `serverPid`.
bool MeasureRun(const std::vector<std::string>& command, std::vector<std::string> env, pid_t serverPid,
                const std::string& home, Measurement& m, std::string& error) {
  const std::string log = home + "/stderr.txt";
  const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  env.insert(env.end(), {"HOME=" + home, "XDG_CONFIG_HOME=" + home + "/.config", "PRISMORA_FPS_LOG=1"});
  const pid_t p = Spawn(command, env, fd);
  ::close(fd);
  std::this_thread::sleep_for(std::chrono::duration<double>(kWarmUpSeconds));
  const size_t skip = FileSize(log);
  const double cpu0 = CpuSeconds(p), server0 = CpuSeconds(serverPid);
  std::this_thread::sleep_for(std::chrono::duration<double>(kMeasureSeconds));
  const double cpu = CpuSeconds(p) - cpu0, server = CpuSeconds(serverPid) - server0;
  const bool running = waitpid(p, nullptr, WNOHANG) == 0;
  Stop(p);
  const std::vector<double> rates = FrameRates(log, skip);
  if (!running || rates.empty()) {
    error = "the program did not run or printed no frame rate";
    return false;
  }
  double sum = 0;
  for (double r : rates) sum += r;
  m.fps = sum / static_cast<double>(rates.size());
  const double frames = m.fps * kMeasureSeconds;
  m.cpuMsPerFrame = 1000.0 * cpu / frames;
  m.serverCpuMsPerFrame = 1000.0 * server / frames;
  return true;
}

bool Measure(const std::string& mode, bool pixels, const XServer& x, Measurement& m, std::string& error) {
  char folder[] = "/tmp/prismora-bench-XXXXXX";
  if (!mkdtemp(folder)) return false;
  const std::string home = folder;
  WriteStore(home, pixels);
  const bool ok = MeasureRun({PRISMORA_BINARY, mode}, {"DISPLAY=" + x.display, "XSCREENSAVER_WINDOW="}, x.pid, home, m,
                             error);
  RemoveFolder(home);
  return ok;
}

// A headless Sway of the given size, as the e2e tests' plain user when we
// run as root (Sway refuses root), with a home and runtime folder of its own.
struct Compositor {
  pid_t pid = -1;
  std::string home, runtime, display, error;
  uid_t uid = 0;
  gid_t gid = 0;
  bool asUser = false;

  std::vector<std::string> AsUser(std::vector<std::string> argv) const {
    if (!asUser) return argv;
    argv.insert(argv.begin(), {"setpriv", "--reuid=" + std::to_string(uid), "--regid=" + std::to_string(gid),
                               "--init-groups"});
    return argv;
  }

  bool FindUser() {
    asUser = geteuid() == 0;
    if (!asUser) return true;
    const passwd* user = getpwnam("prismora-e2e");
    if (!user) {
      // Whether useradd worked shows in the lookup that follows.
      const int created =
          std::system("useradd --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin prismora-e2e");
      (void)created;
      user = getpwnam("prismora-e2e");
    }
    if (!user) return false;
    uid = user->pw_uid;
    gid = user->pw_gid;
    return true;
  }

  bool Start(int width, int height) {
    char folder[] = "/tmp/prismora-bench-wayland-XXXXXX";
    if (!FindUser() || !mkdtemp(folder)) return Fail("no user or folder for Sway");
    home = folder;
    runtime = home + "/runtime";
    chmod(home.c_str(), 0755);
    mkdir(runtime.c_str(), 0700);
    WriteStore(home);
    std::ofstream(home + "/sway.conf") << "xwayland disable\noutput HEADLESS-1 resolution " << width << "x" << height
                                       << " position 0 0\n";
    if (asUser && std::system(("chown -R " + std::to_string(uid) + ":" + std::to_string(gid) + " " + home).c_str()) != 0)
      return Fail("the folder for Sway could not be given to its user");
    const int log = open((home + "/sway.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid = Spawn(AsUser({"sway", "-c", home + "/sway.conf"}),
                {"DISPLAY", "WAYLAND_DISPLAY", "HOME=" + home, "XDG_RUNTIME_DIR=" + runtime, "WLR_BACKENDS=headless",
                 "WLR_RENDERER=pixman", "WLR_LIBINPUT_NO_DEVICES=1"},
                log);
    ::close(log);
    struct stat st;
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    for (int n = 0; display.empty() && Clock::now() < deadline && waitpid(pid, nullptr, WNOHANG) == 0;
         n = (n + 1) % 10) {
      if (stat((runtime + "/wayland-" + std::to_string(n)).c_str(), &st) == 0) display = "wayland-" + std::to_string(n);
      if (n == 9) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return display.empty() ? Fail("Sway did not start") : true;
  }

  bool Fail(const char* why) {
    error = why;
    return false;
  }

  std::vector<std::string> Env(std::vector<std::string> more = {}) const {
    more.insert(more.end(), {"DISPLAY", "HOME=" + home, "WAYLAND_DISPLAY=" + display, "XDG_RUNTIME_DIR=" + runtime,
                             "LC_ALL=C.UTF-8", "SWAYSOCK=" + IpcSocket()});
    return more;
  }

  std::string IpcSocket() const {
    std::error_code ignored;
    for (const auto& e : std::filesystem::directory_iterator(runtime, ignored))
      if (e.path().filename().string().rfind("sway-ipc.", 0) == 0) return e.path().string();
    return "";
  }

  // A command as the compositor's user in its session; true on status 0.
  bool Call(const std::vector<std::string>& argv) const {
    int status = 0;
    return waitpid(Spawn(AsUser(argv), Env(), -1), &status, 0) > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }

  // A terminal (foot) full screen over every output; its pid, or -1.
  pid_t CoverEverything() const {
    const pid_t foot = Spawn(AsUser({"foot", "cat"}), Env(), -1);
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    while (Clock::now() < deadline && waitpid(foot, nullptr, WNOHANG) == 0) {
      if (Call({"swaymsg", "[app_id=\"foot\"]", "fullscreen", "enable", "global"})) return foot;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    Stop(foot);
    return -1;
  }

  ~Compositor() {
    Stop(pid);
    if (!home.empty()) RemoveFolder(home);
  }
};

void RunLayer(benchmark::State& state) {
  const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
  Compositor c;
  if (!c.Start(width, height)) {
    state.SkipWithError(c.error.c_str());
    return;
  }
  Measurement m;
  std::string error;
  for (auto _ : state) {
    if (!MeasureRun(c.AsUser({PRISMORA_BINARY, "--layer", "background"}),
                    {"DISPLAY", "WAYLAND_DISPLAY=" + c.display, "XDG_RUNTIME_DIR=" + c.runtime}, c.pid, c.home, m,
                    error)) {
      state.SkipWithError(error.c_str());
      return;
    }
    state.SetIterationTime(kMeasureSeconds);
  }
  state.counters["fps"] = m.fps;
  state.counters["cpu_ms_per_frame"] = m.cpuMsPerFrame;
  state.counters["compositor_cpu_ms_per_frame"] = m.serverCpuMsPerFrame;
  state.counters["cpu_percent"] = m.fps * m.cpuMsPerFrame / 10.0;
}

// The wallpaper's CPU per second, visible, then under a full-screen window.
void RunLayerHidden(benchmark::State& state) {
  Compositor c;
  if (!c.Start(1024, 768)) {
    state.SkipWithError(c.error.c_str());
    return;
  }
  double visible = 0, hidden = 0;
  for (auto _ : state) {
    const int log = open((c.home + "/stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const pid_t p = Spawn(c.AsUser({PRISMORA_BINARY, "--layer", "background"}),
                          c.Env({"XDG_CONFIG_HOME=" + c.home + "/.config"}), log);
    ::close(log);
    std::this_thread::sleep_for(std::chrono::duration<double>(kWarmUpSeconds));
    visible = CpuShare(p, kMeasureSeconds);
    const pid_t cover = c.CoverEverything();
    std::this_thread::sleep_for(std::chrono::seconds(1));  // the frames already asked for
    hidden = CpuShare(p, kMeasureSeconds);
    const bool running = waitpid(p, nullptr, WNOHANG) == 0;
    Stop(cover);
    Stop(p);
    if (!running || cover < 0) {
      state.SkipWithError(running ? "foot did not cover the desktop" : "the program did not run");
      return;
    }
    state.SetIterationTime(2 * kMeasureSeconds);
  }
  state.counters["cpu_percent_visible"] = 100 * visible;
  state.counters["cpu_percent_hidden"] = 100 * hidden;
}

void Run(benchmark::State& state, const char* mode, bool pixels = false) {
  const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
  XServer x;
  if (!x.Start(width, height)) {
    state.SkipWithError("Xvfb did not start");
    return;
  }
  Measurement m;
  std::string error;
  for (auto _ : state) {
    if (!Measure(mode, pixels, x, m, error)) {
      state.SkipWithError(error.c_str());
      return;
    }
    state.SetIterationTime(kMeasureSeconds);
  }
  state.counters["fps"] = m.fps;
  state.counters["cpu_ms_per_frame"] = m.cpuMsPerFrame;
  state.counters["xserver_cpu_ms_per_frame"] = m.serverCpuMsPerFrame;
  state.counters["cpu_percent"] = m.fps * m.cpuMsPerFrame / 10.0;
}

void BM_EmbeddedRoot(benchmark::State& state) { Run(state, "--root"); }
void BM_Saver(benchmark::State& state) { Run(state, "/s"); }
void BM_SaverPixels(benchmark::State& state) { Run(state, "/s", true); }
void BM_LayerBackground(benchmark::State& state) { RunLayer(state); }
void BM_LayerVisibleThenHidden(benchmark::State& state) { RunLayerHidden(state); }

void Sizes(benchmark::internal::Benchmark* b) {
  b->Args({1024, 768})->Args({1920, 1080})->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
}

}  // namespace

BENCHMARK(BM_EmbeddedRoot)->Apply(Sizes);
BENCHMARK(BM_Saver)->Apply(Sizes);
BENCHMARK(BM_SaverPixels)->Apply(Sizes);
BENCHMARK(BM_LayerBackground)->Apply(Sizes);
BENCHMARK(BM_LayerVisibleThenHidden)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
