// velmorix-script as a whole process: a 1000-row script at zero latency, start-up included.
#include <benchmark/benchmark.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

void BM_RunnerProcess_1000Rows(benchmark::State& state) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("velmorix-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    {
        std::ofstream script(dir / "rows.txt", std::ios::binary);
        for (int i = 0; i < 999; ++i) {
            script << "02,,7A\r\n";
        }
        script << "`ENDM\r\n";
    }
    const std::string command = std::string("VELMORIX_BRIDGE=sim '") + VELMORIX_SCRIPT_EXE +
                                "' '" + (dir / "rows.txt").string() + "' >/dev/null 2>&1";
    for (auto _ : state) {
        int raw = std::system(command.c_str());
        if (!WIFEXITED(raw) || WEXITSTATUS(raw) != 0) {
            state.SkipWithError("velmorix-script failed");
            break;
        }
    }
    fs::remove_all(dir);
}
BENCHMARK(BM_RunnerProcess_1000Rows)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
