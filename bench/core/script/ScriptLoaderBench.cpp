// Loading a full-size (1000-line) script: the parse, and the parse plus a copy of every row, as
// applying it to the grid model copies them.
#include <benchmark/benchmark.h>

#include <string>

#include "MixedScript.h"
#include "script/ScriptLoader.h"
#include "script/ScriptRecorder.h"

namespace {

script::LoadOptions benchOptions() {
    script::LoadOptions options;
    options.defaultWriteAddr = 0x60;
    options.fileTitle = "bench.txt";
    return options;
}

void BM_ParseThousandLines(benchmark::State& state) {
    std::string text = benchscript::mixedScript(1000);
    script::LoadOptions options = benchOptions();
    for (auto _ : state) {
        script::ScriptLoadResult result = script::parseScript(text, options);
        benchmark::DoNotOptimize(result);
    }
}
BENCHMARK(BM_ParseThousandLines)->Unit(benchmark::kMicrosecond);

void BM_ParseAndCopyRows(benchmark::State& state) {
    std::string text = benchscript::mixedScript(1000);
    script::LoadOptions options = benchOptions();
    std::vector<script::ScriptRow> grid;
    for (auto _ : state) {
        script::ScriptLoadResult result = script::parseScript(text, options);
        grid = result.script.rows;
        benchmark::DoNotOptimize(grid);
    }
}
BENCHMARK(BM_ParseAndCopyRows)->Unit(benchmark::kMicrosecond);

void BM_UpdateExpectedThousandLines(benchmark::State& state) {
    script::ParsedScript parsed =
        script::parseScript(benchscript::mixedScript(1000), benchOptions()).script;
    std::vector<script::RecordedRow> rows;
    for (const script::ScriptRow& row : parsed.rows) {
        rows.push_back({row.text(script::Column::Operation), "0B"});
    }
    for (auto _ : state) {
        std::vector<std::string> lines = parsed.scriptLines;
        benchmark::DoNotOptimize(script::updateExpectedData(lines, rows));
    }
}
BENCHMARK(BM_UpdateExpectedThousandLines)->Unit(benchmark::kMicrosecond);

}  // namespace
