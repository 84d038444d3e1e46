#include "bench/bench_support.h"

#include <algorithm>
#include <cstdio>
#include <map>

namespace {

// Keeps every run's counters by benchmark name while printing as usual.
class CollectingReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
            std::string name = run.benchmark_name();
            const std::string suffix = "/real_time";
            if (name.size() > suffix.size() &&
                name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
                name.erase(name.size() - suffix.size());
            }
            for (const auto& counter : run.counters) {
                samples_[name][counter.first].push_back(counter.second.value);
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // Median of one counter over a benchmark's rounds; 0 when never measured.
    double Median(const std::string& name, const std::string& counter) const {
        auto bench = samples_.find(name);
        if (bench == samples_.end()) return 0;
        auto values = bench->second.find(counter);
        if (values == bench->second.end() || values->second.empty()) return 0;
        std::vector<double> sorted = values->second;
        std::sort(sorted.begin(), sorted.end());
        size_t n = sorted.size();
        return n % 2 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
    }

private:
    std::map<std::string, std::map<std::string, std::vector<double>>> samples_;
};

double Scale(const std::string& unit) {
    if (unit == "MB/s") return 1e6;
    if (unit == "MiB/s") return 1048576.0;
    return 1;
}

}  // namespace

void AlternateRounds(
    int rounds,
    const std::vector<std::pair<std::string, std::function<void(benchmark::State&)>>>& benchmarks) {
    for (int round = 0; round < rounds; ++round) {
        for (const auto& entry : benchmarks) {
            benchmark::RegisterBenchmark(entry.first.c_str(), entry.second)->UseRealTime();
        }
    }
}

int RunWithRatios(int argc, char** argv, const std::vector<RatioPair>& ratios) {
    benchmark::Initialize(&argc, argv);
    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    int status = 0;
    std::printf("\n");
    for (const auto& pair : ratios) {
        double ours = reporter.Median(pair.ours, pair.counter);
        double reference = reporter.Median(pair.reference, pair.counter);
        double ratio = reference > 0 ? ours / reference : 0;
        bool met = ratio >= pair.target;
        if (!met) status = 1;
        std::printf("RATIO %s vs %s: %.1f %s / %.1f %s = %.3f (target %.2f): %s\n",
                    pair.ours.c_str(), pair.reference.c_str(), ours / Scale(pair.unit),
                    pair.unit.c_str(), reference / Scale(pair.unit), pair.unit.c_str(), ratio,
                    pair.target, met ? "met" : "MISSED");
    }
    benchmark::Shutdown();
    return status;
}
