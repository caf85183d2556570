// The image stage for the longest well-formed file (1024-entry map, all 1024 blocks):
// assembly, region mask and checksum table, measured beside a plain copy of as many bytes.
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "FirmwareGenerator.h"
#include "FirmwareImage.h"
#include "RegionMap.h"

namespace {

const std::vector<uint8_t>& LongestFile()
{
    static const std::vector<uint8_t> file = [] {
        CSyntheticFirmware firmware;
        for (int n = 0; n < kRegionCount; ++n)
            firmware.FillRegionRandom(n, static_cast<uint32_t>(n));
        firmware.SetHeaderWords(0, 0, 0x1180, 0x1180);
        return firmware.Bytes();
    }();
    return file;
}

void ImageStage(benchmark::State& state)
{
    const auto& file = LongestFile();
    for (auto _ : state) {
        CHeapBlock workingCopy;
        CHeapBlock image;
        const char* result = AssembleImage(file.data(), static_cast<int32_t>(file.size()), workingCopy, image);
        const RegionMask mask = ComputeRegionMask(image.Data());
        if (result != nullptr || mask.Count() != kRegionCount || BuildChecksumTable(image.Data()) != nullptr) {
            state.SkipWithError("the longest file did not go through");
            break;
        }
        benchmark::DoNotOptimize(image.Data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(file.size()));
}

void PlainCopy(benchmark::State& state)
{
    const auto& file = LongestFile();
    std::vector<uint8_t> target(file.size());
    for (auto _ : state) {
        std::memcpy(target.data(), file.data(), file.size());
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(file.size()));
}

BENCHMARK(ImageStage)->Unit(benchmark::kMicrosecond);
BENCHMARK(PlainCopy)->Unit(benchmark::kMicrosecond);

// Remembers each benchmark's time per iteration so the ratio can be printed at the end.
class CRatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration)
                m_microseconds[run.benchmark_name()] = run.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    double Ratio() const
    {
        const auto stage = m_microseconds.find("ImageStage");
        const auto copy = m_microseconds.find("PlainCopy");
        if (stage == m_microseconds.end() || copy == m_microseconds.end() || copy->second <= 0)
            return 0;
        return stage->second / copy->second;
    }

private:
    std::map<std::string, double> m_microseconds;
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    CRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    if (reporter.Ratio() > 0)
        std::printf("image stage / plain copy of %zu bytes: %.2fx\n", LongestFile().size(), reporter.Ratio());
    return 0;
}
