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
  const std::map<std::string, double>& seconds() const { return seconds_; }

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
    auto s = reporter.seconds().find(c.subject);
    auto b = reporter.seconds().find(c.baseline);
    if (s == reporter.seconds().end() || b == reporter.seconds().end() || b->second <= 0) {
      std::printf("ratio %s n/a (not run)\n", c.name.c_str());
      continue;
    }
    std::printf("ratio %s %.2f\n", c.name.c_str(), s->second / b->second);
  }
  std::fflush(stdout);
  return 0;
}
