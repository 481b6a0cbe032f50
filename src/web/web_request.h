// The program's one HTTP client routine, over our own HTTP layer: one GET or POST,
// the whole body read, the raw response headers read, the redirect target and the
// received cookies picked out of them. Synchronous; keeps nothing between calls
// except what the layer's process-wide cookie store keeps.
#pragma once

#include <optional>

#include "text/text.h"

namespace tessevin {

// The User-Agent sent when the caller's extra headers carry none.
inline constexpr const char* default_user_agent =
    "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1; KX9PE; .NET CLR 2.0.50727; .NET CLR "
    "3.0.04506.648; .NET CLR 3.5.21022)";

// Fetches `address` and returns the response body (empty when no session, connection
// or request could be opened, or nothing was read). Optional parameters left out
// (nullptr / nullopt) are "not given"; outputs left out are discarded.
//   method:              1 sends "POST", anything else "GET"; any value but 0 sends a body
//   post_text:           the body, used when *post_bytes is empty
//   cookies:             given: the layer's cookie store is off for this request, a
//                        non-empty jar is sent as the Cookie line, and the received
//                        cookies are merged into it afterwards
//   received_cookies:    out: the Set-Cookie cookies, "a=1; b=2"
//   extra_headers:       in and out: CR LF separated lines; a User-Agent, Referer,
//                        Accept, Accept-Language or Content-Type line replaces the
//                        default one; on return the whole header block that was sent
//   location_or_headers: out: the value of the last line holding "Location:", else
//                        the raw header block (left as the caller had it when that
//                        was not empty and no Location line came)
//   no_redirect:         the redirect response itself is returned
//   post_bytes:          in and out: the body as bytes; when empty and a body is
//                        sent, it receives post_text's bytes
//   proxy:               given (even empty): through the HTTP proxy "host:port"
//   raw_headers:         out: the final response's status and header lines, CR LF
//   answered:            out: whether a final response's status line arrived, which
//                        tells "no answer at all" from an answer with an empty body
Bytes web_request(const Text& address, int method = 0, const Text& post_text = Text(),
                  Text* cookies = nullptr, Text* received_cookies = nullptr,
                  Text* extra_headers = nullptr, Text* location_or_headers = nullptr,
                  bool no_redirect = false, Bytes* post_bytes = nullptr,
                  const std::optional<Text>& proxy = std::nullopt, Text* raw_headers = nullptr,
                  bool* answered = nullptr);

// What the header scan picks out of a raw response header block (status and header
// lines separated by CR LF).
struct HeaderScan {
  // The value of the last line holding "Location:" (a Content-Location line counts
  // too); not set when no line holds it.
  std::optional<Text> location;
  // The cookie of each line holding "Set-Cookie", the text between "Set-Cookie:" and
  // the next ";" trimmed (empty when either is missing), joined by "; ".
  Text received_cookies;
};
[[nodiscard]] HeaderScan scan_headers(const Text& raw_headers);

// A plain GET of `address` with every option left out; the body as Text (up to its
// first zero byte), the empty text on any failure. `answered` as for web_request.
[[nodiscard]] Text fetch_page(const Text& address, bool* answered = nullptr);

}  // namespace tessevin
