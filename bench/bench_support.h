// Shared by the benchmark programs: run the registered benchmarks and print,
// for each pair of ours and a reference measured in the same run, both rates
// and their ratio against a target.
//
// Register ours and the reference several times in alternation under the same
// names (AlternateRounds), so that both see the same machine conditions; each
// name's rate is the median over its rounds.
#ifndef LYPARSER_BENCH_BENCH_SUPPORT_H
#define LYPARSER_BENCH_BENCH_SUPPORT_H

#include <benchmark/benchmark.h>

#include <functional>
#include <string>
#include <vector>

struct RatioPair {
    std::string ours;       // benchmark name of our implementation
    std::string reference;  // benchmark name of the reference
    std::string counter;    // the rate to compare: "bytes_per_second", "items_per_second", ...
    double target;          // ours / reference must reach this
    std::string unit;       // how to print the rate, e.g. "MB/s" (divides bytes by 1e6)
};

// Registers `rounds` alternations of the given benchmarks, in order.
void AlternateRounds(
    int rounds,
    const std::vector<std::pair<std::string, std::function<void(benchmark::State&)>>>& benchmarks);

// Runs everything registered, then prints one line per pair:
//   RATIO <ours> vs <reference>: <ours rate> / <reference rate> = <ratio> (target <t>): met|MISSED
// Returns 0 when every target was met, 1 otherwise.
int RunWithRatios(int argc, char** argv, const std::vector<RatioPair>& ratios);

#endif  // LYPARSER_BENCH_BENCH_SUPPORT_H
