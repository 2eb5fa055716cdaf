// The preview's stitch walk and the design data scan over the largest samples.
//   build/native/design_bench
#include <benchmark/benchmark.h>

#include <string.h>

#include <vector>

#include "design/design_file.h"
#include "design/stitch_walk.h"
#include "designgen/design_writer.h"

namespace {

std::vector<uint8_t> Sample(const designgen::DesignSpec &spec)
{
    std::vector<char> chars = designgen::MakeDesign(spec);
    return std::vector<uint8_t>(chars.begin(), chars.end());
}

// The largest sample that a machine accepts: 65,535 stitches.
const std::vector<uint8_t> &Largest()
{
    static const std::vector<uint8_t> bytes = Sample({65535, 2, {10, 76, 37, 45, 8, 29}});
    return bytes;
}

// About 1 MiB of stitch data with its end record at the very end.
const std::vector<uint8_t> &Mebibyte()
{
    static const std::vector<uint8_t> bytes = Sample({(1 << 19) - 64, 0, {10, 12, 37}});
    return bytes;
}

class CountingSink : public PenSink {
public:
    void Pen(ThreadColour colour) override { sum += colour; }
    void Move(int x, int y) override { sum += x ^ y; }
    void Line(int x, int y) override { sum += x + y; }
    uint64_t sum = 0;
};

void BM_Walk(benchmark::State &state)
{
    const std::vector<uint8_t> &bytes = Largest();
    DesignView view;
    ReadDesignView(bytes.data(), bytes.size(), &view);
    size_t records = 0;
    for (auto _ : state) {
        CountingSink sink;
        records += WalkStitches(view, 93, 124, sink);
        benchmark::DoNotOptimize(sink.sum);
    }
    state.counters["records/s"] = benchmark::Counter((double)records, benchmark::Counter::kIsRate);
    state.SetBytesProcessed((int64_t)(state.iterations() * view.stitchLength));
}
BENCHMARK(BM_Walk);

void Scan(benchmark::State &state, const std::vector<uint8_t> &bytes)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(ScanDesignDataSize(bytes.data(), bytes.size()));
    state.SetBytesProcessed((int64_t)(state.iterations() * bytes.size()));
}
void BM_SizeScan_65535(benchmark::State &state) { Scan(state, Largest()); }
void BM_SizeScan_1MiB(benchmark::State &state) { Scan(state, Mebibyte()); }
BENCHMARK(BM_SizeScan_65535);
BENCHMARK(BM_SizeScan_1MiB);

// The yardstick for the scan: copying the same megabyte.
void BM_Memcpy_1MiB(benchmark::State &state)
{
    const std::vector<uint8_t> &bytes = Mebibyte();
    std::vector<uint8_t> copy(bytes.size());
    for (auto _ : state) {
        memcpy(copy.data(), bytes.data(), bytes.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed((int64_t)(state.iterations() * bytes.size()));
}
BENCHMARK(BM_Memcpy_1MiB);

}  // namespace

BENCHMARK_MAIN();
