// For benchmarks that run our code beside a peer library on the same work:
// keeps each run's time per iteration and prints ours/peer for every pair of
// runs named "Ours/<case>" and "<peer>/<case>".
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace bench {

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  // cpu: compare CPU time rather than wall time.
  RatioReporter(std::string peer, bool cpu) : peer_(std::move(peer)), cpu_(cpu) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs)
      if (!run.error_occurred && run.run_type == Run::RT_Iteration)
        times_[run.benchmark_name()] = cpu_ ? run.GetAdjustedCPUTime() : run.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }

  // A heading, then a row a pair: `row` formats the case's name and the ratio.
  void PrintRatios(const char* heading, const char* row) const {
    std::printf("\n%s\n", heading);
    for (const auto& [name, ours] : times_) {
      if (name.rfind("Ours/", 0) != 0) continue;
      double theirs = time(peer_ + "/" + name.substr(5));
      if (theirs > 0) std::printf(row, name.substr(5).c_str(), ours / theirs);
    }
  }

  // A run's time per iteration; 0 when it did not run.
  double time(const std::string& name) const {
    auto it = times_.find(name);
    return it == times_.end() ? 0 : it->second;
  }

 private:
  std::string peer_;
  bool cpu_;
  std::map<std::string, double> times_;
};

}  // namespace bench
