// The real program's frame rate and CPU under an X server: the embedded mode
// (--root, as the screen-saver daemons run it) beside the full-screen saver
// (/s), at 1024 x 768 and 1920 x 1080. Each run starts an Xvfb of that size
// (chosen under the e2e tests' lock, stopped by pid), the program on it with a
// store that fixes algorithm 7, lets it warm up, then measures for a few
// seconds: frames per second from the program's own PRISMORA_FPS_LOG lines,
// and the CPU time per frame of the program and of the X server (which copies
// each frame of Mesa's software renderer to the screen), from /proc.
// The saver also in the per-pixel view ("Pixels" stored), each pixel on
// Mesa's software renderer. Beside them the animated wallpaper on Wayland (--layer background) in a
// headless Sway of each size (pixman renderer, run as the e2e tests' plain
// user when the benchmark runs as root, with a runtime folder of its own);
// there the compositor's CPU takes the X server's column.
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

// The fps lines the program printed after `skip` bytes of its stderr file.
std::vector<double> FrameRates(const std::string& path, size_t skip) {
  std::ifstream f(path);
  f.seekg(static_cast<std::streamoff>(skip));
  std::vector<double> rates;
  std::string line;
  while (std::getline(f, line)) {
    double fps = 0;
    if (std::sscanf(line.c_str(), "prismora: %lf fps", &fps) == 1) rates.push_back(fps);
  }
  return rates;
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

void Sizes(benchmark::internal::Benchmark* b) {
  b->Args({1024, 768})->Args({1920, 1080})->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
}

}  // namespace

BENCHMARK(BM_EmbeddedRoot)->Apply(Sizes);
BENCHMARK(BM_Saver)->Apply(Sizes);
BENCHMARK(BM_SaverPixels)->Apply(Sizes);
BENCHMARK(BM_LayerBackground)->Apply(Sizes);
