// The header scan of web_request: raw response header text in, the redirect target and
// the received cookies out, compared with the scan written out on the plain text
// rules. The received cookies then go through the merge as web_request hands them on
// when the caller keeps a jar.
//
// Input: the raw header block.
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>

#include "fuzz_input.h"
#include "support/text_reference.h"
#include "text/text.h"
#include "web/cookies.h"
#include "web/web_request.h"

namespace {

using namespace tessevin::testing;

struct ReferenceScan {
  std::optional<std::string> location;
  std::string received_cookies;
};

std::string reference_header_value(std::string_view line) {
  const int colon = reference_find(line, ":", std::nullopt, false);
  return colon == -1 ? std::string() : reference_trim(line.substr(static_cast<std::size_t>(colon)));
}

ReferenceScan reference_scan(std::string_view raw) {
  ReferenceScan scan;
  for (const auto& line : reference_split(raw, "\r\n", std::nullopt)) {
    if (reference_find(line, "Location:", std::nullopt, false) != -1) {
      scan.location = reference_header_value(line);
    }
    if (reference_find(line, "Set-Cookie", std::nullopt, false) != -1) {
      scan.received_cookies +=
          reference_trim(reference_extract(line, "Set-Cookie:", ";", std::nullopt, false)) + "; ";
    }
  }
  std::string& received = scan.received_cookies;
  received.resize(received.size() > 2 ? received.size() - 2 : 0);
  return scan;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tessevin;
  using fuzz::check;
  using fuzz::shown;
  const Text raw(std::string_view(reinterpret_cast<const char*>(data), size));
  const HeaderScan scan = scan_headers(raw);
  const ReferenceScan want = reference_scan(raw.view());
  const auto describe = [&](const char* what) {
    return std::string(what) + " for the headers " + shown(raw.view()) + ": location " +
           (scan.location ? shown(scan.location->view()) : "(none)") + ", want " +
           (want.location ? shown(*want.location) : "(none)") + "; cookies " +
           shown(scan.received_cookies.view()) + ", want " + shown(want.received_cookies);
  };
  check(scan.location.has_value() == want.location.has_value() &&
            (!scan.location || scan.location->view() == *want.location),
        [&] { return describe("the redirect target differs"); });
  check(scan.received_cookies.view() == want.received_cookies,
        [&] { return describe("the received cookies differ"); });

  Text jar;
  Text received = scan.received_cookies;
  const Text merged = merge_cookies(jar, received);
  std::unordered_set<std::string> seen;
  for (const auto& entry : reference_split(merged.view(), "; ", std::nullopt)) {
    check(!(entry.size() >= 8 && entry.substr(entry.size() - 8) == "=deleted"),
          [&] { return describe("a deleted cookie was kept") + ", jar " + shown(merged.view()); });
    check(seen.insert(entry).second,
          [&] { return describe("a cookie stands twice") + ", jar " + shown(merged.view()); });
  }
  return 0;
}
