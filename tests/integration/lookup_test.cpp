// tessevin-lookup, the built program run as a child process against scripted HTTP
// servers on 127.0.0.1 and against the demo service: what it sends, what it prints and
// how it ends. Its standard output and error land in files of a temporary folder.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "query/query.h"
#include "stats-demo/roster.h"
#include "support/demo_service.h"
#include "support/file_helpers.h"
#include "support/loopback_server.h"
#include "support/player_pages.h"

extern char** environ;

namespace tessevin {
namespace {

namespace fs = std::filesystem;
using testing::LoopbackServer;
using testing::no_data_page;
using testing::player_page;
using testing::ReceivedRequest;
using testing::Reply;
using testing::response;

struct Ended {
  int status = -1;  // exit status, or 1000 + signal number
  std::string out;
  std::string err;
};

// Runs the program with `arguments` and waits for it.
Ended run_lookup(const std::vector<std::string>& arguments) {
  const fs::path folder = fs::path(::testing::TempDir()) /
                          ("lookup-" + std::to_string(getpid()) + "-" +
                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
  fs::create_directories(folder);
  const std::string out_path = (folder / "out").string();
  const std::string err_path = (folder / "err").string();

  std::vector<std::string> strings = {TESSEVIN_LOOKUP_PATH};
  strings.insert(strings.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& s : strings) argv.push_back(s.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out_path.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err_path.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) throw std::runtime_error("posix_spawn failed");
  int status = 0;
  waitpid(pid, &status, 0);

  Ended ended;
  ended.status = WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
  ended.out = testing::read_all(out_path);
  ended.err = testing::read_all(err_path);
  fs::remove_all(folder);
  return ended;
}

// --- The scripted service: the player name picks the answer -----------------------

Reply scripted_answer(const ReceivedRequest& request) {
  const std::string html = "Content-Type: text/html; charset=utf-8\r\n";
  const auto asks_for = [&](const char* name) {
    return request.target.ends_with(std::string("playerName=") + name);
  };
  if (asks_for("nobody")) return response(200, html, no_data_page);
  if (asks_for("partial")) return response(200, html, player_page("12", "", "999"));
  if (asks_for("empty")) return response(200, html, "");
  if (asks_for("error")) return response(500, html, "<html>oops</html>");
  if (asks_for("odd")) {
    return response(200, html, player_page("3\"0\\", "中\t1", "<b>&amp;</b>\x01"));
  }
  if (asks_for("closed")) return Reply().close();
  if (asks_for("garbage")) return Reply().send("hello there\r\n\r\n").close();
  return response(200, html, player_page("30", "5821", "1521"));
}

const std::string figures_30 = "召唤师等级：30\n个人战斗力：5821\n隐藏分数：1521\n";

class LookupTest : public ::testing::Test {
 protected:
  LoopbackServer server_{scripted_answer};
  const std::string host_ = "127.0.0.1:" + std::to_string(server_.port());

  // The request line of the one request the server has seen since the last call.
  std::optional<std::string> next_request_line() {
    const std::vector<ReceivedRequest> requests = server_.requests();
    if (requests.size() != seen_ + 1) return std::nullopt;
    const std::string& head = requests[seen_++].head;
    return head.substr(0, head.find("\r\n"));
  }

 private:
  std::size_t seen_ = 0;
};

constexpr const char* server_1 = "serverName=%E7%94%B5%E4%BF%A1%E4%B8%80";  // 电信一

TEST_F(LookupTest, EachFormOfServerSendsItsServerName) {
  const struct {
    const char* server;
    const char* sent;  // serverName=…
  } cases[] = {
      {"艾欧尼亚", server_1},  // item text
      {"电信一", server_1},    // server name
      {"1", server_1},         // position
      {"01", server_1},
      {"皮城警备", "serverName=%E7%94%B5%E4%BF%A1%E5%8D%81%E4%B9%9D"},  // 19 → 电信十九
      {"19", "serverName=%E7%94%B5%E4%BF%A1%E5%8D%81%E4%B9%9D"},
      {"比尔吉沃特", "serverName=%E7%BD%91%E9%80%9A%E4%B8%80"},  // 21, after a heading
      {"网通六", "serverName=%E7%BD%91%E9%80%9A%E5%85%AD"},
      {"28", "serverName=%E6%95%99%E8%82%B2%E4%B8%80"},  // the last entry
      {"教育网专区", "serverName=%E6%95%99%E8%82%B2%E4%B8%80"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.server);
    const Ended ended = run_lookup({"--host", host_, c.server, "x"});
    EXPECT_EQ(ended.status, 0) << ended.err;
    EXPECT_EQ(ended.out, figures_30);
    EXPECT_EQ(ended.err, "");
    EXPECT_EQ(next_request_line(),
              std::string("GET /playerDetail.php?") + c.sent + "&playerName=x HTTP/1.1");
  }
}

TEST_F(LookupTest, TheNameIsSentAsTheWindowSendsIt) {
  const struct {
    std::vector<std::string> arguments;  // after --host HOST
    const char* player_name;             // playerName=…
  } cases[] = {
      {{"1", "寒江孤影"}, "%E5%AF%92%E6%B1%9F%E5%AD%A4%E5%BD%B1"},
      {{"1", "夜雨 Rain"}, "%E5%A4%9C%E9%9B%A8%20Rain"},  // a space, not trimmed
      {{"1", "neo-7.cn_&=+"}, "neo-7.cn%5F%26%3D%2B"},
      {{"1", ""}, ""},
      {{"1", "a😀"}, "a%3F"},  // code page 936 has no such character: '?'
      {{"--", "1", "-x"}, "-x"},
      {{"1", "x", "--json"}, "x"},  // options may follow the operands
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.player_name);
    std::vector<std::string> arguments = {"--host", host_};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    const Ended ended = run_lookup(arguments);
    EXPECT_EQ(ended.status, 0) << ended.err;
    EXPECT_EQ(next_request_line(), std::string("GET /playerDetail.php?") + server_1 +
                                       "&playerName=" + c.player_name + " HTTP/1.1");
  }
}

TEST_F(LookupTest, ServersThatAreNoneOfTheFormsAreUsageErrors) {
  const char* const servers[] = {
      "0",
      "20",
      "27",
      "=====电信大区====",
      "====网通大区====",  // headings
      "29",
      "99999999999999999999",
      "",
      "电信",
      "ionia",
      " 1",
      "1 ",
      "+1",
      "艾欧尼亚 ",
  };
  for (const char* server : servers) {
    SCOPED_TRACE(server);
    const Ended ended = run_lookup({"--host", host_, "--", server, "x"});
    EXPECT_EQ(ended.status, 2);
    EXPECT_EQ(ended.out, "");
    EXPECT_TRUE(ended.err.starts_with("tessevin-lookup: ")) << ended.err;
    EXPECT_NE(ended.err.find("艾欧尼亚"), std::string::npos) << ended.err;
    EXPECT_NE(ended.err.find("电信一"), std::string::npos) << ended.err;
    EXPECT_NE(ended.err.find("0 to 28"), std::string::npos) << ended.err;
    EXPECT_EQ(ended.err.find('\n'), ended.err.size() - 1) << "one line: " << ended.err;
  }
  EXPECT_TRUE(server_.requests().empty());
}

TEST_F(LookupTest, ArgumentsThatAreNotUnderstoodAreUsageErrors) {
  const std::vector<std::string> cases[] = {
      {},
      {"1"},
      {"1", "x", "y"},
      {"--host"},
      {"1", "x", "--host"},
      {"--host", "", "1", "x"},
      {"--host=", "1", "x"},
      {"--jsn", "1", "x"},
      {"-j", "1", "x"},
      {"1", "-x"},  // a name beginning with '-' needs "--" before it
  };
  for (const auto& arguments : cases) {
    SCOPED_TRACE(::testing::PrintToString(arguments));
    const Ended ended = run_lookup(arguments);
    EXPECT_EQ(ended.status, 2);
    EXPECT_EQ(ended.out, "");
    EXPECT_TRUE(ended.err.starts_with("tessevin-lookup: ")) << ended.err;
    EXPECT_NE(ended.err.find("usage: tessevin-lookup [--host HOST] [--json] SERVER NAME"),
              std::string::npos)
        << ended.err;
    EXPECT_EQ(ended.err.find('\n'), ended.err.size() - 1) << "one line: " << ended.err;
  }
}

TEST_F(LookupTest, NoDataIsTheWindowsMessageOnStandardError) {
  for (const bool json : {false, true}) {
    SCOPED_TRACE(json ? "json" : "text");
    std::vector<std::string> arguments = {"--host", host_, "1", "nobody"};
    if (json) arguments.insert(arguments.begin(), "--json");
    const Ended ended = run_lookup(arguments);
    EXPECT_EQ(ended.status, 1);
    EXPECT_EQ(ended.out, "");
    EXPECT_EQ(ended.err, "请输入正确的召唤师信息\n");
  }
}

// No status line at all is "no answer"; any answer at all, an error status or a page
// without the markers included, is read like the window reads it.
TEST_F(LookupTest, NoAnswerIsStatusThreeAndAnAnswerLackingMarkersPrintsEmptyFigures) {
  const std::string refusing = "127.0.0.1:" + std::to_string(testing::unused_port());
  const struct {
    const char* what;
    std::string host;
    const char* name;
    int status;
    const char* out;
  } cases[] = {
      {"refused", refusing, "x", 3, ""},
      {"closed before answering", host_, "closed", 3, ""},
      {"no status line", host_, "garbage", 3, ""},
      {"a name that does not resolve", "no-such-host.invalid", "x", 3, ""},
      {"an empty page", host_, "empty", 0, "召唤师等级：\n个人战斗力：\n隐藏分数：\n"},
      {"an error status", host_, "error", 0, "召唤师等级：\n个人战斗力：\n隐藏分数：\n"},
      {"a page lacking one marker", host_, "partial", 0,
       "召唤师等级：12\n个人战斗力：\n隐藏分数：999\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const Ended ended = run_lookup({"--host", c.host, "1", c.name});
    EXPECT_EQ(ended.status, c.status) << ended.err;
    EXPECT_EQ(ended.out, c.out);
    if (c.status == 3) {
      EXPECT_EQ(ended.err,
                "tessevin-lookup: no answer from the statistics service at " + c.host + "\n");
    } else {
      EXPECT_EQ(ended.err, "");
    }
  }
}

TEST_F(LookupTest, JsonHoldsTheFiguresExactlyAsCut) {
  const struct {
    const char* name;
    const char* json;
  } cases[] = {
      {"x", R"({"level":"30","combat_power":"5821","hidden_score":"1521"})"},
      {"partial", R"({"level":"12","combat_power":"","hidden_score":"999"})"},
      {"empty", R"({"level":"","combat_power":"","hidden_score":""})"},
      // Quotes, backslashes and control characters escaped; the rest as it came.
      {"odd",
       R"({"level":"3\"0\\","combat_power":"中\u00091","hidden_score":"<b>&amp;</b>\u0001"})"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Ended ended = run_lookup({"--json", "--host", host_, "1", c.name});
    EXPECT_EQ(ended.status, 0) << ended.err;
    EXPECT_EQ(ended.out, std::string(c.json) + "\n");
    EXPECT_EQ(ended.err, "");
  }
  // The plain form prints the same figures as they are.
  EXPECT_EQ(run_lookup({"--host=" + host_, "1", "odd"}).out,
            "召唤师等级：3\"0\\\n个人战斗力：中\t1\n隐藏分数：<b>&amp;</b>\x01\n");
}

TEST(Lookup, LooksUpTheDemoServicesPlayers) {
  std::optional<testing::DemoService> demo;
  try {
    demo.emplace(TESSEVIN_STATS_DEMO_PATH);
  } catch (const std::exception& e) {
    FAIL() << "demo did not start: " << e.what();
  }
  for (const demo::DemoPlayer& player : demo::roster) {
    const std::string server(player.server_name);
    const std::string name(player.player_name);
    SCOPED_TRACE(server + " / " + name);
    const Ended ended = run_lookup({"--host", demo->host(), server, name});
    EXPECT_EQ(ended.status, 0) << ended.err;
    EXPECT_EQ(ended.out, "召唤师等级：" + std::to_string(player.level) + "\n个人战斗力：" +
                             std::to_string(player.combat_power) + "\n隐藏分数：" +
                             std::to_string(player.hidden_score) + "\n");
  }
  const Ended unknown = run_lookup({"--host", demo->host(), "艾欧尼亚", "无名之辈"});
  EXPECT_EQ(unknown.status, 1);
  EXPECT_EQ(unknown.err, "请输入正确的召唤师信息\n");
}

TEST(Lookup, HelpAndVersion) {
  const Ended version = run_lookup({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, std::string("tessevin-lookup ") + TESSEVIN_VERSION + "\n");

  // Either ends the program where it stands: arguments after it are not read.
  const Ended help = run_lookup({"nowhere", "--help", "--bogus"});
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(help.out.starts_with("usage: tessevin-lookup [--host HOST] [--json] SERVER NAME\n"))
      << help.out;
  EXPECT_NE(help.out.find(default_stats_host().str()), std::string::npos) << help.out;
  EXPECT_EQ(help.err, "");
}

// The road's own report of whether the service answered, beside the page it read.
TEST(LookUpPlayer, TellsNoAnswerFromAnAnswerWithoutFigures) {
  LoopbackServer server(scripted_answer);
  const Text host(std::string("127.0.0.1:") + std::to_string(server.port()));
  const struct {
    const char* what;
    Text host;
    const char* name;
    bool answered;
    bool no_data;
    const char* level;
  } cases[] = {
      {"a player", host, "x", true, false, "30"},
      {"no data", host, "nobody", true, true, ""},
      {"an empty page", host, "empty", true, false, ""},
      {"an error status", host, "error", true, false, ""},
      {"closed before answering", host, "closed", false, false, ""},
      {"no status line", host, "garbage", false, false, ""},
      {"refused", Text("127.0.0.1:" + std::to_string(testing::unused_port())), "x", false, false,
       ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    bool answered = !c.answered;
    const PlayerPage page = look_up_player(c.host, Text("s"), Text(c.name), &answered);
    EXPECT_EQ(answered, c.answered);
    EXPECT_EQ(page.no_data, c.no_data);
    EXPECT_EQ(page.summary.level.str(), c.level);
  }
}

}  // namespace
}  // namespace tessevin
