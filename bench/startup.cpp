// Start-up of the head unit from exec to both seats' first picture, and what it costs when it
// sits idle. The program runs as a process of its own in a base folder made from the build's
// run folder, headless, with the board simulator as its board module.
//
//   BM_StartupToFirstPaint             without a power module ("edevp.txt"): the unit's own
//                                      start-up, the power module's answers not counted
//   BM_StartupToFirstPaintWithPowerModule   with the emulator answering on a pseudo-terminal
//   BM_IdleCpu                         CPU time over 10 s with nothing changing, in % of a core
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/sys/Module.h"
#include "tests/harness/HeadUnit.h"
#include "tests/support/TestSupport.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

// A base folder like the one scripts/run prepares, warmed up by one run so that the settings
// files exist as they do on a unit that has run before.
class BaseFolder {
public:
    explicit BaseFolder(bool powerModule) {
        std::string run = plat::ExecutableDir() + "/../run";
        fs::create_directory_symlink(fs::absolute(run + "/Language"), m_dir.File("Language"));
        harness::MakeSkinFolder(m_dir.Path());
        for (const char* file : {"SysSettings.ini", "DefaultCfg.ini"})
            fs::copy_file(run + "/" + file, m_dir.File(file));
        testsupport::WriteText(m_dir.File("empty.conf"), "");
        fs::create_directory(m_dir.File("session"));
        if (!powerModule)
            testsupport::WriteText(m_dir.File("edevp.txt"), "");
    }
    std::string Path() const { return m_dir.Path(); }
    std::string File(const std::string& name) const { return m_dir.File(name); }
    std::vector<std::string> Environment() const {
        return {"XDG_RUNTIME_DIR=" + File("session"), "ALSA_CONFIG_PATH=" + File("empty.conf"),
                "VELKORA_SKYPE_SOCKET=" + File("no-skype.sock")};
    }

private:
    testsupport::TempDir m_dir;
};

class Child {
public:
    ~Child() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        if (m_out >= 0)
            ::close(m_out);
    }

    bool Start(const std::string& path, const std::vector<std::string>& args,
               const std::string& dir, const std::vector<std::string>& env) {
        std::vector<std::string> envs(env);
        for (char** e = environ; *e; ++e)
            envs.push_back(*e);
        std::vector<char*> envp, argv;
        for (std::string& s : envs)
            envp.push_back(s.data());
        envp.push_back(nullptr);
        std::vector<std::string> all{path};
        all.insert(all.end(), args.begin(), args.end());
        for (std::string& s : all)
            argv.push_back(s.data());
        argv.push_back(nullptr);
        int pipefd[2];
        if (::pipe2(pipefd, O_CLOEXEC) != 0)
            return false;
        int devnull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(pipefd[1], 1);
            ::dup2(devnull, 2);
            if (::chdir(dir.c_str()) != 0)
                ::_exit(126);
            ::execve(path.c_str(), argv.data(), envp.data());
            ::_exit(127);
        }
        ::close(pipefd[1]);
        ::close(devnull);
        m_out = pipefd[0];
        return m_pid > 0;
    }

    // Reads the output until a line holding `text` (true) or the end of it (false).
    bool WaitForLine(const std::string& text, int timeoutMs) {
        auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (m_seen.find(text) == std::string::npos) {
            int left = static_cast<int>(
                std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count());
            pollfd p{m_out, POLLIN, 0};
            if (left <= 0 || ::poll(&p, 1, left) <= 0)
                return false;
            char buf[512];
            ssize_t n = ::read(m_out, buf, sizeof buf);
            if (n <= 0)
                return false;
            m_seen.append(buf, static_cast<size_t>(n));
        }
        return true;
    }

    int Wait() {
        int st = 0;
        ::waitpid(m_pid, &st, 0);
        m_pid = -1;
        return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    }

    void Signal(int sig) { ::kill(m_pid, sig); }

    // User and system time so far, in milliseconds.
    double CpuMs() const {
        std::ifstream in("/proc/" + std::to_string(m_pid) + "/stat");
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        size_t close = text.rfind(')');
        std::istringstream fields(text.substr(close + 2));
        std::string f;
        double ticks = 0;
        for (int i = 3; i <= 15 && fields >> f; ++i) {
            if (i == 14 || i == 15)
                ticks += std::atof(f.c_str());
        }
        return ticks * 1000.0 / static_cast<double>(::sysconf(_SC_CLK_TCK));
    }

private:
    int m_pid = -1;
    int m_out = -1;
    std::string m_seen;
};

std::string Bin(const char* name) {
    return plat::ExecutableDir() + "/" + name;
}

// The power-module emulator in the base folder's port map.
bool StartEmulator(Child& emulator, const BaseFolder& base) {
    if (!emulator.Start(Bin("power_module_emulator"),
                        {"--model", "TRX4100P", "--port-map", base.File("PortMap.ini")},
                        base.Path(), {}))
        return false;
    for (int i = 0; i < 500; ++i) {
        std::ifstream in(base.File("PortMap.ini"));
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (text.find("com2") != std::string::npos)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// One run from exec to the line the program prints once both seats have shown a picture.
bool TimeOneStart(const BaseFolder& base, double* ms) {
    Child velkora;
    auto start = Clock::now();
    if (!velkora.Start(Bin("velkora"), {"--screenshots", base.File("screens")}, base.Path(),
                       base.Environment()))
        return false;
    bool shown = velkora.WaitForLine("both screens shown", 60000);
    *ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    return shown && velkora.Wait() == 0;
}

void RunStartup(benchmark::State& state, bool powerModule) {
    BaseFolder base(powerModule);
    Child emulator;
    if (powerModule && !StartEmulator(emulator, base)) {
        state.SkipWithError("the power-module emulator did not start");
        return;
    }
    double ms = 0;
    if (!TimeOneStart(base, &ms)) {
        state.SkipWithError("the program did not start");
        return;
    }
    for (auto _ : state) {
        if (!TimeOneStart(base, &ms)) {
            state.SkipWithError("the program did not start");
            return;
        }
        state.SetIterationTime(ms / 1000.0);
    }
}

void BM_StartupToFirstPaint(benchmark::State& state) {
    RunStartup(state, false);
}
BENCHMARK(BM_StartupToFirstPaint)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_StartupToFirstPaintWithPowerModule(benchmark::State& state) {
    RunStartup(state, true);
}
BENCHMARK(BM_StartupToFirstPaintWithPowerModule)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);

void BM_IdleCpu(benchmark::State& state) {
    BaseFolder base(true);
    Child emulator;
    if (!StartEmulator(emulator, base)) {
        state.SkipWithError("the power-module emulator did not start");
        return;
    }
    testsupport::WriteText(base.File("log.txt"), "");
    for (auto _ : state) {
        Child velkora;
        if (!velkora.Start(Bin("velkora"), {}, base.Path(), base.Environment())) {
            state.SkipWithError("the program did not start");
            return;
        }
        // Started once its log says so; then a moment to settle.
        bool started = false;
        for (int i = 0; i < 3000 && !started; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            for (const auto& e : fs::directory_iterator(base.Path())) {
                if (e.path().filename().string().compare(0, 7, "zz-log-") != 0)
                    continue;
                std::ifstream in(e.path());
                std::string text((std::istreambuf_iterator<char>(in)),
                                 std::istreambuf_iterator<char>());
                started = started || text.find("OnCreate() Total") != std::string::npos;
            }
        }
        if (!started) {
            state.SkipWithError("the program did not come up");
            return;
        }
        std::this_thread::sleep_for(std::chrono::seconds(2));
        double before = velkora.CpuMs();
        auto t0 = Clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(10));
        double used = velkora.CpuMs() - before;
        double wall = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        state.SetIterationTime(wall / 1000.0);
        state.counters["cpu_ms"] = used;
        state.counters["cpu_percent_of_a_core"] = 100.0 * used / wall;
        velkora.Signal(SIGTERM);
        velkora.Wait();
    }
}
BENCHMARK(BM_IdleCpu)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
