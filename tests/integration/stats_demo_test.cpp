// The demo statistics service, run as the built executable and read with the real
// page rules after the same UTF-8 to code page 936 step the query takes: what the
// program sees when it is pointed at the demo.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unicode/ustring.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "query/page_rules.h"
#include "stats-demo/roster.h"
#include "support/demo_service.h"
#include "support/gbk.h"

namespace tessevin {
namespace {

using demo::DemoPlayer;
using demo::roster;
using testing::DemoService;
using testing::gbk;
using testing::utf8_from_gbk;

enum class Then { read_reply, hang_up };

// Sends `request` as it is, then either reads until the demo closes or hangs up at
// once (a client that goes away). A demo that stops reading early (a request too
// long for it) may cut the send short; whatever it answered still counts.
std::string round_trip(int port, std::string_view request, Then then = Then::read_reply) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw std::runtime_error("socket failed");
  struct Closer {
    int fd;
    ~Closer() { close(fd); }
  } closer{fd};
  const timeval patience{60, 0};  // only so a hung demo cannot hang the test run
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &patience, sizeof patience);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    throw std::runtime_error("connect failed");
  }
  for (std::size_t sent = 0; sent < request.size();) {
    const ssize_t n = send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) break;
    sent += static_cast<std::size_t>(n);
  }
  std::string reply;
  if (then == Then::hang_up) return reply;
  char buffer[8192];
  ssize_t n = 0;
  while ((n = recv(fd, buffer, sizeof buffer, 0)) > 0) {
    reply.append(buffer, static_cast<std::size_t>(n));
  }
  return reply;
}

struct Reply {
  int status = 0;  // 0: no status line came back
  std::string content_type;
  std::optional<std::size_t> content_length;
  std::string body;
};

Reply get(int port, const std::string& target) {
  const std::string raw = round_trip(
      port, "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
  Reply reply;
  const std::size_t head_end = raw.find("\r\n\r\n");
  if (head_end == std::string::npos || !raw.starts_with("HTTP/1.1 ")) return reply;
  reply.body = raw.substr(head_end + 4);
  const std::string_view head(raw.data(), head_end);
  std::from_chars(head.data() + 9, head.data() + head.size(), reply.status);
  for (std::size_t at = head.find("\r\n"); at != std::string_view::npos;) {
    const std::size_t next = head.find("\r\n", at + 2);
    const std::string_view field = head.substr(at + 2, next - at - 2);
    at = next;
    const std::size_t colon = field.find(':');
    if (colon == std::string_view::npos) continue;
    std::string name(field.substr(0, colon));
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    std::string_view value = field.substr(colon + 1);
    while (value.starts_with(' ')) value.remove_prefix(1);
    if (name == "content-type") reply.content_type = value;
    if (name == "content-length") {
      std::size_t length = 0;
      std::from_chars(value.data(), value.data() + value.size(), length);
      reply.content_length = length;
    }
  }
  return reply;
}

// As the program encodes: letters, digits, "-" and "." stay, every other byte is
// "%XX" (so a space is "%20").
std::string encode(std::string_view bytes) {
  static constexpr char hex[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (std::isalnum(byte) || c == '-' || c == '.') {
      out.push_back(c);
    } else {
      out.append({'%', hex[byte >> 4], hex[byte & 15]});
    }
  }
  return out;
}

std::string detail(std::string_view server, std::string_view name) {
  return "/playerDetail.php?serverName=" + encode(server) + "&playerName=" + encode(name);
}

// The page as the query reads it: converted to code page 936, then the page rules.
PlayerPage read_page(const std::string& utf8_body) {
  return parse_player_page(Text(gbk(utf8_body)));
}

bool is_utf8(std::string_view bytes) {
  std::vector<UChar> units(bytes.size() + 1);
  int32_t length = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strFromUTF8(units.data(), static_cast<int32_t>(units.size()), &length, bytes.data(),
                static_cast<int32_t>(bytes.size()), &status);
  return U_SUCCESS(status);
}

const DemoPlayer& player_with_space() {
  const auto* found = std::find_if(std::begin(roster), std::end(roster), [](const DemoPlayer& p) {
    return p.player_name.find(' ') != std::string_view::npos;
  });
  if (found == std::end(roster)) throw std::logic_error("the roster has no name with a space");
  return *found;
}

void expect_figures(const Reply& reply, const DemoPlayer& player) {
  EXPECT_EQ(reply.status, 200);
  const PlayerPage page = read_page(reply.body);
  EXPECT_FALSE(page.no_data);
  EXPECT_EQ(page.summary.level.str(), std::to_string(player.level));
  EXPECT_EQ(page.summary.combat_power.str(), std::to_string(player.combat_power));
  EXPECT_EQ(page.summary.hidden_score.str(), std::to_string(player.hidden_score));
}

class StatsDemo : public ::testing::Test {
 protected:
  void SetUp() override {
    try {
      demo_.emplace(TESSEVIN_STATS_DEMO_PATH);
    } catch (const std::exception& e) {
      GTEST_FAIL() << "demo did not start: " << e.what();
    }
  }
  [[nodiscard]] Reply fetch(const std::string& target) const { return get(demo_->port(), target); }

  std::optional<DemoService> demo_;
};

TEST_F(StatsDemo, EveryRosterPlayerGivesTheirFigures) {
  for (const DemoPlayer& player : roster) {
    SCOPED_TRACE(std::string(player.server_name) + " / " + std::string(player.player_name));
    expect_figures(fetch(detail(player.server_name, player.player_name)), player);
  }
}

TEST_F(StatsDemo, AcceptsEveryWayOfEncodingAName) {
  const DemoPlayer& spaced = player_with_space();
  std::string with_plus = encode(spaced.player_name);
  for (std::size_t at; (at = with_plus.find("%20")) != std::string::npos;) {
    with_plus.replace(at, 3, "+");
  }
  std::string lower_hex = encode(spaced.server_name);
  std::transform(lower_hex.begin(), lower_hex.end(), lower_hex.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  const std::string server = encode(spaced.server_name);
  const struct {
    const char* what;
    std::string target;
  } cases[] = {
      {"space as %20, as the program sends it", detail(spaced.server_name, spaced.player_name)},
      {"space as +", "/playerDetail.php?serverName=" + server + "&playerName=" + with_plus},
      {"lower-case hex digits",
       "/playerDetail.php?serverName=" + lower_hex + "&playerName=" + encode(spaced.player_name)},
      {"keys the other way round",
       "/playerDetail.php?playerName=" + encode(spaced.player_name) + "&serverName=" + server},
      {"an unknown key in between",
       "/playerDetail.php?serverName=" + server + "&from=tool&playerName=" + with_plus},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    expect_figures(fetch(c.target), spaced);
  }
}

TEST_F(StatsDemo, AnswersNoDataForAnyoneNotOnTheRoster) {
  const DemoPlayer& known = player_with_space();
  const std::string name = encode(known.player_name);
  const std::string server = encode(known.server_name);
  std::string upper(known.player_name);
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  const struct {
    const char* what;
    std::string target;
  } cases[] = {
      {"unknown name", detail(known.server_name, "无名之辈")},
      {"unknown server", detail("电信二十", known.player_name)},
      {"empty server name (a group heading selected)", detail("", known.player_name)},
      {"known name on a server where no one is on the roster", detail("网通二", known.player_name)},
      {"name in other letter case", detail(known.server_name, upper)},
      {"name with a trailing space",
       detail(known.server_name, std::string(known.player_name) + " ")},
      {"empty name", detail(known.server_name, "")},
      {"no playerName key", "/playerDetail.php?serverName=" + server},
      {"no serverName key", "/playerDetail.php?playerName=" + name},
      {"no query at all", "/playerDetail.php"},
      {"keys without values", "/playerDetail.php?serverName&playerName"},
      {"cut-off escape", "/playerDetail.php?serverName=" + server + "&playerName=%E4%B8"},
      {"escape with no hex digits", "/playerDetail.php?serverName=%ZZ&playerName=%"},
      {"escape of a zero byte", "/playerDetail.php?serverName=" + server + "&playerName=a%00b"},
      {"bytes that are not UTF-8", "/playerDetail.php?serverName=%FF%FE&playerName=%C0%80"},
      {"markup in the name", "/playerDetail.php?serverName=&playerName=" +
                                 encode("<img src=\"images/call2login.gif\">x")},
      {"a very long name", detail(known.server_name, std::string(3000, 'a'))},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const Reply reply = fetch(c.target);
    EXPECT_EQ(reply.status, 200);
    EXPECT_TRUE(is_utf8(reply.body));
    EXPECT_TRUE(read_page(reply.body).no_data);
  }
}

TEST_F(StatsDemo, ServesUtf8PagesOfSeveralKilobytes) {
  const DemoPlayer& player = roster[0];
  const struct {
    const char* what;
    std::string target;
  } cases[] = {
      {"player page", detail(player.server_name, player.player_name)},
      {"no-data page", detail(player.server_name, "无名之辈")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const Reply reply = fetch(c.target);
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.content_type, "text/html; charset=utf-8");
    EXPECT_EQ(reply.content_length, reply.body.size());
    EXPECT_GE(reply.body.size(), 4096u);
    EXPECT_TRUE(is_utf8(reply.body));
    // Every character also exists in code page 936, so the program's conversion
    // loses nothing.
    EXPECT_EQ(utf8_from_gbk(gbk(reply.body)), reply.body);
  }
}

TEST_F(StatsDemo, AnswersOtherPathsWith404) {
  const std::string query = detail(roster[0].server_name, roster[0].player_name).substr(17);
  const std::string targets[] = {
      "/",
      "/index.php",
      "/playerdetail.php" + query,
      "/playerDetailXphp" + query,
      "/playerDetail.php/x" + query,
      "/images/call2login.gif",
  };
  for (const std::string& target : targets) {
    SCOPED_TRACE(target);
    const Reply reply = fetch(target);
    EXPECT_EQ(reply.status, 404);
    EXPECT_FALSE(reply.body.empty());
  }
}

TEST_F(StatsDemo, KeepsServingAfterOddRequests) {
  const std::string requests[] = {
      "\x01\x02 garbage\r\n\r\n",
      "GET\r\n\r\n",
      "GET /playerDe",
      "GET /playerDetail.php?playerName=" + std::string(100'000, 'a') + " HTTP/1.1\r\n\r\n",
      "GET /playerDetail.php?serverName=" + std::string(20'000, '%') + " HTTP/1.1\r\n\r\n",
  };
  for (const std::string& request : requests) {
    round_trip(demo_->port(), request, Then::hang_up);
  }
  expect_figures(fetch(detail(roster[0].server_name, roster[0].player_name)), roster[0]);
}

}  // namespace
}  // namespace tessevin
