// The web request routine against real HTTP servers on 127.0.0.1.
#include "web/web_request.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/loopback_server.h"

namespace tessevin {
namespace {

using testing::LoopbackServer;
using testing::ReceivedRequest;
using testing::Reply;
using testing::response;

const std::string default_agent = default_user_agent;

Reply ok(std::string_view body = "ok") { return response(200, "", body); }

std::vector<std::string> header_lines(const ReceivedRequest& request) {
  std::vector<std::string> lines;
  std::string_view head = request.head;
  while (!head.empty()) {
    const std::size_t end = head.find("\r\n");
    if (end == 0 || end == std::string_view::npos) break;
    lines.emplace_back(head.substr(0, end));
    head.remove_prefix(end + 2);
  }
  return lines;
}

TEST(FetchPage, SendsTheDefaultRequestExactly) {
  LoopbackServer server([](const ReceivedRequest&) { return ok("page"); });
  const std::string address = server.address("/playerDetail.php?serverName=&playerName=ab%2012");
  EXPECT_EQ(fetch_page(Text(address)).str(), "page");

  const std::vector<ReceivedRequest> requests = server.requests();
  ASSERT_EQ(requests.size(), 1u);
  const ReceivedRequest& got = requests[0];
  const std::string host = "127.0.0.1:" + std::to_string(server.port());
  EXPECT_EQ(got.head,
            "GET /playerDetail.php?serverName=&playerName=ab%2012 HTTP/1.1\r\n"
            "Host: " +
                host +
                "\r\n"
                "User-Agent: " +
                default_agent +
                "\r\n"
                "Referer: " +
                address +
                "\r\n"
                "Accept: */*\r\n"
                "Accept-Language: zh-cn\r\n"
                "Content-Type: application/x-www-form-urlencoded\r\n"
                "\r\n");
  EXPECT_EQ(got.body, "");
}

TEST(FetchPage, FailuresGiveTheEmptyText) {
  // Nothing listens.
  EXPECT_EQ(
      fetch_page(Text("http://127.0.0.1:" + std::to_string(testing::unused_port()) + "/x")).str(),
      "");
  // A server that closes before answering.
  LoopbackServer closing([](const ReceivedRequest&) { return Reply().close(); });
  EXPECT_EQ(fetch_page(Text(closing.address("/x"))).str(), "");
  // A name that does not resolve.
  EXPECT_EQ(fetch_page("http://no-such-host.invalid/x").str(), "");
}

TEST(FetchPage, BodyBytesComeBackUnchanged) {
  const std::string ill_formed = "a\xE4\xB8 \xFF\xC0\xAF b";  // cut and over-long UTF-8
  const std::string with_zero = std::string("before\0after", 12);
  LoopbackServer server(
      [&](const ReceivedRequest& r) { return ok(r.target == "/zero" ? with_zero : ill_formed); });
  EXPECT_EQ(fetch_page(Text(server.address("/bad"))).str(), ill_formed);
  // The body keeps its zero byte; as a page it ends there.
  EXPECT_EQ(web_request(Text(server.address("/zero"))).view(), with_zero);
  EXPECT_EQ(fetch_page(Text(server.address("/zero"))).str(), "before");
}

TEST(WebRequest, ExtraHeadersReplaceDefaultLines) {
  static const struct {
    const char* extra;
    std::vector<std::string> lines;  // after Host, as sent
  } cases[] = {
      {"",
       {"User-Agent: " + default_agent, "Referer: ADDRESS", "Accept: */*", "Accept-Language: zh-cn",
        "Content-Type: application/x-www-form-urlencoded"}},
      {"Referer: http://elsewhere/",
       {"User-Agent: " + default_agent, "Referer: http://elsewhere/", "Accept: */*",
        "Accept-Language: zh-cn", "Content-Type: application/x-www-form-urlencoded"}},
      {"Accept: text/html",
       {"User-Agent: " + default_agent, "Accept: text/html", "Referer: ADDRESS",
        "Accept-Language: zh-cn", "Content-Type: application/x-www-form-urlencoded"}},
      {"Accept-Language: en",
       {"User-Agent: " + default_agent, "Accept-Language: en", "Referer: ADDRESS", "Accept: */*",
        "Content-Type: application/x-www-form-urlencoded"}},
      {"Content-Type: text/plain",
       {"User-Agent: " + default_agent, "Content-Type: text/plain", "Referer: ADDRESS",
        "Accept: */*", "Accept-Language: zh-cn"}},
      // The agent comes from the block's own line, which is sent as it stands.
      {"User-Agent: Probe/1.0\r\nX-A: 1",
       {"User-Agent: Probe/1.0", "X-A: 1", "Referer: ADDRESS", "Accept: */*",
        "Accept-Language: zh-cn", "Content-Type: application/x-www-form-urlencoded"}},
      // Any "Referer:" suppresses the default line, also inside another value.
      {"X-Note: no Referer: here",
       {"User-Agent: " + default_agent, "X-Note: no Referer: here", "Accept: */*",
        "Accept-Language: zh-cn", "Content-Type: application/x-www-form-urlencoded"}},
  };
  LoopbackServer server([](const ReceivedRequest&) { return ok(); });
  for (const auto& c : cases) {
    SCOPED_TRACE(c.extra);
    const std::size_t before = server.requests().size();
    const std::string address = server.address("/h");
    Text extra(c.extra);
    (void)web_request(Text(address), 0, Text(), nullptr, nullptr, &extra);
    ASSERT_EQ(server.requests().size(), before + 1);
    std::vector<std::string> want = {"GET /h HTTP/1.1",
                                     "Host: 127.0.0.1:" + std::to_string(server.port())};
    for (std::string line : c.lines) {
      if (const auto at = line.find("ADDRESS"); at != std::string::npos)
        line.replace(at, 7, address);
      want.push_back(line);
    }
    EXPECT_EQ(header_lines(server.requests().back()), want);
  }
}

TEST(WebRequest, ExtraHeadersComeBackAsTheBlockSent) {
  LoopbackServer server([](const ReceivedRequest&) { return ok(); });
  const std::string address = server.address("/b");
  Text extra("X-A: 1");
  Text cookies("k=v");
  (void)web_request(Text(address), 0, Text(), &cookies, nullptr, &extra);
  EXPECT_EQ(extra.str(), "X-A: 1\r\nReferer: " + address +
                             "\r\nAccept: */*\r\nAccept-Language: zh-cn\r\nContent-Type: "
                             "application/x-www-form-urlencoded\r\nCookie: k=v");
  // Extra headers ending in a line break keep it: the defaults then follow an empty
  // line, which the layer leaves off the wire.
  Text trailing("X-B: 2\r\n");
  (void)web_request(Text(address), 0, Text(), nullptr, nullptr, &trailing);
  EXPECT_EQ(trailing.str().substr(0, 19), "X-B: 2\r\n\r\nReferer: ");
  const auto lines = header_lines(server.requests().back());
  EXPECT_EQ(lines[3], "X-B: 2");
  EXPECT_EQ(lines[4], "Referer: " + address);
}

TEST(WebRequest, AgentFromTheExtraHeaders) {
  static const struct {
    const char* what;
    const char* extra;
    const char* agent_line;
  } cases[] = {
      {"only line, no line break", "User-Agent: Solo/2", "User-Agent: Solo/2"},
      {"first of several", "User-Agent: First/1\r\nX-B: 2", "User-Agent: First/1"},
      // Detection ignores case, the cut does not: the agent becomes everything after
      // the first colon of the whole block. The block's own line is what is sent.
      {"lower-case line", "user-agent: low/1\r\nX-B: 2", "user-agent: low/1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    LoopbackServer server([](const ReceivedRequest&) { return ok(); });
    Text extra(c.extra);
    (void)web_request(Text(server.address("/a")), 0, Text(), nullptr, nullptr, &extra);
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(header_lines(server.requests()[0])[2], c.agent_line);
  }
}

TEST(WebRequest, PostBodies) {
  LoopbackServer server([](const ReceivedRequest&) { return ok(); });
  const Text address(server.address("/p"));

  // post_text, put into post_bytes on its way out.
  Bytes sent;
  (void)web_request(address, 1, Text("a=1&b=2"), nullptr, nullptr, nullptr, nullptr, false, &sent);
  EXPECT_EQ(server.requests().back().method, "POST");
  EXPECT_EQ(server.requests().back().body, "a=1&b=2");
  EXPECT_EQ(server.requests().back().header("Content-Length"), "7");
  EXPECT_EQ(sent.view(), "a=1&b=2");

  // post_bytes wins over post_text and may hold zero bytes.
  Bytes raw(std::string_view("x\0y", 3));
  (void)web_request(address, 1, Text("ignored"), nullptr, nullptr, nullptr, nullptr, false, &raw);
  EXPECT_EQ(server.requests().back().body, std::string("x\0y", 3));

  // An empty POST, and a GET that carries a body (any method but 0 and 1).
  (void)web_request(address, 1);
  EXPECT_EQ(server.requests().back().method, "POST");
  EXPECT_EQ(server.requests().back().body, "");
  (void)web_request(address, 2, Text("q"));
  EXPECT_EQ(server.requests().back().method, "GET");
  EXPECT_EQ(server.requests().back().body, "q");
}

TEST(WebRequest, LocationAndRawHeaders) {
  LoopbackServer server([](const ReceivedRequest& r) {
    if (r.target == "/moved") return response(302, "Location: /final\r\n", "redirect body");
    if (r.target == "/both") {
      return response(200, "Location: http://a/1\r\nContent-Location: /2\r\n", "b");
    }
    if (r.target == "/empty") return response(200, "Location: \r\n", "e");
    return ok("final body");
  });
  Text location, raw;
  // A redirect followed: the final response's headers, which have no Location.
  Bytes body = web_request(Text(server.address("/moved")), 0, Text(), nullptr, nullptr, nullptr,
                           &location, false, nullptr, std::nullopt, &raw);
  EXPECT_EQ(body.view(), "final body");
  EXPECT_EQ(raw.str().substr(0, 17), "HTTP/1.1 200 OK\r\n");
  EXPECT_EQ(raw.str().substr(raw.size() - 4), "\r\n\r\n");
  EXPECT_EQ(location.str(), raw.str());

  // Not followed: the redirect's own Location and body.
  location = Text();
  body = web_request(Text(server.address("/moved")), 0, Text(), nullptr, nullptr, nullptr,
                     &location, true);
  EXPECT_EQ(body.view(), "redirect body");
  EXPECT_EQ(location.str(), "/final");

  // A Content-Location after the real one counts too: the last line wins.
  location = Text();
  (void)web_request(Text(server.address("/both")), 0, Text(), nullptr, nullptr, nullptr, &location);
  EXPECT_EQ(location.str(), "/2");

  // An empty Location value gives the raw headers; a value the caller put there
  // survives a response without any Location line.
  location = Text();
  (void)web_request(Text(server.address("/empty")), 0, Text(), nullptr, nullptr, nullptr, &location,
                    false, nullptr, std::nullopt, &raw);
  EXPECT_EQ(location.str(), raw.str());
  location = Text("kept");
  (void)web_request(Text(server.address("/plain")), 0, Text(), nullptr, nullptr, nullptr,
                    &location);
  EXPECT_EQ(location.str(), "kept");
}

TEST(WebRequest, HeaderBlockLargerThanTheUsualBufferIsReadWhole) {
  const std::string filler = "X-Filler: " + std::string(6000, 'f') + "\r\n";
  LoopbackServer server([&](const ReceivedRequest&) {
    return response(200, filler + "Location: /far\r\nSet-Cookie: big=1; Path=/h/\r\n", "x");
  });
  Text location, received, raw;
  (void)web_request(Text(server.address("/h")), 0, Text(), nullptr, &received, nullptr, &location,
                    false, nullptr, std::nullopt, &raw);
  EXPECT_GT(raw.size(), 6000u);
  EXPECT_EQ(location.str(), "/far");
  EXPECT_EQ(received.str(), "big=1");
}

TEST(WebRequest, NoResponseLeavesTheHeaderBufferBlank) {
  const Text address("http://127.0.0.1:" + std::to_string(testing::unused_port()) + "/x");
  Text location, raw, received("stale");
  const Bytes body = web_request(address, 0, Text(), nullptr, &received, nullptr, &location, false,
                                 nullptr, std::nullopt, &raw);
  EXPECT_EQ(body.size(), 0u);
  EXPECT_EQ(raw.str(), std::string(5000, ' '));
  EXPECT_EQ(location.str(), std::string(5000, ' '));
  EXPECT_EQ(received.str(), "");
}

TEST(WebRequest, ReceivedCookies) {
  static const struct {
    const char* set_cookie_lines;
    const char* received;
  } cases[] = {
      {"Set-Cookie: a=1; Path=/c/\r\nSet-Cookie: b=2; Path=/c/\r\n", "a=1; b=2"},
      {"Set-Cookie: a=1; Path=/c/\r\n", "a=1"},
      // No ";" after the cookie: an empty entry.
      {"Set-Cookie: lone=1\r\n", ""},
      {"Set-Cookie: a=1; Path=/c/\r\nSet-Cookie: lone=1\r\n", "a=1; "},
      {"X-Set-Cookie-Note: 1\r\n", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.set_cookie_lines);
    LoopbackServer server(
        [&](const ReceivedRequest&) { return response(200, c.set_cookie_lines, "x"); });
    Text received;
    (void)web_request(Text(server.address("/c/x")), 0, Text(), nullptr, &received);
    EXPECT_EQ(received.str(), c.received);
  }
}

TEST(WebRequest, CookiesGivenAreSentAndMerged) {
  LoopbackServer server([](const ReceivedRequest&) {
    return response(200, "Set-Cookie: b=3; Path=/\r\nSet-Cookie: gone=deleted; Path=/\r\n", "x");
  });
  Text cookies("a=1; b=2; gone=1");
  Text received;
  (void)web_request(Text(server.address("/m")), 0, Text(), &cookies, &received);
  EXPECT_EQ(server.requests()[0].header("Cookie"), "a=1; b=2; gone=1");
  EXPECT_EQ(cookies.str(), "b=3; a=1");
  EXPECT_EQ(received.str(), "b=3;gone=deleted");

  // Given empty: no Cookie line at all, and the jar fills from the response.
  Text empty("");
  (void)web_request(Text(server.address("/m")), 0, Text(), &empty);
  EXPECT_EQ(server.requests()[1].header("Cookie"), "");
  EXPECT_EQ(server.requests()[1].head.find("Cookie:"), std::string::npos);
  EXPECT_EQ(empty.str(), "b=3");
}

TEST(WebRequest, CookieStoreOfTheProcessUnlessCookiesAreGiven) {
  LoopbackServer server([](const ReceivedRequest& r) {
    if (r.target == "/store/set") {
      return response(200, "Set-Cookie: session=s1; Path=/store\r\n", "x");
    }
    return ok();
  });
  (void)web_request(Text(server.address("/store/set")));
  (void)web_request(Text(server.address("/store/next")));
  EXPECT_EQ(server.requests()[1].header("Cookie"), "session=s1");
  // Given cookies switch the store off: only the caller's jar is sent.
  Text mine("mine=1");
  (void)web_request(Text(server.address("/store/next")), 0, Text(), &mine);
  EXPECT_EQ(server.requests()[2].header("Cookie"), "mine=1");
  Text none("");
  (void)web_request(Text(server.address("/store/next")), 0, Text(), &none);
  EXPECT_EQ(server.requests()[3].head.find("Cookie:"), std::string::npos);
}

TEST(WebRequest, ThroughAProxy) {
  LoopbackServer proxy([](const ReceivedRequest&) { return ok("via proxy"); });
  const std::string proxy_at = "127.0.0.1:" + std::to_string(proxy.port());
  // The target host does not exist: only the proxy can answer.
  const Bytes body = web_request("http://stats.invalid:8080/p?q=1", 0, Text(), nullptr, nullptr,
                                 nullptr, nullptr, false, nullptr, Text(proxy_at));
  EXPECT_EQ(body.view(), "via proxy");
  ASSERT_EQ(proxy.requests().size(), 1u);
  EXPECT_EQ(proxy.requests()[0].target, "http://stats.invalid:8080/p?q=1");

  // Given empty, the proxy list is "http=" with nothing after it: a direct request.
  LoopbackServer direct([](const ReceivedRequest&) { return ok("direct"); });
  EXPECT_EQ(web_request(Text(direct.address("/d")), 0, Text(), nullptr, nullptr, nullptr, nullptr,
                        false, nullptr, Text(""))
                .view(),
            "direct");
  EXPECT_EQ(direct.requests()[0].target, "/d");
}

}  // namespace
}  // namespace tessevin
