// The benchmark program: every section registered, then one run.
#include "bench/bench_common.h"

int main(int argc, char** argv) {
    bench::register_generator();
    bench::register_sampling();
    bench::register_evaluation();
    bench::register_initialisation();
    bench::register_floor();
    bench::register_correlated();
    bench::register_fit();
    bench::register_guard();  // last: its benchmarks start a thread
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
