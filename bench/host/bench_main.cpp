// Host benchmarks: the library's port-path send and read of 4092 payload
// bytes against bare loops making the same port accesses, and the heap
// allocations of every operation on both transports.
//
// After the usual Google Benchmark output it prints summary lines that
// scripts/bench reads:
//   time send|read ...               (Google Benchmark medians, CPU time)
//   ratio send|read <library/bare>   (paired blocks, see PairedRatio)
//   allocs <port|driver> <operation> <allocations per operation>
//   allocs <port|driver> <operation> <allocations per operation>
//
// bench --paired-only prints the two ratio lines alone. The ratios are
// steady within one process but come out of a few distinct levels from one
// process to the next (the two loops settle at slightly different cycle
// counts per byte on this processor), so scripts/bench takes the median of
// several processes.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "bench_ops.h"
#include "d418lib.h"
#include "lifecycle.h"
#include "sim_platform.h"

namespace {

// ---- Port path: library against bare loop -------------------------------

void BM_SendLibrary(benchmark::State &state) {
    bench::UsePortPath();
    for (auto _ : state) {
        benchmark::DoNotOptimize(bench::LibrarySend());
        bench::DropEvents();
    }
    state.SetBytesProcessed(state.iterations() * bench::kFrame);
}

void BM_SendBare(benchmark::State &state) {
    bench::UsePortPath();
    for (auto _ : state) {
        bench::BareSend();
        bench::DropEvents();
    }
    state.SetBytesProcessed(state.iterations() * bench::kFrame);
}

void BM_ReadLibrary(benchmark::State &state) {
    bench::UsePortPath();
    int32_t count = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(bench::LibraryRead(&count));
        bench::DropEvents();
    }
    state.SetBytesProcessed(state.iterations() * bench::kPayload);
}

void BM_ReadBare(benchmark::State &state) {
    bench::UsePortPath();
    for (auto _ : state) {
        bench::BareRead();
        bench::DropEvents();
    }
    state.SetBytesProcessed(state.iterations() * bench::kPayload);
}

// ---- Heap allocations per operation, both transports ---------------------

enum Op { kInit, kTimeout, kReset, kSend, kRead, kLoadUnload };
const char *const kOpNames[] = {"D418Init", "D418Timeout", "D418Reset",
                                "D418SendCommand", "D418ReadResponse", "load+unload"};

uint8_t payload[bench::kPayload];
uint8_t reply[bench::kPayload];

// The driver's answer to the request op makes, as the real driver gives it.
sim::IoctlAnswer DriverAnswer(Op op) {
    sim::IoctlAnswer answer;
    if (op == kReset || op == kSend) answer.output.assign(4, 0);
    if (op == kRead) answer.output.assign(4 + bench::kPayload, 0);
    return answer;
}

int32_t Run(Op op) {
    int32_t count = 0;
    switch (op) {
    case kInit: return D418Init(bench::kBase);
    case kTimeout: return D418Timeout(200);
    case kReset: return D418Reset();
    case kSend: return D418SendCommand(2, 1, payload, bench::kPayload);
    case kRead: {
        int32_t result = D418ReadResponse(reply, &count);
        return count == bench::kPayload ? result : -1;
    }
    case kLoadUnload:
        return LoadEntry(LOAD_PROCESS_ATTACH) && LoadEntry(LOAD_PROCESS_DETACH) ? 0 : -1;
    }
    return -1;
}

struct AllocFigure {
    double per_op;
    long live;
    bool ok;
};
std::map<std::string, AllocFigure> alloc_figures;

void BM_Allocs(benchmark::State &state, bool driver, Op op) {
    bench::UsePortPath();
    if (driver) sim::P().version = sim::kWindowsNt;
    // On the port path a reply is always there; sends first, so the board
    // has taken a frame before a read (the cheap board does not mind).
    bool ok = true;
    const long before = sim::P().allocs;
    for (auto _ : state) {
        if (driver) sim::P().answers.push_back(DriverAnswer(op));
        ok &= Run(op) == 0;
        bench::DropEvents();
        sim::P().ioctls.clear();
    }
    const double per_op = double(sim::P().allocs - before) / double(state.iterations());
    state.counters["allocs_per_op"] = per_op;
    state.counters["live_blocks"] = double(sim::P().live_blocks);
    if (!ok) state.SkipWithError("the operation did not succeed");
    alloc_figures[std::string(driver ? "driver " : "port ") + kOpNames[op]] = {
        per_op, sim::P().live_blocks, ok};
}

// Collects the medians of the timed benchmarks while printing as usual.
class Reporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &runs) override {
        for (const Run &run : runs)
            if (run.aggregate_name == "median" || (run.run_type == Run::RT_Iteration &&
                                                   !medians.count(run.run_name.function_name)))
                medians[run.run_name.function_name] = run.GetAdjustedCPUTime();
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> medians;
};

// Library against bare loop, measured in alternating blocks of `block`
// operations (the first of each pair alternating too) and summed up as the
// median of the pairs' ratios. The speed of this machine drifts by tenths
// over seconds; blocks a fraction of a millisecond long see the same speed,
// and the median drops the blocks that a preemption fell into.
template <typename Lib, typename Bare>
double PairedRatio(Lib lib, Bare bare, int block, int pairs) {
    using Clock = std::chrono::steady_clock;
    auto time = [&](auto fn) {
        auto t0 = Clock::now();
        for (int i = 0; i < block; i++) {
            fn();
            bench::DropEvents();
        }
        return std::chrono::duration<double>(Clock::now() - t0).count();
    };
    bench::UsePortPath();
    time(lib), time(bare);  // warm up
    std::vector<double> ratios;
    for (int p = 0; p < pairs; p++) {
        double l, b;
        if (p % 2) l = time(lib), b = time(bare);
        else b = time(bare), l = time(lib);
        ratios.push_back(l / b);
    }
    std::sort(ratios.begin(), ratios.end());
    return ratios[ratios.size() / 2];
}

}  // namespace

void PrintPairedRatios() {
    int32_t count = 0;
    printf("ratio send %.4f\n",
           PairedRatio([] { benchmark::DoNotOptimize(bench::LibrarySend()); }, bench::BareSend, 16, 301));
    printf("ratio read %.4f\n",
           PairedRatio([&] { benchmark::DoNotOptimize(bench::LibraryRead(&count)); }, bench::BareRead,
                       8, 301));
}

int main(int argc, char **argv) {
    std::string problems = bench::CheckSameAccesses();
    if (!problems.empty()) {
        fprintf(stderr, "bench: the bare loops do not match the library:\n%s", problems.c_str());
        return 1;
    }
    if (argc == 2 && strcmp(argv[1], "--paired-only") == 0) {
        PrintPairedRatios();
        return 0;
    }

    using Fn = void (*)(benchmark::State &);
    const std::pair<const char *, Fn> timed[] = {{"send/library", BM_SendLibrary},
                                                 {"send/bare", BM_SendBare},
                                                 {"read/library", BM_ReadLibrary},
                                                 {"read/bare", BM_ReadBare}};
    for (auto [name, fn] : timed)
        benchmark::RegisterBenchmark(name, fn)
            ->Unit(benchmark::kMicrosecond)
            ->MinTime(0.1)
            ->Repetitions(7)
            ->ReportAggregatesOnly(true);
    for (bool driver : {false, true})
        for (Op op : {kInit, kTimeout, kReset, kSend, kRead, kLoadUnload})
            benchmark::RegisterBenchmark(
                (std::string("allocs/") + (driver ? "driver/" : "port/") + kOpNames[op]).c_str(),
                BM_Allocs, driver, op)
                ->Iterations(1000);

    // Interleave the repetitions, so that other work on the machine falls
    // on library and bare loop alike (a flag given on the command line wins).
    std::vector<char *> args(argv, argv + argc);
    static char interleave[] = "--benchmark_enable_random_interleaving=true";
    args.insert(args.begin() + 1, interleave);
    int args_count = (int)args.size();
    benchmark::Initialize(&args_count, args.data());
    if (benchmark::ReportUnrecognizedArguments(args_count, args.data())) return 1;
    Reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    printf("\n");
    for (const char *what : {"send", "read"}) {
        std::string lib = std::string(what) + "/library", bare = std::string(what) + "/bare";
        if (!reporter.medians.count(lib)) continue;
        const double bytes = what[0] == 's' ? bench::kFrame : bench::kPayload;
        printf("time %s library %.3f us bare %.3f us per operation (%.3f / %.3f ns per byte)\n",
               what, reporter.medians[lib], reporter.medians[bare],
               reporter.medians[lib] * 1000 / bytes, reporter.medians[bare] * 1000 / bytes);
        printf("google benchmark medians, library/bare %s %.4f\n", what,
               reporter.medians[lib] / reporter.medians[bare]);
    }
    PrintPairedRatios();
    for (const auto &[name, figure] : alloc_figures)
        printf("allocs %s %g%s\n", name.c_str(), figure.per_op,
               !figure.ok ? " (operation failed)" : figure.live ? " (blocks left live)" : "");
    return 0;
}
