// Reading a register map of 2,000 registers with 8 fields each, from IP-XACT 1685-2014 and from
// CMSIS-SVD text, rules checked.
#include <benchmark/benchmark.h>

#include <string>

#include "regmap/MapReader.h"

namespace {

constexpr int kRegisters = 2000;
constexpr int kFields = 8;

std::string ipXact() {
    std::string text =
        "<?xml version=\"1.0\"?>\n<ipxact:component "
        "xmlns:ipxact=\"http://www.accellera.org/XMLSchema/IPXACT/1685-2014\">\n"
        "<ipxact:memoryMaps><ipxact:memoryMap><ipxact:name>m</ipxact:name>"
        "<ipxact:addressBlock><ipxact:name>b</ipxact:name>"
        "<ipxact:baseAddress>0</ipxact:baseAddress>\n";
    for (int r = 0; r < kRegisters; ++r) {
        text += "<ipxact:register><ipxact:name>R" + std::to_string(r) +
                "</ipxact:name><ipxact:description>register</ipxact:description>"
                "<ipxact:addressOffset>" +
                std::to_string(r) + "</ipxact:addressOffset><ipxact:size>8</ipxact:size>\n";
        for (int f = 0; f < kFields; ++f) {
            text += "<ipxact:field><ipxact:name>F" + std::to_string(f) +
                    "</ipxact:name><ipxact:bitOffset>" + std::to_string(f) +
                    "</ipxact:bitOffset><ipxact:resets><ipxact:reset><ipxact:value>1'b1"
                    "</ipxact:value></ipxact:reset></ipxact:resets>"
                    "<ipxact:bitWidth>1</ipxact:bitWidth><ipxact:access>read-write"
                    "</ipxact:access></ipxact:field>\n";
        }
        text += "</ipxact:register>\n";
    }
    return text +
           "</ipxact:addressBlock></ipxact:memoryMap></ipxact:memoryMaps>"
           "</ipxact:component>\n";
}

std::string svd() {
    std::string text =
        "<?xml version=\"1.0\"?>\n<device><name>D</name><size>8</size><peripherals>"
        "<peripheral><name>P</name><baseAddress>0</baseAddress><registers>\n";
    for (int r = 0; r < kRegisters; ++r) {
        text += "<register><name>R" + std::to_string(r) +
                "</name><description>register</description><addressOffset>" + std::to_string(r) +
                "</addressOffset><resetValue>0xFF</resetValue><fields>\n";
        for (int f = 0; f < kFields; ++f) {
            text += "<field><name>F" + std::to_string(f) + "</name><bitRange>[" +
                    std::to_string(f) + ":" + std::to_string(f) + "]</bitRange></field>\n";
        }
        text += "</fields></register>\n";
    }
    return text + "</registers></peripheral></peripherals></device>\n";
}

void Load(benchmark::State& state, const std::string& text) {
    for (auto _ : state) {
        const regmap::MapReadResult result = regmap::readRegisterMap(text, "bench");
        if (!result.ok() || result.map->registers.size() != kRegisters) {
            state.SkipWithError(result.error.c_str());
            break;
        }
        benchmark::DoNotOptimize(result.map->registers.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void LoadIpXact2000x8(benchmark::State& state) {
    Load(state, ipXact());
}
void LoadSvd2000x8(benchmark::State& state) {
    Load(state, svd());
}
BENCHMARK(LoadIpXact2000x8)->Unit(benchmark::kMillisecond);
BENCHMARK(LoadSvd2000x8)->Unit(benchmark::kMillisecond);

}  // namespace
