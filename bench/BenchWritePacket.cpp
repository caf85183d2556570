// Cost of building one full write packet: a full image is 2048 of them.
#include "UpdateCommands.h"

#include <benchmark/benchmark.h>

#include <vector>

static void BuildFullWritePacket(benchmark::State& state)
{
    std::vector<uint8_t> data(kPacketDataSize);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i * 151 + 7);
    std::vector<uint8_t> message(kWriteBufferSize);
    uint32_t address = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(BuildWritePacket(message.data(), address, data.data(), kPacketDataSize));
        benchmark::ClobberMemory();
        address += kPacketDataSize;
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kPacketDataSize);
}
BENCHMARK(BuildFullWritePacket);

BENCHMARK_MAIN();
