// The main window against servers on 127.0.0.1 that misbehave on purpose: one query
// each, with the HTTP layer's time-outs shortened for the process. A request that got
// no answer empties the three labels and shows no box; a broken or odd page gives the
// figures found on what arrived. After every fault the window still handles events
// and the next query, on a healthy server, shows that server's figures.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <span>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/message_box.h"
#include "platform/inet.h"
#include "query/page_rules.h"
#include "support/gbk.h"
#include "support/loopback_server.h"

namespace tessevin {
namespace {

namespace inet = platform::inet;
namespace markers = page_markers;
using app::MainWindow;
using app::PlainLabel;
using testing::LoopbackServer;
using testing::ReceivedRequest;
using testing::Reply;
using testing::response;
using namespace std::chrono_literals;

constexpr int patience_ms = 5000;

LoopbackServer::Script always(Reply reply) {
  return [reply](const ReceivedRequest&) { return reply; };
}

// A player page in UTF-8, as the service sends it.
std::string player_page(const std::string& level, const std::string& combat_power,
                        const std::string& hidden_score) {
  return "<html><body><h3>player</h3>\r\n<span>lv" + std::string(markers::level_left) + level +
         markers::level_right + "\r\n<a>" + testing::utf8_from_gbk(markers::combat_power_left) +
         combat_power + markers::combat_power_right + "1 + 2\r\n" +
         testing::utf8_from_gbk(markers::hidden_score_left) + hidden_score +
         testing::utf8_from_gbk(markers::hidden_score_right) + "\r\n</body></html>\r\n";
}

std::string repeated(const std::string& s, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += s;
  return out;
}

Reply page_reply(const std::string& page) {
  return response(200, "Content-Type: text/html; charset=utf-8\r\n", page);
}

using Figures = std::vector<std::string>;  // level, combat power, hidden score

class NetworkFaultsWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    inet::set_default_timeouts(2000, 2000, 500);
    app::set_box_hook(
        [this](const Text&, const Text& text, app::BoxIcon) { boxes_.push_back(text.str()); });
    window_.show_centred();
    window_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window_));
  }
  void TearDown() override {
    app::set_box_hook({});
    inet::set_default_timeouts(60'000, 30'000, 30'000);
  }

  // One click on Query with the first server region and the name "a" against `port`.
  void query(int port) {
    window_.set_stats_host(Text("127.0.0.1:" + std::to_string(port)));
    window_.findChild<QComboBox*>("region_list")->setCurrentIndex(1);
    window_.findChild<QLineEdit*>("name_box")->setText("a");
    QTest::mouseClick(window_.findChild<QPushButton*>("query_button"), Qt::LeftButton);
  }

  [[nodiscard]] Figures figures() {
    Figures shown;
    for (const char* name : {"level_label", "combat_power_label", "hidden_score_label"}) {
      shown.push_back(window_.findChild<PlainLabel*>(name)->caption().str());
    }
    return shown;
  }

  // Whether the event loop still runs: a timer set now fires.
  [[nodiscard]] bool handles_events() {
    bool fired = false;
    QTimer::singleShot(0, &window_, [&fired] { fired = true; });
    return QTest::qWaitFor([&fired] { return fired; }, patience_ms);
  }

  MainWindow window_;
  std::vector<std::string> boxes_;
};

TEST_F(NetworkFaultsWindow, EveryFaultLeavesTheWindowReadyForTheNextQuery) {
  const Figures healthy_figures = {"30", "5821", "1521"};
  LoopbackServer healthy(always(page_reply(player_page("30", "5821", "1521"))));

  const std::string page = player_page("12", "1200", "2400");
  const std::string first_part =
      page.substr(0, page.find(testing::utf8_from_gbk(markers::hidden_score_left)));
  const std::string length_line = "Content-Length: " + std::to_string(page.size()) + "\r\n\r\n";
  const std::string by_length = "HTTP/1.1 200 OK\r\n" + length_line;
  const std::string chunked_head = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
  const Figures none = {"", "", ""};
  const Figures cut = {"12", "1200", ""};
  const Figures whole = {"12", "1200", "2400"};
  // A body far larger than any page, with the page at its very end.
  constexpr std::size_t filler_size = std::size_t{20} << 20;
  const std::string large_head =
      "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(filler_size + page.size()) +
      "\r\n\r\n";
  std::string headers_1mb;
  while (headers_1mb.size() < (std::size_t{1} << 20)) {
    headers_1mb +=
        "X-Filler-" + std::to_string(headers_1mb.size()) + ": " + std::string(100, 'f') + "\r\n";
  }

  const struct {
    const char* name;
    Reply reply;
    Figures figures;
  } cases[] = {
      {"accepts and never answers", Reply().hang(), none},
      {"closes before the status line", Reply().close(), none},
      {"resets before the status line", Reply().reset(), none},
      {"status line without a code", Reply().send("HTTP/1.1 OK\r\n" + length_line + page), none},
      {"header line without a colon",
       Reply().send("HTTP/1.1 200 OK\r\nno colon here\r\n" + length_line + page), none},
      {"1 MB of headers", Reply().send("HTTP/1.1 200 OK\r\n" + headers_1mb + length_line + page),
       none},
      {"closes in the middle of the body",
       Reply().send(by_length + first_part).pause(100ms).close(), cut},
      {"resets in the middle of the body",
       Reply().send(by_length + first_part).pause(100ms).reset(), cut},
      {"chunk longer than its size",
       Reply().send(chunked_head + "10\r\n" + page + "\r\n0\r\n\r\n").pause(100ms).close(), none},
      {"redirect loop",
       Reply().send("HTTP/1.1 302 Found\r\nLocation: /loop\r\n" + length_line + page), whole},
      {"redirect to a refused port",
       response(302,
                "Location: http://127.0.0.1:" + std::to_string(testing::unused_port()) + "/\r\n",
                page),
       none},
      {"20 MB body",
       Reply()
           .send(large_head)
           .send_generated(filler_size,
                           [](std::size_t, std::span<char> piece) {
                             std::fill(piece.begin(), piece.end(), 'x');
                           })
           .send(page),
       whole},
      {"zero byte after the level",
       page_reply(page.substr(0, page.find("\r\n<a>")) + '\0' + page),
       {"12", "", ""}},
      {"ill-formed UTF-8", page_reply("\xE4\xB8\xC0\xAF" + page + "\xFF\x80\xE4"), whole},
      {"every marker thousands of times",
       page_reply(page + repeated(player_page("9", "9", "9"), 3000)), whole},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    // Figures in the labels first, so that a failure's empty ones show.
    query(healthy.port());
    ASSERT_EQ(figures(), healthy_figures);
    {
      LoopbackServer faulty(always(c.reply), 200);
      query(faulty.port());
      EXPECT_EQ(figures(), c.figures);
    }
    EXPECT_TRUE(boxes_.empty());
    EXPECT_TRUE(handles_events());
  }
  query(healthy.port());
  EXPECT_EQ(figures(), healthy_figures);
  EXPECT_TRUE(boxes_.empty());
}

}  // namespace
}  // namespace tessevin
