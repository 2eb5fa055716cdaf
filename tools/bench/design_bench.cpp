// The preview's stitch walk, the design data scan over the largest samples (against a
// memcpy of the same bytes), and the machine design list's reading and sorting of the
// directory information of 10,000 designs.
//   build/native/design_bench
#include <benchmark/benchmark.h>

#include <string.h>
#include <time.h>

#include <algorithm>
#include <string>
#include <vector>

#include "design/design_file.h"
#include "design/stitch_walk.h"
#include "designgen/design_writer.h"
#include "machinelist/directory_info.h"

namespace {

std::vector<uint8_t> Sample(const designgen::DesignRecipe &recipe)
{
    std::vector<char> chars = designgen::MakeDesign(recipe);
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

// The scan against memcpy in one loop: pairs of one scan and one copy of the same megabyte,
// each timed on this thread's CPU clock, so that a pair sees the same machine and the other
// work on a loaded machine does not enter the figure. The counters are the median and the
// 10th and 90th percentiles of the pairs' speed ratio (memcpy time / scan time: above 1 the
// scan is faster).
double ThreadCpuMicroseconds()
{
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e6 + t.tv_nsec / 1e3;
}

void BM_SizeScanVsMemcpy_1MiB(benchmark::State &state)
{
    const std::vector<uint8_t> &bytes = Mebibyte();
    std::vector<uint8_t> copy(bytes.size());
    std::vector<double> ratios;
    for (auto _ : state) {
        double start = ThreadCpuMicroseconds();
        benchmark::DoNotOptimize(ScanDesignDataSize(bytes.data(), bytes.size()));
        double scanned = ThreadCpuMicroseconds();
        memcpy(copy.data(), bytes.data(), bytes.size());
        benchmark::ClobberMemory();
        double copied = ThreadCpuMicroseconds();
        if (scanned > start && copied > scanned)
            ratios.push_back((copied - scanned) / (scanned - start));
    }
    std::sort(ratios.begin(), ratios.end());
    if (!ratios.empty()) {
        state.counters["ratio_p10"] = ratios[ratios.size() / 10];
        state.counters["ratio_median"] = ratios[ratios.size() / 2];
        state.counters["ratio_p90"] = ratios[ratios.size() * 9 / 10];
    }
    state.SetBytesProcessed((int64_t)(state.iterations() * bytes.size()));
}
BENCHMARK(BM_SizeScanVsMemcpy_1MiB)->MinTime(1.0);

// The records of a directory information file of 10,000 designs (its 2-byte header left
// out, as the list reader gets them), stored in no order: names of 8 to 40 bytes in mixed
// case, the way a machine that has been filled over years holds them.
const std::vector<unsigned char> &TenThousandRecords()
{
    static const std::vector<unsigned char> records = [] {
        std::vector<unsigned char> bytes;
        uint32_t seed = 12345;
        auto next = [&seed] { return seed = seed * 1103515245u + 12345u, seed >> 8; };
        for (int i = 0; i < 10000; ++i) {
            std::string name = (next() % 3 ? "design" : "Rose ") + std::to_string(next() % 100000);
            name += std::string(next() % 24, (char)('a' + next() % 26)) + (next() % 4 ? ".vbd" : ".PTN");
            bytes.push_back((unsigned char)name.size());
            bytes.insert(bytes.end(), name.begin(), name.end());
        }
        return bytes;
    }();
    return records;
}

// Reads the records into sort snapshots, as the list is filled; the number read.
size_t ReadSnapshots(std::vector<DesignSortRecord> &snapshots)
{
    const std::vector<unsigned char> &records = TenThousandRecords();
    DirectoryReader reader;
    DirectoryReaderBegin(&reader, records.data(), records.size());
    char name[DIRECTORY_NAME_MAX + 1];
    unsigned number = 0;
    size_t n = 0;
    while (DirectoryReaderNext(&reader, name, &number) && n < snapshots.size()) {
        DesignSortRecord &r = snapshots[n];
        strncpy(r.name, name, sizeof r.name - 1);
        r.index = (int32_t)n++;
        r.itemData = number & 0xFFFF;
    }
    return n;
}

void BM_DirectoryRead_10000(benchmark::State &state)
{
    std::vector<DesignSortRecord> snapshots(10000);
    for (auto _ : state)
        benchmark::DoNotOptimize(ReadSnapshots(snapshots));
    state.SetItemsProcessed((int64_t)(state.iterations() * 10000));
}
BENCHMARK(BM_DirectoryRead_10000)->Unit(benchmark::kMicrosecond);

// Reading and sorting the snapshots, as a reload of the machine design list does.
void BM_DirectoryReadAndSort_10000(benchmark::State &state)
{
    std::vector<DesignSortRecord> snapshots(10000);
    for (auto _ : state) {
        size_t n = ReadSnapshots(snapshots);
        SortDesignSnapshots(snapshots.data(), n);
        benchmark::DoNotOptimize(snapshots.data());
    }
    state.SetItemsProcessed((int64_t)(state.iterations() * 10000));
}
BENCHMARK(BM_DirectoryReadAndSort_10000)->Unit(benchmark::kMicrosecond);

// Yardstick for the sort: the same order over pointers instead of the 280-byte snapshots.
void BM_SortPointersOnly_10000(benchmark::State &state)
{
    std::vector<DesignSortRecord> snapshots(10000);
    size_t n = ReadSnapshots(snapshots);
    std::vector<const DesignSortRecord *> order(n);
    for (auto _ : state) {
        for (size_t i = 0; i < n; ++i)
            order[i] = &snapshots[i];
        std::sort(order.begin(), order.end(), [](const DesignSortRecord *a, const DesignSortRecord *b) {
            int c = CompareDesignNames(a, b);
            return c ? c < 0 : a->index < b->index;
        });
        benchmark::DoNotOptimize(order.data());
    }
    state.SetItemsProcessed((int64_t)(state.iterations() * n));
}
BENCHMARK(BM_SortPointersOnly_10000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
