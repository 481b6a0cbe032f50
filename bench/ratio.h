// A thin layer over Google Benchmark: each comparison pairs a measured routine with
// its lower bound or peer, and after the run one line "ratio NAME VALUE" is printed
// per pair (subject time / baseline time, both measured in this run).
#pragma once

#include <string>

namespace tessevin::bench {

// Registers a comparison; returns true so it can initialise a static.
bool declare_ratio(const std::string& name, const std::string& subject,
                   const std::string& baseline);

}  // namespace tessevin::bench

#define TESSEVIN_RATIO_CAT2(a, b) a##b
#define TESSEVIN_RATIO_CAT(a, b) TESSEVIN_RATIO_CAT2(a, b)
// TESSEVIN_RATIO("parse_page_64k", "BM_parse_64k", "BM_memmem_64k");
#define TESSEVIN_RATIO(name, subject, baseline)                             \
  [[maybe_unused]] static const bool TESSEVIN_RATIO_CAT(ratio_, __LINE__) = \
      ::tessevin::bench::declare_ratio(name, subject, baseline)
