// The HTTP layer against real servers on 127.0.0.1: what goes on the wire, what comes
// back through the reads and the raw header query, and how every failure ends.
#include "platform/inet.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "support/loopback_server.h"

namespace tessevin {
namespace {

namespace inet = platform::inet;
using testing::chunked;
using testing::LoopbackServer;
using testing::ReceivedRequest;
using testing::Reply;
using testing::response;
using namespace std::chrono_literals;

constexpr const char* agent = "tessevin-test/1.0";
// What the web request routine passes for an http address with every option left out.
constexpr std::uint32_t plain_flags =
    inet::flag_reload | inet::flag_need_file | inet::flag_ignore_redirect_to_https;
static_assert(plain_flags == 0x80004010);

struct Call {
  std::string host = "127.0.0.1";
  int port = 0;
  std::string path = "/";
  const char* verb = "GET";
  const char* version = "HTTP/1.1";
  const char* referrer = nullptr;
  std::vector<const char*> accept_types;  // without the closing null; empty: none
  std::string headers;
  std::string body;
  std::uint32_t flags = plain_flags;
  int access = inet::access_direct;
  const char* proxy_list = nullptr;
  const char* bypass_list = nullptr;
  int receive_ms = 0;  // 0: the default
  int read_size = 1024;
};

struct Outcome {
  bool sent = false;
  std::string body;
  bool last_read = false;  // the answer of the read that gave a count of 0
  int largest_read = 0;
  bool headers_read = false;
  std::string headers;
  inet::Failure failure = inet::Failure::other;
};

// The web request routine's sequence: open, connect, open the request, send, read
// to a count of 0, query the headers (measure, then read whole), close.
Outcome run(const Call& call) {
  Outcome out;
  inet::Session* session =
      inet::open_session(agent, call.access, call.proxy_list, call.bypass_list, 0);
  if (session == nullptr) {
    ADD_FAILURE() << "no session";
    return out;
  }
  if (call.receive_ms > 0) inet::set_timeouts(session, 0, 0, call.receive_ms);
  inet::Connection* connection = inet::connect(session, call.host.c_str(), call.port, nullptr,
                                               nullptr, inet::service_http, 0, 0);
  std::vector<const char*> accept_types = call.accept_types;
  accept_types.push_back(nullptr);
  inet::Request* request =
      inet::open_request(connection, call.verb, call.path.c_str(), call.version, call.referrer,
                         call.accept_types.empty() ? nullptr : accept_types.data(), call.flags, 0);
  if (connection == nullptr || request == nullptr) {
    ADD_FAILURE() << "no connection or request handle";
  } else {
    out.sent =
        inet::send_request(request, call.headers.data(), static_cast<int>(call.headers.size()),
                           call.body.data(), static_cast<int>(call.body.size()));
    std::vector<char> buffer(static_cast<std::size_t>(call.read_size));
    for (;;) {
      int count = -1;
      const bool ok = inet::read_file(request, buffer.data(), call.read_size, &count);
      if (count <= 0) {
        EXPECT_EQ(count, 0);
        out.last_read = ok;
        break;
      }
      out.largest_read = std::max(out.largest_read, count);
      out.body.append(buffer.data(), static_cast<std::size_t>(count));
    }
    std::uint32_t length = 0;
    if (!inet::query_raw_headers(request, nullptr, &length) && length != 0) {
      std::string block(length, '\x7f');
      out.headers_read = inet::query_raw_headers(request, block.data(), &length);
      if (out.headers_read) {
        EXPECT_EQ(block.size(), length + 1u);  // the measured size counted the zero byte
        EXPECT_EQ(block[length], '\0');
        block.resize(length);
        out.headers = block;
      }
    }
    out.failure = inet::last_failure(request);
  }
  inet::close_handle(request);
  inet::close_handle(connection);
  inet::close_handle(session);
  return out;
}

Call call_to(const LoopbackServer& server, std::string path) {
  Call call;
  call.port = server.port();
  call.path = std::move(path);
  return call;
}

LoopbackServer::Script always(Reply reply) {
  return [reply](const ReceivedRequest&) { return reply; };
}

// ---- the request on the wire ----

TEST(InetWire, RequestHeadIsRequestLineHostAgentThenTheBlock) {
  const std::string agent_line = std::string("User-Agent: ") + agent + "\r\n";
  const struct {
    const char* name;
    void (*setup)(Call&);
    std::string request_line;  // expected, without its CR LF
    std::string lines;         // expected after the Host line
    const char* body;          // expected to be read
  } cases[] = {
      {"block of the web request routine",
       [](Call& c) {
         c.path = "/player?x=1";
         c.headers =
             "Referer: http://127.0.0.1/player?x=1\r\nAccept: */*\r\nAccept-Language: zh-cn\r\n"
             "Content-Type: application/x-www-form-urlencoded";
       },
       "GET /player?x=1 HTTP/1.1",
       agent_line + "Referer: http://127.0.0.1/player?x=1\r\nAccept: */*\r\n"
                    "Accept-Language: zh-cn\r\nContent-Type: application/x-www-form-urlencoded\r\n",
       "ok"},
      // Nothing of the layer's own beyond Host and User-Agent, not even an Accept line.
      {"empty block", [](Call&) {}, "GET / HTTP/1.1", agent_line, "ok"},
      {"the block's agent replaces the session's",
       [](Call& c) { c.headers = "X-First: 1\r\nUser-Agent: mine"; }, "GET / HTTP/1.1",
       "X-First: 1\r\nUser-Agent: mine\r\n", "ok"},
      // Empty lines, a lone LF and a lone CR (both end a line), a line without a colon,
      // names that are no names, an empty value, and the caller's own body framing.
      {"untidy block",
       [](Call& c) {
         c.headers =
             "X-One: 1\r\n\r\nX-Two: 2\nX-Three: 3\rno colon here\r\nBad Name: x\r\n"
             ": nameless\r\nX-Empty:\r\nContent-Length: 99\r\n";
       },
       "GET / HTTP/1.1", agent_line + "X-One: 1\r\nX-Two: 2\r\nX-Three: 3\r\nX-Empty:\r\n", "ok"},
      // Space, control bytes, bytes of 0x80 and above and '#' are escaped; '%' stays.
      {"target escaped", [](Call& c) { c.path = "/a b/\xE4\xB8\xAD?q=a b&r=%41\t#frag"; },
       "GET /a%20b/%E4%B8%AD?q=a%20b&r=%41%09%23frag HTTP/1.1", agent_line, "ok"},
      {"target given without its slash", [](Call& c) { c.path = "page"; }, "GET /page HTTP/1.1",
       agent_line, "ok"},
      {"dot segments kept", [](Call& c) { c.path = "/a/../b/./c"; }, "GET /a/../b/./c HTTP/1.1",
       agent_line, "ok"},
      {"referrer and accept types",
       [](Call& c) {
         c.referrer = "http://r.invalid/";
         c.accept_types = {"text/html", "*/*"};
       },
       "GET / HTTP/1.1", agent_line + "Referer: http://r.invalid/\r\nAccept: text/html, */*\r\n",
       "ok"},
      {"the block's Accept wins over the accept types",
       [](Call& c) {
         c.accept_types = {"text/html"};
         c.headers = "Accept: image/png";
       },
       "GET / HTTP/1.1", agent_line + "Accept: image/png\r\n", "ok"},
      {"HEAD reads no body", [](Call& c) { c.verb = "HEAD"; }, "HEAD / HTTP/1.1", agent_line, ""},
      {"HTTP/1.0", [](Call& c) { c.version = "HTTP/1.0"; }, "GET / HTTP/1.0", agent_line, "ok"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    LoopbackServer server(always(response(200, "", "ok")));
    Call call = call_to(server, "/");
    c.setup(call);
    const Outcome out = run(call);
    EXPECT_TRUE(out.sent);
    EXPECT_EQ(out.body, c.body);
    const std::vector<ReceivedRequest> seen = server.requests();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].raw, c.request_line + "\r\nHost: 127.0.0.1:" + std::to_string(server.port()) +
                               "\r\n" + c.lines + "\r\n");
  }
}

TEST(InetWire, BodyIsSentWithItsLengthAndNoExpect) {
  static const struct {
    const char* verb;
    std::string body;
  } cases[] = {
      {"POST", "a=1&b=%E4%B8%AD"},
      {"POST", ""},                         // a POST with an empty body still says so
      {"POST", std::string(300'000, 'p')},  // large enough for curl to want 100-continue
      {"GET", "q=1"},                       // the routine's method 2: a GET with a body
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.verb) + " of " + std::to_string(c.body.size()));
    LoopbackServer server(always(response(200, "", "done")));
    Call call = call_to(server, "/form");
    call.verb = c.verb;
    call.body = c.body;
    call.headers = "Content-Type: application/x-www-form-urlencoded";
    const Outcome out = run(call);
    EXPECT_TRUE(out.sent);
    EXPECT_EQ(out.body, "done");
    const std::vector<ReceivedRequest> seen = server.requests();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_TRUE(seen[0].complete);
    EXPECT_EQ(seen[0].head, std::string(c.verb) + " /form HTTP/1.1\r\nHost: 127.0.0.1:" +
                                std::to_string(server.port()) +
                                "\r\nUser-Agent: tessevin-test/1.0\r\n"
                                "Content-Type: application/x-www-form-urlencoded\r\n"
                                "Content-Length: " +
                                std::to_string(c.body.size()) + "\r\n\r\n");
    EXPECT_TRUE(seen[0].body == c.body);
  }
}

// ---- what comes back ----

TEST(InetResponse, RawHeadersAreTheFinalBlockInCrLfForm) {
  static const struct {
    const char* name;
    std::string reply;
    std::string headers;
  } cases[] = {
      {"plain", "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nX-A: 1\r\n\r\nhi",
       "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nX-A: 1\r\n\r\n"},
      {"LF line ends", "HTTP/1.1 200 OK\nContent-Length: 2\nX-A: 1\n\nhi",
       "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nX-A: 1\r\n\r\n"},
      {"interim 100 Continue first",
       "HTTP/1.1 100 Continue\r\nX-Early: 1\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nhi",
       "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\n"},
      {"body up to the close", "HTTP/1.0 404 Not Found\r\nX-B: 2\r\n\r\nhi",
       "HTTP/1.0 404 Not Found\r\nX-B: 2\r\n\r\n"},
      {"chunked, with a trailer that is no header",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1\r\nh\r\n1\r\ni\r\n0\r\nX-T: "
       "t\r\n\r\n",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    LoopbackServer server(always(Reply().send(c.reply)));
    const Outcome out = run(call_to(server, "/"));
    EXPECT_TRUE(out.sent);
    EXPECT_EQ(out.body, "hi");
    EXPECT_TRUE(out.last_read);
    EXPECT_TRUE(out.headers_read);
    EXPECT_EQ(out.headers, c.headers);
    EXPECT_EQ(out.failure, inet::Failure::none);
  }
}

TEST(InetResponse, LargeHeaderBlockIsMeasuredThenReadWhole) {
  std::string filler;
  for (int i = 0; i < 60; ++i)
    filler += "X-Filler-" + std::to_string(i) + ": " + std::string(100, 'f') + "\r\n";
  LoopbackServer server(always(response(200, filler, "body")));
  inet::Session* session = inet::open_session(agent, inet::access_direct, nullptr, nullptr, 0);
  inet::Connection* connection = inet::connect(session, "127.0.0.1", server.port(), nullptr,
                                               nullptr, inet::service_http, 0, 0);
  inet::Request* request =
      inet::open_request(connection, "GET", "/", "HTTP/1.1", nullptr, nullptr, plain_flags, 0);
  ASSERT_TRUE(inet::send_request(request, "", 0, nullptr, 0));
  const std::string expected = "HTTP/1.1 200 OK\r\n" + filler + "Content-Length: 4\r\n\r\n";
  ASSERT_GT(expected.size(), 5000u);

  std::string buffer(5000, ' ');
  std::uint32_t length = 5000;
  EXPECT_FALSE(inet::query_raw_headers(request, buffer.data(), &length));
  EXPECT_EQ(length, expected.size() + 1);                // room for the zero byte included
  length = static_cast<std::uint32_t>(expected.size());  // one short: no room for the zero byte
  buffer.assign(expected.size(), ' ');
  EXPECT_FALSE(inet::query_raw_headers(request, buffer.data(), &length));
  EXPECT_EQ(length, expected.size() + 1);
  buffer.assign(length, ' ');
  ASSERT_TRUE(inet::query_raw_headers(request, buffer.data(), &length));
  EXPECT_EQ(length, expected.size());
  EXPECT_EQ(buffer, expected + '\0');

  inet::close_handle(request);
  inet::close_handle(connection);
  inet::close_handle(session);
}

TEST(InetResponse, LargeBodyArrivesWholeInChunksOfTheReadSize) {
  std::string body(4 * 1024 * 1024, '\0');
  for (std::size_t i = 0; i < body.size(); ++i)
    body[i] = static_cast<char>((i * 7 + i / 4096) % 251);
  std::vector<std::string> chunks;
  for (std::size_t at = 0; at < body.size(); at += 100'003)
    chunks.push_back(body.substr(at, 100'003));
  const std::string framed_by_length =
      "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
  const std::string framed_in_chunks =
      "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + chunked(chunks);
  for (const std::string* reply : {&framed_by_length, &framed_in_chunks}) {
    LoopbackServer server(always(Reply().send(*reply)));
    const Outcome out = run(call_to(server, "/big"));
    EXPECT_TRUE(out.sent);
    EXPECT_TRUE(out.last_read);
    EXPECT_EQ(out.largest_read, 1024);
    EXPECT_EQ(out.body.size(), body.size());
    EXPECT_TRUE(out.body == body);
  }
}

// ---- redirects ----

// /a -> /b -> /c, /loop -> /loop, /form -> /done (303), /keep -> /done (307),
// /away -> a port where nothing listens.
Reply redirects(const ReceivedRequest& r, int dead_port) {
  if (r.target == "/a") return response(302, "Location: /b\r\nX-From: a\r\n", "to b");
  if (r.target == "/b") return response(301, "Location: c\r\n", "to c");  // relative to /b
  if (r.target == "/loop") return response(302, "Location: /loop\r\n", "again");
  if (r.target == "/form") return response(303, "Location: /done\r\n", "");
  if (r.target == "/keep") return response(307, "Location: /done\r\n", "");
  if (r.target == "/away") {
    return response(302, "Location: http://127.0.0.1:" + std::to_string(dead_port) + "/\r\n", "");
  }
  return response(200, "X-Final: " + r.method + "\r\n", "final " + r.body);
}

TEST(InetRedirect, FollowedToTheEndUnlessAskedNotTo) {
  const int dead_port = testing::unused_port();
  LoopbackServer server([dead_port](const ReceivedRequest& r) { return redirects(r, dead_port); });
  static const struct {
    const char* name;
    const char* path;
    const char* verb;
    const char* body;
    std::uint32_t extra_flags;
    bool sent;
    const char* response_body;
    const char* status_line;           // of the headers returned
    const char* header;                // a line they must hold
    std::vector<std::string> targets;  // requested, in order
  } cases[] = {
      {"chain",
       "/a",
       "GET",
       "",
       0,
       true,
       "final ",
       "HTTP/1.1 200 OK",
       "X-Final: GET",
       {"/a", "/b", "/c"}},
      {"not followed",
       "/a",
       "GET",
       "",
       inet::flag_no_auto_redirect,
       true,
       "to b",
       "HTTP/1.1 302 Found",
       "Location: /b",
       {"/a"}},
      // A loop ends with the response after the last redirect followed, body and all.
      {"loop", "/loop", "GET", "", 0, true, "again", "HTTP/1.1 302 Found", "Location: /loop",
       std::vector<std::string>(1 + inet::max_redirects, "/loop")},
      {"303 turns a POST into a GET",
       "/form",
       "POST",
       "x=1",
       0,
       true,
       "final ",
       "HTTP/1.1 200 OK",
       "X-Final: GET",
       {"/form", "/done"}},
      {"307 keeps the POST and its body",
       "/keep",
       "POST",
       "x=1",
       0,
       true,
       "final x=1",
       "HTTP/1.1 200 OK",
       "X-Final: POST",
       {"/keep", "/done"}},
      // The failure of the next hop is the request's; no redirect's headers remain.
      {"to nowhere", "/away", "GET", "", 0, false, "", nullptr, nullptr, {"/away"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::size_t before = server.requests().size();
    Call call = call_to(server, c.path);
    call.verb = c.verb;
    call.body = c.body;
    call.flags |= c.extra_flags;
    const Outcome out = run(call);
    EXPECT_EQ(out.sent, c.sent);
    EXPECT_EQ(out.body, c.response_body);
    EXPECT_EQ(out.last_read, c.sent);
    EXPECT_EQ(out.headers_read, c.status_line != nullptr);
    if (c.status_line != nullptr) {
      EXPECT_EQ(out.headers.rfind(std::string(c.status_line) + "\r\n", 0), 0u) << out.headers;
      EXPECT_NE(out.headers.find(std::string("\r\n") + c.header + "\r\n"), std::string::npos);
      EXPECT_EQ(out.headers.find("HTTP/", 1), std::string::npos) << "one response only";
    }
    const std::vector<ReceivedRequest> seen = server.requests();
    std::vector<std::string> targets;
    for (std::size_t i = before; i < seen.size(); ++i) targets.push_back(seen[i].target);
    EXPECT_EQ(targets, c.targets);
    if (std::string(c.path) == "/form") {
      ASSERT_EQ(seen.size(), before + 2);
      EXPECT_EQ(seen.back().header("Content-Length"), "");  // no body after the turn to GET
    }
  }
}

// ---- cookies ----

TEST(InetCookies, ProcessStoreKeepsAndSendsThemUnlessSwitchedOff) {
  LoopbackServer server([](const ReceivedRequest& r) {
    if (r.target == "/jar/set") return response(200, "Set-Cookie: jar_kept=1; Path=/jar\r\n", "");
    if (r.target == "/jar/set-private") {
      return response(200, "Set-Cookie: jar_private=2; Path=/jar\r\n", "");
    }
    if (r.target == "/jar/bounce") {
      return response(302, "Set-Cookie: jar_bounced=3; Path=/jar\r\nLocation: /jar/look\r\n", "");
    }
    return response(200, "", r.header("Cookie"));  // echoes what it was sent
  });
  auto fetch = [&](const char* path, bool no_cookies) {
    Call call = call_to(server, path);
    if (no_cookies) call.flags |= inet::flag_no_cookies;
    return run(call);
  };
  EXPECT_TRUE(fetch("/jar/set", false).sent);
  // Cookies from a request with the store switched off are the caller's alone...
  const Outcome private_one = fetch("/jar/set-private", true);
  EXPECT_NE(private_one.headers.find("\r\nSet-Cookie: jar_private=2; Path=/jar\r\n"),
            std::string::npos);
  // ...and such a request carries none from the store.
  EXPECT_EQ(fetch("/jar/look", true).body, "");
  EXPECT_EQ(fetch("/jar/look", false).body, "jar_kept=1");
  // A redirect's cookies are kept, and the next hop already carries them.
  const std::string both = fetch("/jar/bounce", false).body;
  EXPECT_NE(both.find("jar_kept=1"), std::string::npos) << both;
  EXPECT_NE(both.find("jar_bounced=3"), std::string::npos) << both;
  EXPECT_EQ(both.find("jar_private"), std::string::npos) << both;
}

// ---- proxies ----

TEST(InetProxy, PlainRequestsGoThroughTheHttpEntryOnly) {
  LoopbackServer proxy(always(response(200, "", "via proxy")));
  LoopbackServer origin(always(response(200, "", "direct")));
  const std::string through = "http=127.0.0.1:" + std::to_string(proxy.port());
  const struct {
    const char* name;
    std::string host;
    int port;
    std::string proxy_list;
    const char* bypass_list;
    const char* body;
    std::string target_at_proxy;  // empty: the origin is reached directly with "/p?q=1"
  } cases[] = {
      {"named origin through the proxy", "origin.invalid", 8080, through, "", "via proxy",
       "http://origin.invalid:8080/p?q=1"},
      {"default port", "origin.invalid", 80, through, nullptr, "via proxy",
       "http://origin.invalid/p?q=1"},
      {"an entry for every scheme", "origin.invalid", 8080,
       "127.0.0.1:" + std::to_string(proxy.port()), nullptr, "via proxy",
       "http://origin.invalid:8080/p?q=1"},
      {"'http=' and nothing after it", "127.0.0.1", origin.port(), "http=", "", "direct", ""},
      {"only an https entry", "127.0.0.1", origin.port(), "https=127.0.0.1:1", "", "direct", ""},
      {"bypassed host", "127.0.0.1", origin.port(), through, "example.org;127.0.0.*", "direct", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::size_t proxied_before = proxy.requests().size();
    const std::size_t direct_before = origin.requests().size();
    Call call;
    call.host = c.host;
    call.port = c.port;
    call.path = "/p?q=1";
    call.access = inet::access_proxy;
    call.proxy_list = c.proxy_list.c_str();
    call.bypass_list = c.bypass_list;
    const Outcome out = run(call);
    EXPECT_TRUE(out.sent);
    EXPECT_EQ(out.body, c.body);
    const std::vector<ReceivedRequest> proxied = proxy.requests();
    const std::vector<ReceivedRequest> direct = origin.requests();
    if (c.target_at_proxy.empty()) {
      EXPECT_EQ(proxied.size(), proxied_before);
      ASSERT_EQ(direct.size(), direct_before + 1);
      EXPECT_EQ(direct.back().target, "/p?q=1");
    } else {
      EXPECT_EQ(direct.size(), direct_before);
      ASSERT_EQ(proxied.size(), proxied_before + 1);
      EXPECT_EQ(proxied.back().target, c.target_at_proxy);
      EXPECT_EQ(proxied.back().header("Host"),
                c.port == 80 ? c.host : c.host + ":" + std::to_string(c.port));
    }
  }
}

TEST(InetProxy, SecureRequestSpeaksTlsDirectlyNotThroughAnHttpEntry) {
  LoopbackServer proxy(always(response(200, "", "via proxy")));
  // Not a TLS server: it hears the handshake's first bytes, then hangs up.
  LoopbackServer origin(always(Reply().close()), 200);
  Call call = call_to(origin, "/");
  call.flags = inet::flag_reload | inet::flag_need_file | inet::flag_secure;
  call.access = inet::access_proxy;
  const std::string list = "http=127.0.0.1:" + std::to_string(proxy.port());
  call.proxy_list = list.c_str();
  const Outcome out = run(call);
  EXPECT_FALSE(out.sent);
  EXPECT_EQ(out.failure, inet::Failure::tls);
  EXPECT_EQ(proxy.connections(), 0);
  const std::vector<ReceivedRequest> seen = origin.requests();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].raw.substr(0, 2), "\x16\x03");  // a TLS handshake record
}

// ---- failures ----

TEST(InetFailure, EveryFailureEndsTheReadsWithWhatArrived) {
  const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n";
  const std::string part(5000, 'r');
  const struct {
    const char* name;
    Reply reply;  // no server at all when it has no steps
    std::string host;
    bool sent;
    std::string body;
    inet::Failure failure;
  } cases[] = {
      {"refused", Reply(), "127.0.0.1", false, "", inet::Failure::cannot_connect},
      {"host that is no host", Reply(), "bad host", false, "", inet::Failure::bad_address},
      {"closed before the status line", Reply().close(), "127.0.0.1", false, "",
       inet::Failure::connection_lost},
      {"not HTTP", Reply().send("SSH-2.0-nope\r\n\r\n").close(), "127.0.0.1", false, "",
       inet::Failure::bad_response},
      {"never answers", Reply().hang(), "127.0.0.1", false, "", inet::Failure::timed_out},
      {"closed mid-body", Reply().send(head + part).pause(100ms).close(), "127.0.0.1", true, part,
       inet::Failure::connection_lost},
      {"reset mid-body", Reply().send(head + part).pause(100ms).reset(), "127.0.0.1", true, part,
       inet::Failure::connection_lost},
      {"stalls mid-body", Reply().send(head + part).hang(), "127.0.0.1", true, part,
       inet::Failure::timed_out},
      {"bad chunk size",
       Reply()
           .send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\nzz\r\nmore")
           .pause(100ms)
           .close(),
       "127.0.0.1", true, "hello", inet::Failure::connection_lost},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<LoopbackServer> server;
    Call call;
    call.host = c.host;
    // Short only where the time-out is the point, so a slow machine cannot fake one.
    if (c.failure == inet::Failure::timed_out) call.receive_ms = 300;
    if (c.reply.steps().empty()) {
      call.port = testing::unused_port();
    } else {
      server = std::make_unique<LoopbackServer>(always(c.reply));
      call.port = server->port();
    }
    const Outcome out = run(call);
    EXPECT_EQ(out.sent, c.sent);
    EXPECT_EQ(out.body, c.body);
    EXPECT_FALSE(out.last_read);
    EXPECT_EQ(out.headers_read, c.sent);
    EXPECT_EQ(out.failure, c.failure);
  }
}

TEST(InetHandles, ParentsMayBeClosedFirstAndNullIsNoHandle) {
  LoopbackServer server(always(response(200, "", "still here")));
  inet::Session* session = inet::open_session(agent, inet::access_direct, nullptr, nullptr, 0);
  inet::Connection* connection = inet::connect(session, "127.0.0.1", server.port(), nullptr,
                                               nullptr, inet::service_http, 0, 0);
  inet::Request* request =
      inet::open_request(connection, "GET", "/", "HTTP/1.1", nullptr, nullptr, plain_flags, 0);
  ASSERT_NE(request, nullptr);
  inet::close_handle(session);
  inet::close_handle(connection);
  ASSERT_TRUE(inet::send_request(request, "", 0, nullptr, 0));
  char buffer[64];
  int count = 0;
  ASSERT_TRUE(inet::read_file(request, buffer, sizeof buffer, &count));
  EXPECT_EQ(std::string(buffer, static_cast<std::size_t>(count)), "still here");
  inet::close_handle(request);
  inet::close_handle(nullptr);

  // Null in, null or false out; unsupported arguments are refused, not guessed at.
  EXPECT_EQ(inet::open_session(agent, 0, nullptr, nullptr, 0), nullptr);
  EXPECT_EQ(inet::open_session(agent, inet::access_direct, nullptr, nullptr, 1), nullptr);
  EXPECT_EQ(inet::connect(nullptr, "h", 80, nullptr, nullptr, inet::service_http, 0, 0), nullptr);
  inet::Session* live = inet::open_session(agent, inet::access_direct, nullptr, nullptr, 0);
  EXPECT_EQ(inet::connect(live, "", 80, nullptr, nullptr, inet::service_http, 0, 0), nullptr);
  EXPECT_EQ(inet::connect(live, nullptr, 80, nullptr, nullptr, inet::service_http, 0, 0), nullptr);
  EXPECT_EQ(inet::connect(live, "h", 80, "user", "secret", inet::service_http, 0, 0), nullptr);
  EXPECT_EQ(inet::connect(live, "h", 21, nullptr, nullptr, 1, 0, 0), nullptr);  // no FTP
  inet::close_handle(live);
  EXPECT_EQ(inet::open_request(nullptr, "GET", "/", nullptr, nullptr, nullptr, 0, 0), nullptr);
  EXPECT_FALSE(inet::send_request(nullptr, "", 0, nullptr, 0));
  count = 7;
  EXPECT_FALSE(inet::read_file(nullptr, buffer, sizeof buffer, &count));
  EXPECT_EQ(count, 0);
  std::uint32_t length = 5000;
  EXPECT_FALSE(inet::query_raw_headers(nullptr, buffer, &length));
}

}  // namespace
}  // namespace tessevin
