// The walk over a package of the shipped shape, against the lower bound made of
// its primitives over the same bytes: MD5 of the stored bytes, the keystream, MD5
// of the plain bytes. Both restore the scrambled image from a pristine copy with
// the timer paused, so both start from the same cache state.
//
// At the end: the walk in MB/s (10^6 bytes of image per second) and the ratio of
// the walk's time to the bound's, from the medians and from the best repetitions.
// Times are the thread's CPU time: on a machine shared with builds, wall-clock time
// mostly measures who else is running.
#include "package/portable/md5_digest.h"
#include "package/portable/package_format.h"
#include "tests/native/support/package_files.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

using namespace mossgate;

// Payload sizes of the shipped package's shape: 61 entries, 6,724,772 bytes with the
// directory, the largest payload 914,920 bytes. The rest are varied and include the
// edges of the keystream's key cycle (15, 16, 17) and of the walk's 16 KiB blocks.
constexpr size_t SHIPPED_SHAPE_SIZES[PACKAGE_ENTRY_COUNT] = {
    15661,  43600, 3941,  1,      812345, 521888, 23911,  16721,  27875, 776001, 2199,
    15,     29845, 7791,  4938,   27943,  23251,  14792,  149942, 25420, 6121,   309512,
    914920, 16434, 4664,  22102,  104298, 16,     187038, 93941,  41765, 25073,  397880,
    17,     12363, 19806, 228821, 2449,   18819,  102382, 16383,  3836,  41402,  14824,
    169506, 10070, 2898,  16384,  5712,   93290,  145938, 811651, 16385, 64186,  99983,
    17338,  4535,  2996,  32769,  12730,  95939,
};
constexpr size_t SHIPPED_SHAPE_IMAGE_BYTES = 6724772;

const std::vector<uint8_t>& Pristine() {
    static const std::vector<uint8_t> image = WritePackage(testing::PatternFiles(
        std::vector<size_t>(std::begin(SHIPPED_SHAPE_SIZES), std::end(SHIPPED_SHAPE_SIZES))));
    return image;
}

void Restore(benchmark::State& state, std::vector<uint8_t>& work) {
    state.PauseTiming();
    std::memcpy(work.data(), Pristine().data(), work.size());
    state.ResumeTiming();
}

void BM_Walk(benchmark::State& state) {
    std::vector<uint8_t> work(Pristine().size());
    for (auto _ : state) {
        Restore(state, work);
        PackageEntry directory[PACKAGE_ENTRY_COUNT];
        if (!CopyPackageDirectory(work.data(), work.size(), directory)) {
            state.SkipWithError("directory refused");
            break;
        }
        WalkState walk = StartWalk();
        size_t verified = 0;
        for (const PackageEntry& entry : directory) {
            verified +=
                ReadPackageEntry(entry, work.data(), work.size(), walk) == EntryOutcome::Verified;
        }
        benchmark::DoNotOptimize(verified);
        if (verified != PACKAGE_ENTRY_COUNT) {
            state.SkipWithError("an entry did not verify");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(work.size()));
}

void BM_PrimitivesBound(benchmark::State& state) {
    std::vector<uint8_t> work(Pristine().size());
    PackageEntry directory[PACKAGE_ENTRY_COUNT];
    CopyPackageDirectory(Pristine().data(), Pristine().size(), directory);
    for (auto _ : state) {
        Restore(state, work);
        WalkState walk = StartWalk();
        for (const PackageEntry& entry : directory) {
            uint8_t* payload = work.data() + entry.dataOffset;
            uint8_t storedDigest[MD5_DIGEST_BYTES];
            uint8_t plainDigest[MD5_DIGEST_BYTES];
            MD5(payload, entry.dataSize, storedDigest);
            DescramblePayload(walk.seed, payload, entry.dataSize, walk.key);
            MD5(payload, entry.dataSize, plainDigest);
            benchmark::DoNotOptimize(plainDigest);
            AdvanceChain(walk, storedDigest);
        }
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(work.size()));
}

BENCHMARK(BM_Walk)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PrimitivesBound)->Unit(benchmark::kMillisecond);

// Passes everything on to the console and keeps the time of each repetition.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    RatioReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && !run.error_occurred) {
                seconds_[run.run_name.function_name].push_back(run.cpu_accumulated_time /
                                                               static_cast<double>(run.iterations));
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void PrintSummary() const {
        const auto walk = seconds_.find("BM_Walk");
        const auto bound = seconds_.find("BM_PrimitivesBound");
        if (walk == seconds_.end() || bound == seconds_.end()) {
            return;
        }
        const double image = static_cast<double>(Pristine().size());
        const double walkMedian = Median(walk->second), boundMedian = Median(bound->second);
        const double walkBest = Best(walk->second), boundBest = Best(bound->second);
        std::printf("\nimage: %.0f bytes in %zu entries\n", image, PACKAGE_ENTRY_COUNT);
        std::printf("walk:  %.1f MB/s median, %.1f MB/s best\n", image / walkMedian / 1e6,
                    image / walkBest / 1e6);
        std::printf("bound: %.1f MB/s median, %.1f MB/s best\n", image / boundMedian / 1e6,
                    image / boundBest / 1e6);
        std::printf("ratio walk / bound (CPU time): %.3f median, %.3f best (target at most 1.10)\n",
                    walkMedian / boundMedian, walkBest / boundBest);
    }

  private:
    static double Median(std::vector<double> values) {
        std::sort(values.begin(), values.end());
        const size_t n = values.size();
        return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    }
    static double Best(const std::vector<double>& values) {
        return *std::min_element(values.begin(), values.end());
    }

    std::map<std::string, std::vector<double>> seconds_;
};

} // namespace

int main(int argc, char** argv) {
    // Defaults that the command line may override: nine repetitions of each, taking
    // turns in random order, so that a machine that gets busier or quieter meanwhile
    // weighs on both alike.
    std::vector<char*> args(argv, argv + argc);
    std::string defaults[] = {"--benchmark_enable_random_interleaving=true",
                              "--benchmark_repetitions=9", "--benchmark_min_time=0.4"};
    args.insert(args.begin() + 1, {defaults[0].data(), defaults[1].data(), defaults[2].data()});
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) {
        return 1;
    }
    if (Pristine().size() != SHIPPED_SHAPE_IMAGE_BYTES) { // made once, outside every timed region
        std::fprintf(stderr, "the package is not of the shipped shape\n");
        return 1;
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintSummary();
    benchmark::Shutdown();
    return 0;
}
