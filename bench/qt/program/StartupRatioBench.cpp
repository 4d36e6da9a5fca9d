// Start to a visible window: Velmorix_I2C_Comm on the simulated board against a bare Qt window
// of the same title and size, both started as processes on a private Xvfb, taken in turns. A
// run ends when the X server maps the window; the ratio of the medians is the figure to watch,
// the ratio of the fastest runs a steadier one on a loaded machine.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

const char* const kTitle = "Velmorix I2C Communications Software";

// A private X server for the runs; stopped with the benchmark.
class Server {
  public:
    Server() {
        int number = 90;
        while (access(("/tmp/.X" + std::to_string(number) + "-lock").c_str(), F_OK) == 0) {
            ++number;
        }
        const std::string display = ":" + std::to_string(number);
        pid_ = fork();
        if (pid_ == 0) {
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, STDERR_FILENO);
            // Without -noreset the server starts afresh whenever its last client leaves, and
            // refuses the next one meanwhile.
            execlp("Xvfb", "Xvfb", display.c_str(), "-screen", "0", "1600x1200x24", "-nolisten",
                   "tcp", "-noreset", static_cast<char*>(nullptr));
            _exit(127);
        }
        for (int tries = 0; tries < 100; ++tries) {
            xcb_connection_t* c = xcb_connect(display.c_str(), nullptr);
            const bool up = xcb_connection_has_error(c) == 0;
            xcb_disconnect(c);
            if (up) {
                display_ = display;
                return;
            }
            usleep(50'000);
        }
    }
    ~Server() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    const std::string& display() const { return display_; }

  private:
    pid_t pid_ = -1;
    std::string display_;
};

struct Mapped {
    double ms = -1;
    int width = 0;
    int height = 0;
};

std::string titleOf(xcb_connection_t* c, xcb_window_t window) {
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 0, 64),
        nullptr);
    std::string title;
    if (reply != nullptr) {
        title.assign(static_cast<const char*>(xcb_get_property_value(reply)),
                     static_cast<std::size_t>(xcb_get_property_value_length(reply)));
        std::free(reply);
    }
    return title;
}

// Starts argv on the display and waits until it maps a top-level window titled kTitle; then
// ends the process. ms stays -1 when no such window came within 20 s.
Mapped startToWindow(const std::string& display, const std::vector<std::string>& argv) {
    Mapped result;
    xcb_connection_t* c = xcb_connect(display.c_str(), nullptr);
    if (xcb_connection_has_error(c) != 0) {
        xcb_disconnect(c);
        return result;
    }
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, screen->root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(c);

    const Clock::time_point started = Clock::now();
    const pid_t child = fork();
    if (child == 0) {
        setenv("DISPLAY", display.c_str(), 1);
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        setenv("VELMORIX_BRIDGE", "sim", 1);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        std::vector<char*> args;
        for (const std::string& a : argv) {
            args.push_back(const_cast<char*>(a.c_str()));
        }
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    pollfd watch{xcb_get_file_descriptor(c), POLLIN, 0};
    while (result.ms < 0 && Clock::now() - started < std::chrono::seconds(20)) {
        xcb_generic_event_t* event = xcb_poll_for_event(c);
        if (event == nullptr) {
            poll(&watch, 1, 100);
            continue;
        }
        if ((event->response_type & 0x7F) == XCB_MAP_NOTIFY) {
            const auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event);
            if (map->override_redirect == 0 && titleOf(c, map->window) == kTitle) {
                result.ms =
                    std::chrono::duration<double, std::milli>(Clock::now() - started).count();
                xcb_get_geometry_reply_t* g =
                    xcb_get_geometry_reply(c, xcb_get_geometry(c, map->window), nullptr);
                if (g != nullptr) {
                    result.width = g->width;
                    result.height = g->height;
                    std::free(g);
                }
            }
        }
        std::free(event);
    }
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    xcb_disconnect(c);
    return result;
}

// The program to time: this build's, or another build's named by VELMORIX_BENCH_PROGRAM (to time
// two builds against the same yardstick, one after the other).
std::string programExe() {
    const char* other = std::getenv("VELMORIX_BENCH_PROGRAM");
    return other != nullptr && *other != '\0' ? other : VELMORIX_PROGRAM_EXE;
}

double median(std::vector<double> values) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void BM_StartToVisibleWindow(benchmark::State& state) {
    Server server;
    if (server.display().empty()) {
        state.SkipWithError("Xvfb did not start");
        return;
    }
    // One start of each first: the program tells the size the bare window takes, and the
    // files both read are in the page cache from then on.
    const std::string exe = programExe();
    const Mapped first = startToWindow(server.display(), {exe});
    if (first.ms < 0) {
        state.SkipWithError("the program showed no window");
        return;
    }
    const std::vector<std::string> bare = {VELMORIX_BARE_WINDOW_EXE, kTitle,
                                           std::to_string(first.width),
                                           std::to_string(first.height)};
    startToWindow(server.display(), bare);
    std::vector<double> program;
    std::vector<double> yardstick;
    for (auto _ : state) {
        const Mapped p = startToWindow(server.display(), {exe});
        const Mapped b = startToWindow(server.display(), bare);
        if (p.ms < 0 || b.ms < 0) {
            state.SkipWithError("a window did not show");
            return;
        }
        program.push_back(p.ms);
        yardstick.push_back(b.ms);
        state.SetIterationTime((p.ms + b.ms) / 1000.0);
    }
    state.counters["program_ms"] = median(program);
    state.counters["bare_window_ms"] = median(yardstick);
    state.counters["ratio"] = median(program) / median(yardstick);
    // The fastest runs of each: what the machine's other load added least to.
    const double programMin = *std::min_element(program.begin(), program.end());
    const double yardstickMin = *std::min_element(yardstick.begin(), yardstick.end());
    state.counters["program_min_ms"] = programMin;
    state.counters["bare_window_min_ms"] = yardstickMin;
    state.counters["ratio_min"] = programMin / yardstickMin;
}
BENCHMARK(BM_StartToVisibleWindow)->UseManualTime()->Iterations(25)->Unit(benchmark::kMillisecond);

}  // namespace
