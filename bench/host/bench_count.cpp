// One port-path operation K times, for counting its instructions:
//   bench_count MODE K     MODE: send-lib, send-bare, read-lib, read-bare
// Every run first checks that the bare loops make the library's port
// accesses and warms the operation up once, so that the difference of the
// counts of two runs with different K is the cost of K2 - K1 operations.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench_ops.h"

int main(int argc, char **argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: bench_count send-lib|send-bare|read-lib|read-bare K\n");
        return 2;
    }
    const std::string mode = argv[1];
    const long k = strtol(argv[2], nullptr, 10);
    std::string problems = bench::CheckSameAccesses();
    if (!problems.empty()) {
        fprintf(stderr, "bench_count: %s", problems.c_str());
        return 1;
    }
    void (*op)() = nullptr;
    static int32_t sink;
    if (mode == "send-lib") op = [] { sink += bench::LibrarySend(); };
    if (mode == "send-bare") op = [] { bench::BareSend(); };
    if (mode == "read-lib") op = [] { int32_t n; sink += bench::LibraryRead(&n); };
    if (mode == "read-bare") op = [] { bench::BareRead(); };
    if (!op) {
        fprintf(stderr, "bench_count: unknown mode %s\n", mode.c_str());
        return 2;
    }
    bench::UsePortPath();
    op();
    bench::DropEvents();
    for (long i = 0; i < k; i++) {
        op();
        bench::DropEvents();
    }
    return sink == 0 ? 0 : 1;
}
