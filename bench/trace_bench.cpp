// Cost of the exchange trace per exchange: TraceRawData and TracePacket of a typical reply frame,
// as the link calls them. With the mask bits clear the writers should cost no more than the mask
// test itself; with bits 0 and 1 set the cost is the files' open, append and close per line.
#include <string>

#include <benchmark/benchmark.h>

#include "Settings.h"
#include "SettingsPath.h"
#include "TestSupport.h"
#include "Trace.h"

namespace {

// A "gs" reply: STX, sequence, payload with its FS fields, ETX, check byte.
const std::string kReplyFrame = std::string("\x02Z") +
                                "gs\x1C"
                                "00\x1C"
                                "00010000\x1C"
                                "0001" +
                                "\x03\x4C";

const BYTE* Bytes() {
    return reinterpret_cast<const BYTE*>(kReplyFrame.data());
}
DWORD Count() {
    return static_cast<DWORD>(kReplyFrame.size());
}

void BM_MaskTestOnly(benchmark::State& state) {
    ExtenderSettings.traceMask = 0;
    for (auto _ : state) {
        DWORD mask = ExtenderSettings.traceMask;
        benchmark::DoNotOptimize(mask & kRawDataTraceBit);
        mask = ExtenderSettings.traceMask;
        benchmark::DoNotOptimize(mask & kPacketTraceBit);
    }
}
BENCHMARK(BM_MaskTestOnly);

void BM_ExchangeTraceMask0(benchmark::State& state) {
    ExtenderSettings.traceMask = 0;
    for (auto _ : state) {
        TraceRawData(Bytes(), Count(), 0);
        TracePacket(Bytes(), Count(), 0);
    }
}
BENCHMARK(BM_ExchangeTraceMask0);

void BM_ExchangeTraceMask3(benchmark::State& state) {
    testsupport::TempDir dir;
    const std::string path = dir.file("tracexch.txt");
    StoreTracePath(path.c_str(), static_cast<DWORD>(path.size()));
    // Rotation keeps the file small; its occasional move is part of the cost.
    ExtenderSettings.traceFileSizeLimit = 1024;
    ExtenderSettings.traceMask = kRawDataTraceBit | kPacketTraceBit;
    for (auto _ : state) {
        TraceRawData(Bytes(), Count(), 0);
        TracePacket(Bytes(), Count(), 0);
    }
    ExtenderSettings.traceMask = 0;
    StoreTracePath("", 0);
}
BENCHMARK(BM_ExchangeTraceMask3);

}  // namespace

BENCHMARK_MAIN();
