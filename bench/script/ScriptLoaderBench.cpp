// Loading a full-size (1000-line) script: the parse, and the parse plus a copy of every row, as
// applying it to the grid model copies them.
#include <benchmark/benchmark.h>

#include <string>

#include "script/ScriptLoader.h"
#include "script/ScriptRecorder.h"

namespace {

std::string thousandLineScript() {
    const char* const pattern[] = {
        "10,A5,0A # set gain and read it back\r\n",
        "1020,00112233,44556677\r\n",
        "`w10 # settle\r\n",
        "`G12FE\r\n",
        ",20\r\n",
        "\r\n",
        "# a comment line\r\n",
        "`A62\r\n",
        "11,,01\r\n",
        "`G1234FFFF # all lines\r\n",
    };
    std::string text;
    for (int i = 0; i < 1000; ++i) {
        text += pattern[i % 10];
    }
    return text;
}

script::LoadOptions benchOptions() {
    script::LoadOptions options;
    options.defaultWriteAddr = 0x60;
    options.fileTitle = "bench.txt";
    return options;
}

void BM_ParseThousandLines(benchmark::State& state) {
    std::string text = thousandLineScript();
    script::LoadOptions options = benchOptions();
    for (auto _ : state) {
        script::ScriptLoadResult result = script::parseScript(text, options);
        benchmark::DoNotOptimize(result);
    }
}
BENCHMARK(BM_ParseThousandLines)->Unit(benchmark::kMicrosecond);

void BM_ParseAndCopyRows(benchmark::State& state) {
    std::string text = thousandLineScript();
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
    script::ParsedScript parsed = script::parseScript(thousandLineScript(), benchOptions()).script;
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
