#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <vector>

#include "ratio.h"

namespace tessevin::bench {
namespace {

struct Comparison {
  std::string name, subject, baseline;
};

std::vector<Comparison>& comparisons() {
  static std::vector<Comparison> all;
  return all;
}

// Keeps the console output and remembers each benchmark's time per iteration.
class RecordingReporter : public benchmark::ConsoleReporter {
 public:
  // No colour codes: the ratio lines must start their lines for anything reading them.
  RecordingReporter() : ConsoleReporter(OO_Tabular) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration && run.iterations > 0) {
        seconds_[run.benchmark_name()] = run.GetAdjustedRealTime();
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  // The time of benchmark `name`, also when Google Benchmark added "/iterations:N"
  // or "/real_time" to it; negative when it did not run.
  double seconds_of(const std::string& name) const {
    if (auto exact = seconds_.find(name); exact != seconds_.end()) return exact->second;
    for (const auto& [run, seconds] : seconds_) {
      if (run.rfind(name + "/iterations:", 0) == 0 || run.rfind(name + "/real_time", 0) == 0) {
        return seconds;
      }
    }
    return -1;
  }

 private:
  std::map<std::string, double> seconds_;
};

}  // namespace

bool declare_ratio(const std::string& name, const std::string& subject,
                   const std::string& baseline) {
  comparisons().push_back({name, subject, baseline});
  return true;
}

}  // namespace tessevin::bench

int main(int argc, char** argv) {
  using namespace tessevin::bench;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RecordingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  for (const Comparison& c : comparisons()) {
    const double subject = reporter.seconds_of(c.subject);
    const double baseline = reporter.seconds_of(c.baseline);
    if (subject < 0 || baseline <= 0) {
      std::printf("ratio %s n/a (not run)\n", c.name.c_str());
      continue;
    }
    std::printf("ratio %s %.2f\n", c.name.c_str(), subject / baseline);
  }
  std::fflush(stdout);
  return 0;
}
