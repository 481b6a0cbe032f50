#include "web/url.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace tessevin {
namespace {

TEST(UrlParts, HostPortAndObject) {
  static const struct {
    const char* address;
    const char* host;
    const char* host_with_port;
    int port;
    const char* object;
  } cases[] = {
      {"HTTP://Srv:8080/A/b?c=1", "srv", "srv:8080", 8080, "/A/b?c=1"},  // letters of the path kept
      {"srv/a", "srv", "srv", 80, "/a"},                                 // no scheme: read as http
      {"https://srv/x", "srv", "srv", 443, "/x"},
      {"HTTPS://Srv/x", "srv", "srv", 443, "/x"},
      {"httpsrv/x", "httpsrv", "httpsrv", 443, "/x"},  // only the first five letters decide
      {"http://srv", "srv", "srv", 80, "/"},
      {"http://srv/", "srv", "srv", 80, "/"},
      {"", "", "", 80, "/"},
      {"http://srv:/", "srv", "srv:", 0, "/"},             // a colon with nothing after it
      {"http://srv:80x8/p", "srv", "srv:80x8", 80, "/p"},  // to_int stops at the x
      {"http://127.0.0.1:31337/playerDetail.php?serverName=%E7&playerName=a", "127.0.0.1",
       "127.0.0.1:31337", 31337, "/playerDetail.php?serverName=%E7&playerName=a"},
      // A host never swallows the query or fragment that follows it directly.
      {"http://srv?x=1", "srv", "srv", 80, "/?x=1"},
      {"http://srv:81?x=1/y", "srv", "srv:81", 81, "/?x=1/y"},
      {"http://srv#top", "srv", "srv", 80, "/#top"},
      // The host is looked for after the scheme, not inside it.
      {"http://t/x", "t", "t", 80, "/x"},
      {"http://h/x", "h", "h", 80, "/x"},
      {"https://s/x", "s", "s", 443, "/x"},
      // Without a scheme of its own, the host follows an "http://" further on.
      {"go/to?u=http://Other:9/p", "other", "other:9", 9, "/p"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.address);
    EXPECT_EQ(url_host(c.address).str(), c.host);
    EXPECT_EQ(url_host(c.address, false, true).str(), c.host_with_port);
    EXPECT_EQ(url_port(c.address), c.port);
    EXPECT_EQ(url_object(c.address).str(), c.object);
  }
}

TEST(UrlParts, RegisteredDomain) {
  static const struct {
    const char* address;
    bool keep_port;
    const char* host;
  } cases[] = {
      {"http://www.a.b.c/x", false, "b.c"},
      {"http://b.c:81/x", false, "b.c"},
      {"http://www.b.c:81/x", true, "b.c:81"},  // the port stays on the last label
      {"http://localhost/x", false, "localhost"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.address);
    EXPECT_EQ(url_host(c.address, true, c.keep_port).str(), c.host);
  }
}

TEST(UrlParts, LabelCounting) {
  static const struct {
    const char* address;
    int label_count;
    bool registered_domain;
    const char* host;
  } cases[] = {
      {"a.b.c.d", 0, false, "c.d"},           {"a.b.c.d", 0, true, "d"},
      {"a.b.c.d", 1, false, "b.c.d"},         {"a.b.c.d", 1, true, "c.d"},
      {"a.b.c.d", 2, false, "a.b.c.d"},       {"a.b.c.d", 2, true, "b.c.d"},
      {"a.b.c.d", 3, false, "a.b.c.d"},       {"a.b.c.d", 3, true, "a.b.c.d"},
      {"a.b.c.d", 9, true, "a.b.c.d"},        {"a.b.c.d", -1, false, "c.d"},  // n <= 0: no steps
      {"HTTP://A.B.C.D/x", 0, false, "c.d"},  // scheme dropped, path cut, lower-cased
      {"https://x.y.z:8/p", 0, false, "y.z"}, {"nodots", 0, false, "nodots"},
      {"nodots", 0, true, "nodots"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.address) + " n=" + std::to_string(c.label_count));
    EXPECT_EQ(url_host(c.address, c.registered_domain, false, c.label_count).str(), c.host);
  }
  // Given, even as 0, the count chooses the label path; left out, the standard one.
  EXPECT_EQ(url_host("http://www.a.b.c/x", false, false, 0).str(), "b.c");
  EXPECT_EQ(url_host("http://www.a.b.c/x").str(), "www.a.b.c");
}

TEST(HeaderValue, AfterTheFirstColonTrimmed) {
  static const struct {
    const char* line;
    const char* value;
  } cases[] = {
      {"Location: http://a/b ", "http://a/b"},  // the value keeps its own colon
      {"no colon here", ""},
      {"X:", ""},
      {"X:\t v \r", "\t v \r"},       // only spaces are trimmed, tabs and line breaks stay
      {"X: \xA1\xA1v\xA1\xA1", "v"},  // the ideographic space counts as a space
      {"", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(header_value(c.line).str(), c.value);
  }
}

}  // namespace
}  // namespace tessevin
