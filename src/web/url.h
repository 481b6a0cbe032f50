// Taking a page address apart into what a connection needs: host, port and object
// path; and reading the value of one header line. Pure text work: a malformed
// address gives a malformed host or path, which the connection then fails on.
#pragma once

#include <optional>

#include "text/text.h"

namespace tessevin {

// The host of `address`, lower-case. The host ends at the first "/", "?" or "#"
// after the scheme; an address without a scheme is read as http.
//   url_host("HTTP://Srv:8080/A/b?c=1")              == "srv"
//   url_host("HTTP://Srv:8080/A/b?c=1", false, true) == "srv:8080"
//   url_host("http://www.a.b.c/x", true)             == "b.c"
// Given a `label_count` n (any value, 0 included), the host is cut to its last n + 2
// dot-separated labels instead (n + 1 with `registered_domain`).
[[nodiscard]] Text url_host(const Text& address, bool registered_domain = false,
                            bool keep_port = false, std::optional<int> label_count = std::nullopt);

// The number after the last ":" of the host; else 443 for addresses beginning with
// "https" (in any case) and 80 for everything else.
[[nodiscard]] int url_port(const Text& address);

// The object path: from the first "/" after the host to the end, letters as given,
// query included; "/" when there is none, and "/" put before a query or fragment
// that follows the host directly.
//   url_object("HTTP://Srv:8080/A/b?c=1") == "/A/b?c=1";  url_object("http://srv?x=1") == "/?x=1"
[[nodiscard]] Text url_object(const Text& address);

// Everything after the first ":" of a header line, with spaces trimmed; the empty
// text when the line has no ":".
//   header_value("Location: http://a/b ") == "http://a/b"
[[nodiscard]] Text header_value(const Text& line);

}  // namespace tessevin
