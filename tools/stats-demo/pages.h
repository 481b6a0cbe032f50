// The pages of the demo statistics service, as UTF-8 HTML with CR LF line ends.
// Plain C++: the HTTP side lives in main.cpp.
#pragma once

#include <string>
#include <string_view>

namespace tessevin::demo {

// What a player-detail request asks for, percent-decoded. A missing key reads as
// the empty value.
struct Lookup {
  std::string server_name;
  std::string player_name;
};

// Decodes "%XX" to its byte and "+" to a space. A "%" without two hex digits after
// it is kept as it is, so odd input still decodes to something (that matches no one).
[[nodiscard]] std::string percent_decode(std::string_view encoded);

// Reads serverName and playerName from a request target ("/path?a=1&b=2"); the
// first occurrence of a key counts.
[[nodiscard]] Lookup read_lookup(std::string_view target);

// The player's detail page when the roster has them, else the "no data" page.
[[nodiscard]] std::string player_detail_page(const Lookup& lookup);

// A short page for an error status (404 for any path we do not serve).
[[nodiscard]] std::string error_page(int status);

}  // namespace tessevin::demo
