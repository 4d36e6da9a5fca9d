// velmorix-i2c as a whole process on the built-in simulated board at zero latency, start-up
// included: what a user waits for beyond the bus itself.
#include <benchmark/benchmark.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

namespace {

void runProcess(benchmark::State& state, const std::string& args) {
    const std::string command = std::string("VELMORIX_BRIDGE=sim '") + VELMORIX_I2C_EXE + "' " +
                                args + " </dev/null >/dev/null 2>&1";
    for (auto _ : state) {
        const int raw = std::system(command.c_str());
        if (!WIFEXITED(raw) || WEXITSTATUS(raw) != 0) {
            state.SkipWithError("velmorix-i2c failed");
            break;
        }
    }
}

// All 128 addresses, the reserved ones included.
void BM_I2cProcess_DetectWholeRange(benchmark::State& state) {
    runProcess(state, "detect -a");
}
BENCHMARK(BM_I2cProcess_DetectWholeRange)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_I2cProcess_Dump256Registers(benchmark::State& state) {
    runProcess(state, "dump 60");
}
BENCHMARK(BM_I2cProcess_Dump256Registers)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
