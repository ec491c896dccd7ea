// Framing throughput: requests built and replies checked and decoded per second.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <vector>

#include "link/Framing.h"

namespace {

void BM_BuildGetResultRequest(benchmark::State& state) {
    std::vector<uint8_t> out;
    out.reserve(64);
    for (auto _ : state) {
        out.clear();
        veska::link::BuildRequest(1, 6, {}, out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BuildGetResultRequest);

void BM_BuildWriteParamRequest(benchmark::State& state) {
    std::vector<uint8_t> out;
    out.reserve(64);
    const std::array<uint8_t, 2> data{0x07, 0x02};
    for (auto _ : state) {
        out.clear();
        veska::link::BuildRequest(1, 3, data, out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BuildWriteParamRequest);

/// One stream sample or GetResult reply: 2 data bytes, 4 line bytes.
void BM_CheckAndDecodeSample(benchmark::State& state) {
    const std::array<uint8_t, 4> reply{0xB4, 0xB3, 0xB2, 0xB1};
    std::array<uint8_t, 4> line{};
    for (auto _ : state) {
        line = reply;
        const auto check = veska::link::CheckReply(line);
        if (check.kind == veska::link::ReplyCheck::kOk) veska::link::DecodeReply(line);
        benchmark::DoNotOptimize(line.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CheckAndDecodeSample);

/// A full profile: 2048 data bytes, 4096 line bytes.
void BM_CheckAndDecodeProfile(benchmark::State& state) {
    std::vector<uint8_t> reply(4096, 0xD5);
    std::vector<uint8_t> line(reply.size());
    for (auto _ : state) {
        std::copy(reply.begin(), reply.end(), line.begin());
        const auto check = veska::link::CheckReply(line);
        if (check.kind == veska::link::ReplyCheck::kOk) veska::link::DecodeReply(line);
        benchmark::DoNotOptimize(line.data());
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(reply.size()));
}
BENCHMARK(BM_CheckAndDecodeProfile);

}  // namespace

BENCHMARK_MAIN();
