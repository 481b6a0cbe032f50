// url_host (every option), url_port, url_object and header_value on arbitrary text.
//
// Input: an option byte (bit 0: count labels), the label count (one signed byte),
// then the address, which is also read as a header line. Properties:
// - the host and the port do not depend on the case of ASCII letters in the address;
// - a host cut without its port holds no ":"; no host holds "/", "?" or "#";
// - without a ":" in the host, the port is 80 or 443;
// - the object path begins with "/" and is "/" or the end of the address, with a
//   "/" put before it when it does not begin with one;
// - header_value is the text after the first ":", trimmed.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz_input.h"
#include "support/text_reference.h"
#include "text/text.h"
#include "web/url.h"

namespace {

bool is_found(std::string_view t, std::string_view needle) {
  return tessevin::testing::reference_find(t, needle, std::nullopt, false) != -1;
}

bool ends_with(std::string_view whole, std::string_view end) {
  return whole.size() >= end.size() && whole.substr(whole.size() - end.size()) == end;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tessevin;
  using fuzz::check;
  using fuzz::shown;
  fuzz::Input in(data, size);
  const std::uint8_t options = in.byte();
  const int labels = static_cast<std::int8_t>(in.byte());
  const Text address(in.rest());
  const Text lowered = to_lower(address);
  const std::string_view a = address.view();
  const std::optional<int> label_count =
      (options & 1) != 0 ? std::optional<int>(labels) : std::nullopt;

  for (const bool registered : {false, true}) {
    for (const bool keep_port : {false, true}) {
      const Text host = url_host(address, registered, keep_port, label_count);
      const auto describe = [&](const char* what) {
        return std::string(what) + ": url_host(" + shown(a) + ", " + std::to_string(registered) +
               ", " + std::to_string(keep_port) + ", " + shown(label_count) + ") gave " +
               shown(host.view());
      };
      check(text_equal(host, url_host(lowered, registered, keep_port, label_count)),
            [&] { return describe("the host depends on letter case"); });
      check(keep_port || !is_found(host.view(), ":"),
            [&] { return describe("a port is left on the host"); });
      for (const char* stop : {"/", "?", "#"}) {
        check(!is_found(host.view(), stop), [&] { return describe("the host runs past its end"); });
      }
    }
  }

  const int port = url_port(address);
  check(port == url_port(lowered), [&] { return "url_port(" + shown(a) + ") depends on case"; });
  if (!is_found(url_host(address, false, true).view(), ":")) {
    check(port == 80 || port == 443, [&] {
      return "url_port(" + shown(a) + ") gave " + std::to_string(port) + " without a port";
    });
  }

  const Text object = url_object(address);
  const std::string_view o = object.view();
  check(
      !o.empty() && o.front() == '/' && (o == "/" || ends_with(a, o) || ends_with(a, o.substr(1))),
      [&] { return "url_object(" + shown(a) + ") gave " + shown(o); });

  const Text value = header_value(address);
  const int colon = testing::reference_find(a, ":", std::nullopt, false);
  const std::string want = colon == -1
                               ? std::string()
                               : testing::reference_trim(a.substr(static_cast<std::size_t>(colon)));
  check(value.view() == want, [&] {
    return "header_value(" + shown(a) + ") gave " + shown(value.view()) + ", want " + shown(want);
  });
  return 0;
}
