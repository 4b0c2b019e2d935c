#pragma once
// The usual console table, and afterwards figures computed from its rows
// (ratios, differences) that a benchmark program prints below it.

#include <benchmark/benchmark.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace zelo::bench {

class FigureReporter : public benchmark::ConsoleReporter {
public:
    // `print` runs after the table, with the reporter to look rows up in.
    explicit FigureReporter(std::function<void(const FigureReporter&)> print)
        : print_(std::move(print)) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            // With --benchmark_repetitions the median stands for the run
            // (it comes after the single runs): a disk shared with other
            // work has slow moments that a mean would carry.
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") continue;
            std::string name = run.run_name.str();
            const std::string tail = "/real_time";
            if (name.size() > tail.size() &&
                name.compare(name.size() - tail.size(), tail.size(), tail) == 0)
                name.erase(name.size() - tail.size());
            micros_[name] = run.GetAdjustedRealTime() *
                            benchmark::GetTimeUnitMultiplier(benchmark::kMicrosecond) /
                            benchmark::GetTimeUnitMultiplier(run.time_unit);
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        print_(*this);
    }

    // The real time of one iteration of the named run (without its
    // "/real_time" tail; the median of its repetitions, when repeated) in
    // microseconds; 0 when it did not run.
    double micros(const std::string& name) const {
        const auto found = micros_.find(name);
        return found == micros_.end() ? 0 : found->second;
    }

private:
    std::function<void(const FigureReporter&)> print_;
    std::map<std::string, double> micros_;
};

// Runs the benchmarks the command line selects with `reporter`.
inline int runBenchmarks(int argc, char** argv, FigureReporter& reporter) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}

}  // namespace zelo::bench
