// bridge-emulator: runs a program against an emulated bridge board, so that the program's own,
// unmodified libusb reaches the simulated board; pulls and replugs the cable on demand.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "EmulatorOptions.h"
#include "bridgesim/Board.h"
#include "bridgesim/MapTarget.h"
#include "emulator/EmulatedBridge.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kPreload = "libumockdev-preload.so.0";
// Set before running itself again under the preload, so that a missing library fails once
// instead of looping.
constexpr const char* kReexecMark = "BRIDGE_EMULATOR_PRELOADED";

volatile std::sig_atomic_t childPid = 0;

// An interrupt or termination of the emulator is passed on to the child, which then ends.
void forwardSignal(int signal) {
    if (childPid > 0) {
        kill(static_cast<pid_t>(childPid), signal);
    }
}

// The remove event only reaches the child when the emulator itself runs under the preload, so
// the emulator runs itself again under it. Returns only when that fails.
int runUnderPreload(char** argv) {
    if (std::getenv(kReexecMark) != nullptr) {
        std::cerr << "bridge-emulator: " << kPreload
                  << " could not be loaded; is umockdev installed?\n";
        return emulator::kEmulatorFailed;
    }
    const char* old = std::getenv("LD_PRELOAD");
    std::string preload = kPreload;
    if (old != nullptr && *old != '\0') {
        preload += std::string(":") + old;
    }
    setenv("LD_PRELOAD", preload.c_str(), 1);
    // A sanitized build (the emulator's or the program's) refuses a preload ahead of its
    // runtime unless told that the order is meant.
    const char* asan = std::getenv("ASAN_OPTIONS");
    std::string asanOptions = "verify_asan_link_order=0";
    if (asan != nullptr && *asan != '\0') {
        asanOptions = std::string(asan) + ":" + asanOptions;
    }
    setenv("ASAN_OPTIONS", asanOptions.c_str(), 1);
    setenv(kReexecMark, "1", 1);
    execv("/proc/self/exe", argv);
    std::cerr << "bridge-emulator: cannot run itself again: " << std::strerror(errno) << '\n';
    return emulator::kEmulatorFailed;
}

int exitStatusOf(int status) {
    if (WIFEXITED(status)) {
        return WEXITSTATUS(status);
    }
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : emulator::kEmulatorFailed;
}

// Runs the child to its end while pulling and replugging the cable as the options say.
int supervise(const emulator::EmulatorOptions& options, EmulatedBridge& bridge, pid_t pid) {
    const Clock::time_point started = Clock::now();
    const auto deadline = [&](double ms) {
        return started + std::chrono::duration_cast<Clock::duration>(
                             std::chrono::duration<double, std::milli>(ms));
    };
    const bool unplugByTime = options.unplugAtMs.has_value();
    const Clock::time_point unplugAt = deadline(options.unplugAtMs.value_or(0));
    const Clock::time_point killAt = deadline(options.timeoutSeconds.value_or(0) * 1000.0);
    bool unplugged = false;
    bool replugged = false;
    Clock::time_point replugAt{};
    for (;;) {
        int status = 0;
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            return exitStatusOf(status);
        }
        if (done < 0 && errno != EINTR) {
            std::cerr << "bridge-emulator: waiting for the program failed: " << std::strerror(errno)
                      << '\n';
            return emulator::kEmulatorFailed;
        }
        const Clock::time_point now = Clock::now();
        // A cut after K transfers pulls the cable by itself; only its time is noted here.
        if (!unplugged && (bridge.cableCut() || (unplugByTime && now >= unplugAt))) {
            if (!bridge.cableCut()) {
                bridge.unplug();
            }
            unplugged = true;
            replugAt = now + std::chrono::milliseconds(options.replugAfterMs.value_or(0));
        }
        if (unplugged && !replugged && options.replugAfterMs && now >= replugAt) {
            std::string error;
            if (!bridge.replug(error)) {
                std::cerr << "bridge-emulator: plugging the board in again failed: " << error
                          << '\n';
            }
            replugged = true;
        }
        if (options.timeoutSeconds && now >= killAt) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            std::cerr << "bridge-emulator: " << options.command.front() << " did not end within "
                      << *options.timeoutSeconds << " s and was killed\n";
            return 128 + SIGKILL;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::string error;
    const auto options =
        emulator::parseEmulatorOptions(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::cerr << "bridge-emulator: " << error << '\n';
        return emulator::kEmulatorFailed;
    }
    if (options->help) {
        std::cout << emulator::emulatorUsage();
        return 0;
    }
    if (!EmulatedBridge::inMockEnvironment()) {
        return runUnderPreload(argv);
    }
    unsetenv(kReexecMark);

    bridgesim::installMapReader();
    std::shared_ptr<bridgesim::Board> board =
        options->simPath.empty() ? bridgesim::Board::builtIn()
                                 : bridgesim::Board::fromFile(options->simPath, error);
    if (!board) {
        std::cerr << "bridge-emulator: " << error << '\n';
        return emulator::kEmulatorFailed;
    }
    EmulatedBridge bridge(board);
    // A simulation that starts without the board plugs nothing in.
    if (board->attached() && !bridge.plug(error)) {
        std::cerr << "bridge-emulator: plugging the board in failed: " << error << '\n';
        return emulator::kEmulatorFailed;
    }
    if (options->unplugAfterTransfers) {
        bridge.cutCableAfterTransfers(*options->unplugAfterTransfers);
    }

    std::vector<char*> childArgs;
    for (const std::string& arg : options->command) {
        childArgs.push_back(const_cast<char*>(arg.c_str()));
    }
    childArgs.push_back(nullptr);
    pid_t pid = 0;
    const int spawned =
        posix_spawnp(&pid, childArgs[0], nullptr, nullptr, childArgs.data(), environ);
    if (spawned != 0) {
        std::cerr << "bridge-emulator: cannot run " << options->command.front() << ": "
                  << std::strerror(spawned) << '\n';
        return spawned == ENOENT ? emulator::kNotFound : emulator::kCannotRun;
    }
    childPid = pid;
    struct sigaction forward {};
    forward.sa_handler = forwardSignal;
    sigemptyset(&forward.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaction(signal, &forward, nullptr);
    }
    return supervise(*options, bridge, pid);
}
