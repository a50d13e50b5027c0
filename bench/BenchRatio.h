// Prints, after the usual table, each benchmark's speed as a ratio against its baseline measured
// in the same run, since absolute figures on a shared machine mean little.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

class TRatioReporter : public benchmark::ConsoleReporter {
public:
    // Each pair: (candidate, baseline) benchmark names, as printed without "/real_time".
    explicit TRatioReporter(std::vector<std::pair<std::string, std::string>> pairs)
        : ConsoleReporter(OO_Tabular), pairs_(std::move(pairs))
    {
    }

    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const auto& run : runs) {
            std::string name = run.benchmark_name();
            if (const auto cut = name.find("/real_time"); cut != std::string::npos)
                name.erase(cut);
            seconds_[name] = run.GetAdjustedRealTime();
        }
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        for (const auto& [candidate, baseline] : pairs_) {
            const auto c = seconds_.find(candidate), b = seconds_.find(baseline);
            if (c != seconds_.end() && b != seconds_.end() && c->second > 0)
                std::printf("ratio: %s is %.1fx as fast as %s\n", candidate.c_str(), b->second / c->second,
                            baseline.c_str());
        }
    }

private:
    std::vector<std::pair<std::string, std::string>> pairs_;
    std::map<std::string, double> seconds_;
};

#define FM_BENCHMARK_MAIN_WITH_RATIOS(...)                                                                             \
    int main(int argc, char** argv)                                                                                    \
    {                                                                                                                  \
        benchmark::Initialize(&argc, argv);                                                                            \
        TRatioReporter reporter(std::vector<std::pair<std::string, std::string>>{__VA_ARGS__});                        \
        benchmark::RunSpecifiedBenchmarks(&reporter);                                                                  \
        benchmark::Shutdown();                                                                                         \
        return 0;                                                                                                      \
    }
