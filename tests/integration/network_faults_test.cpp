// Network faults met through the web request routine and the player lookup: real
// servers on 127.0.0.1 that misbehave on purpose. Every case ends within the layer's
// time-outs (shortened for the whole process while a fault test runs) and answers the
// way the routine answers: a request that got no answer gives the empty body, the
// header buffer as it was handed over (5000 spaces) and three empty figures; a
// response broken off in its body gives what arrived before the break, which the page
// rules read like any page.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "platform/inet.h"
#include "query/page_rules.h"
#include "query/query.h"
#include "support/gbk.h"
#include "support/loopback_server.h"
#include "web/web_request.h"

namespace tessevin {
namespace {

namespace inet = platform::inet;
namespace markers = page_markers;
using testing::LoopbackServer;
using testing::ReceivedRequest;
using testing::Reply;
using testing::response;
using namespace std::chrono_literals;

// Sessions opened while a fault test runs give up after this long without a byte:
// short, so that every fault ends soon, and still long enough that a busy machine does
// not cut off a reply that is on its way.
class NetworkFaults : public ::testing::Test {
 protected:
  void SetUp() override { inet::set_default_timeouts(2000, 2000, 500); }
  void TearDown() override { inet::set_default_timeouts(60'000, 30'000, 30'000); }
};

LoopbackServer::Script always(Reply reply) {
  return [reply](const ReceivedRequest&) { return reply; };
}

// --- Pages, in UTF-8 as the service sends them -------------------------------------

std::string utf8(const char* gbk_bytes) { return testing::utf8_from_gbk(gbk_bytes); }

const std::string level_left = markers::level_left;
const std::string level_right = markers::level_right;
const std::string combat_left = utf8(markers::combat_power_left);
const std::string combat_right = markers::combat_power_right;
const std::string hidden_left = utf8(markers::hidden_score_left);
const std::string hidden_right = utf8(markers::hidden_score_right);
const std::string no_data_left = markers::no_data_left;
const std::string no_data_text = utf8(markers::no_data_value) + markers::no_data_right;

std::string level_part(const std::string& level) {
  return "<span>lv" + level_left + level + level_right + "\r\n";
}
std::string combat_part(const std::string& combat_power) {
  return "<a>" + combat_left + combat_power + combat_right + "1 + 2\r\n";
}
std::string hidden_part(const std::string& hidden_score) {
  return hidden_left + hidden_score + hidden_right + "\r\n";
}

std::string player_page(const std::string& level, const std::string& combat_power,
                        const std::string& hidden_score) {
  return "<html><body><h3>player</h3>\r\n" + level_part(level) + combat_part(combat_power) +
         hidden_part(hidden_score) + "</body></html>\r\n";
}

std::string repeated(const std::string& s, int times) {
  std::string out;
  out.reserve(s.size() * static_cast<std::size_t>(times));
  for (int i = 0; i < times; ++i) out += s;
  return out;
}

// --- What the lookup makes of a page -----------------------------------------------

struct Figures {
  bool no_data = false;
  std::string level, combat_power, hidden_score;  // code page 936
  bool operator==(const Figures&) const = default;
};

void PrintTo(const Figures& f, std::ostream* out) {
  *out << (f.no_data ? "no data"
                     : "{" + f.level + ", " + f.combat_power + ", " + f.hidden_score + "}");
}

const Figures no_figures{};

Figures look_up(int port) {
  const PlayerPage page = look_up_player(Text("127.0.0.1:" + std::to_string(port)),
                                         Text(testing::gbk("电信一")), Text("a"));
  return {page.no_data, page.summary.level.str(), page.summary.combat_power.str(),
          page.summary.hidden_score.str()};
}

// Everything the routine hands back besides the body.
struct Answer {
  std::string body;
  std::string raw_headers;
  std::string location_or_headers;
  std::string received_cookies;
};

Answer request(const std::string& address) {
  Text raw, location, received;
  const Bytes body = web_request(Text(address), 0, Text(), nullptr, &received, nullptr, &location,
                                 false, nullptr, std::nullopt, &raw);
  return {std::string(body.view()), raw.str(), location.str(), received.str()};
}

// The header buffer as the routine hands it to the layer, left untouched: no answer.
const std::string untouched_headers(5000, ' ');

// Header texts as failure messages show them.
std::string shown(const std::string& headers) {
  if (headers == untouched_headers) return "(untouched: 5000 spaces)";
  if (headers.size() > 1000) return "(" + std::to_string(headers.size()) + " bytes)";
  return headers;
}

std::string hex(std::size_t n) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  do {
    out.insert(out.begin(), digits[n % 16]);
    n /= 16;
  } while (n != 0);
  return out;
}

// Descriptors this process holds open: a fault must not leave a socket behind.
std::size_t open_descriptors() {
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    ++count;
  }
  return count;
}

TEST_F(NetworkFaults, FailedAndBrokenRequestsGiveWhatArrivedAndNothingMore) {
  const std::string page = player_page("30", "5821", "1521");
  // The page up to the hidden score: the level and the combat power are whole on it.
  const std::string first_part = page.substr(0, page.find(hidden_left));
  const std::string length_line = "Content-Length: " + std::to_string(page.size()) + "\r\n\r\n";
  const std::string by_length = "HTTP/1.1 200 OK\r\n" + length_line;
  const std::string chunked_head = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
  const std::string loop_head =
      "HTTP/1.1 302 Found\r\nLocation: /loop\r\nContent-Length: " + std::to_string(page.size()) +
      "\r\n\r\n";
  const std::string dead_end =
      "Location: http://127.0.0.1:" + std::to_string(testing::unused_port()) + "/\r\n";
  const Figures whole{false, "30", "5821", "1521"};
  const Figures cut{false, "30", "5821", ""};

  const struct {
    const char* name;
    Reply reply;
    std::string body;
    std::string raw_headers;  // empty: none came, the buffer stays untouched
    std::string location;     // empty: the raw headers stand in for it
    Figures figures;
  } cases[] = {
      // Nothing came that could be read as a response.
      {"accepts and never answers", Reply().hang(), "", "", "", no_figures},
      {"closes before the status line", Reply().close(), "", "", "", no_figures},
      {"resets before the status line", Reply().reset(), "", "", "", no_figures},
      {"status line without a code", Reply().send("HTTP/1.1 OK\r\n" + length_line + page), "", "",
       "", no_figures},
      {"status code that is no number", Reply().send("HTTP/1.1 2x0 OK\r\n" + length_line + page),
       "", "", "", no_figures},
      {"header line without a colon",
       Reply().send("HTTP/1.1 200 OK\r\nX-Before: 1\r\nno colon here\r\n" + length_line + page), "",
       "", "", no_figures},
      {"stalls inside the headers", Reply().send("HTTP/1.1 200 OK\r\nX-Before: 1\r\n").hang(), "",
       "", "", no_figures},
      {"redirect to a refused port", response(302, dead_end, page), "", "", "", no_figures},
      // A response broken off in its body: what arrived before the break.
      {"closes in the middle of the body",
       Reply().send(by_length + first_part).pause(100ms).close(), first_part, by_length, "", cut},
      {"resets in the middle of the body",
       Reply().send(by_length + first_part).pause(100ms).reset(), first_part, by_length, "", cut},
      {"stalls in the middle of the body", Reply().send(by_length + first_part).hang(), first_part,
       by_length, "", cut},
      // The size says more than the chunk holds: the framing after it is taken as data
      // until the connection closes.
      {"chunk shorter than its size",
       Reply()
           .send(chunked_head + hex(page.size() + 100) + "\r\n" + page + "\r\n0\r\n\r\n")
           .pause(100ms)
           .close(),
       page + "\r\n0\r\n\r\n", chunked_head, "", whole},
      // The size says less: what follows it is no chunk size line.
      {"chunk longer than its size",
       Reply().send(chunked_head + hex(first_part.size()) + "\r\n" + page + "\r\n0\r\n\r\n").hang(),
       first_part, chunked_head, "", cut},
      // A loop ends with the response after the last redirect followed, body and all.
      {"redirect loop", Reply().send(loop_head + page), page, loop_head, "/loop", whole},
  };

  (void)request("http://127.0.0.1:" + std::to_string(testing::unused_port()) + "/warm-up");
  const std::size_t descriptors = open_descriptors();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    LoopbackServer server(always(c.reply), 200);
    const Answer answer = request(server.address("/p"));
    const std::string raw = c.raw_headers.empty() ? untouched_headers : c.raw_headers;
    EXPECT_EQ(answer.body, c.body);
    EXPECT_EQ(shown(answer.raw_headers), shown(raw));
    EXPECT_EQ(shown(answer.location_or_headers), shown(c.location.empty() ? raw : c.location));
    EXPECT_EQ(answer.received_cookies, "");
    EXPECT_EQ(look_up(server.port()), c.figures);
  }
  EXPECT_EQ(open_descriptors(), descriptors);
}

TEST_F(NetworkFaults, HeaderScanReadsABlockFarLargerThanItsBufferUpToTheLayersLimit) {
  // Location and Set-Cookie come after the filler, so they are found only when the
  // block is read whole.
  const auto reply_after = [](std::size_t filler_size) {
    std::string filler;
    while (filler.size() < filler_size) {
      filler += "X-Filler-" + std::to_string(filler.size()) + ": " + std::string(100, 'f') + "\r\n";
    }
    return "HTTP/1.1 200 OK\r\n" + filler +
           "Location: /after-the-filler\r\nSet-Cookie: faults_seen=1; Path=/faults-only\r\n"
           "Content-Length: 4\r\n\r\n";
  };
  const struct {
    const char* name;
    std::string head;
    bool read;
  } cases[] = {
      {"250 KB, fifty times the buffer", reply_after(250 * 1024), true},
      // libcurl refuses a header block over 300 KB: the request fails as a whole.
      {"1 MB", reply_after(1024 * 1024), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    LoopbackServer server(always(Reply().send(c.head + "body")));
    const Answer answer = request(server.address("/faults-only/h"));
    if (c.read) {
      EXPECT_EQ(answer.body, "body");
      EXPECT_TRUE(answer.raw_headers == c.head) << shown(answer.raw_headers);
      EXPECT_EQ(answer.location_or_headers, "/after-the-filler");
      EXPECT_EQ(answer.received_cookies, "faults_seen=1");
    } else {
      EXPECT_EQ(answer.body, "");
      EXPECT_EQ(shown(answer.raw_headers), shown(untouched_headers));
      EXPECT_EQ(shown(answer.location_or_headers), shown(untouched_headers));
      EXPECT_EQ(answer.received_cookies, "");
    }
  }
}

TEST(OddPages, FiguresAreCutFromThePageUpToItsFirstZeroByte) {
  constexpr int thousands = 3000;
  const std::string page = player_page("30", "5821", "1521");
  const std::string no_data_page = "<h3>" + no_data_left + no_data_text + "\r\n";
  const std::string nul(1, '\0');
  // Sequences that are not UTF-8: cut short, over-long, a lone continuation byte, an
  // encoded surrogate, a byte that never occurs.
  const std::string ill_formed = "\xE4\xB8" + std::string("\xC0\xAF\x80\xED\xA0\x80\xFF");

  const struct {
    const char* name;
    std::string page;
    Figures figures;
  } cases[] = {
      {"zero byte after the level",
       level_part("30") + nul + combat_part("5821") + hidden_part("1521"),
       {false, "30", "", ""}},
      {"zero byte first", nul + page, no_figures},
      // The zero byte hides the no-data end marker, so this is no "no data" page.
      {"zero byte inside the no-data text",
       level_part("30") + "<h3>" + no_data_left + utf8(markers::no_data_value) + nul + "</h3>",
       {false, "30", "", ""}},
      {"ill-formed UTF-8 around every marker",
       ill_formed + "<span>" + ill_formed + level_left + "30" + level_right + ill_formed + "<a>" +
           combat_left + "5821" + combat_right + ill_formed + hidden_left + "1521" + hidden_right +
           ill_formed + "\xE4\xB8",
       {false, "30", "5821", "1521"}},
      // Each ill-formed byte reads as a character of its own: far more characters than
      // the page has bytes as code page 936 reads it.
      {"thousands of ill-formed bytes before the figures",
       repeated("\xC0\xAF", thousands * 10) + page,
       {false, "30", "5821", "1521"}},
      {"every figure thousands of times: the first counts",
       page + repeated(player_page("99", "99", "99"), thousands),
       {false, "30", "5821", "1521"}},
      {"end markers thousands of times before the figures",
       repeated(level_right + combat_right + hidden_right, thousands) + page,
       {false, "30", "5821", "1521"}},
      // The first left marker counts, so the figure runs over all the others.
      {"level left marker thousands of times",
       repeated(level_left, thousands) + "30" + level_right,
       {false, repeated(level_left, thousands - 1) + "30", "", ""}},
      {"no-data marker thousands of times: its text is no longer the no-data text",
       repeated(no_data_left, thousands) + no_data_text + page,
       {false, "30", "5821", "1521"}},
      {"no-data page repeated thousands of times",
       repeated(no_data_page + page, thousands),
       {true, "", "", ""}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    LoopbackServer server(
        always(response(200, "Content-Type: text/html; charset=utf-8\r\n", c.page)));
    EXPECT_TRUE(fetch_page(Text(server.address("/page"))).str() ==
                c.page.substr(0, c.page.find('\0')));
    EXPECT_EQ(look_up(server.port()), c.figures);
  }
}

// --- A very large body ---------------------------------------------------------------

// Resident memory of this process now.
std::size_t resident_bytes() {
  std::ifstream statm("/proc/self/statm");
  std::size_t total_pages = 0;
  std::size_t resident_pages = 0;
  statm >> total_pages >> resident_pages;
  return resident_pages * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

// Body byte at `offset`: printable, never zero, with a period that divides the
// server's pieces so the whole body can be checked a block at a time.
constexpr std::size_t body_period = 64;
char body_byte(std::size_t offset) { return static_cast<char>('0' + offset % body_period); }

struct LargeBodyReport {
  std::size_t resident_before = 0;
  std::size_t received = 0;
  bool intact = false;
};

// Fetches `size` generated bytes as a page; run in a child process of its own, so that
// its peak memory is the child's alone.
LargeBodyReport fetch_large_body(std::size_t size) {
  LargeBodyReport report;
  const std::string head =
      "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(size) + "\r\n\r\n";
  LoopbackServer server(
      always(Reply().send(head).send_generated(size, [](std::size_t offset, std::span<char> piece) {
        for (std::size_t i = 0; i < piece.size(); ++i) piece[i] = body_byte(offset + i);
      })));
  report.resident_before = resident_bytes();
  const Text page = fetch_page(Text(server.address("/large")));
  report.received = page.size();
  std::string block(4096, ' ');
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = body_byte(i);
  report.intact = page.size() == size;
  for (std::size_t at = 0; report.intact && at < size; at += block.size()) {
    const std::size_t n = std::min(block.size(), size - at);
    report.intact = std::memcmp(page.view().data() + at, block.data(), n) == 0;
  }
  return report;
}

TEST(LargeBody, TwoHundredMegabytesArriveWholeAtNoMoreThanThreeTimesTheirSizeInMemory) {
  constexpr std::size_t size = std::size_t{200} << 20;
  int pipe_fds[2];
  ASSERT_EQ(pipe2(pipe_fds, O_CLOEXEC), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(pipe_fds[0]);
    const LargeBodyReport report = fetch_large_body(size);
    const bool written = write(pipe_fds[1], &report, sizeof report) == sizeof report;
    _exit(written ? 0 : 1);
  }
  close(pipe_fds[1]);
  LargeBodyReport report;
  const bool reported = read(pipe_fds[0], &report, sizeof report) == sizeof report;
  close(pipe_fds[0]);
  int status = 0;
  rusage usage{};
  ASSERT_EQ(wait4(child, &status, 0, &usage), child);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  ASSERT_TRUE(reported);
  EXPECT_EQ(report.received, size);
  EXPECT_TRUE(report.intact);
  const std::size_t peak = static_cast<std::size_t>(usage.ru_maxrss) * 1024;  // given in KiB
  RecordProperty("peak_growth_mib",
                 std::to_string((peak - std::min(peak, report.resident_before)) >> 20));
  EXPECT_LE(peak - std::min(peak, report.resident_before), 3 * size)
      << "peak " << (peak >> 20) << " MiB, " << (report.resident_before >> 20) << " MiB before";
}

}  // namespace
}  // namespace tessevin
