#include "web/cookies.h"

#include <gtest/gtest.h>

namespace tessevin {
namespace {

TEST(MergeCookies, ReceivedFirstThenOldByName) {
  static const struct {
    const char* what;
    const char* cookies;
    const char* received;
    const char* merged;
  } cases[] = {
      {"both empty", "", "", ""},
      {"received replaces the old value", "a=1; b=2", "b=3", "b=3; a=1"},
      {"deleted drops both the old and the marker", "a=1; c=3", "a=deleted", "c=3"},
      {"of two old entries with one name the first stays", "a=1; a=2", "", "a=1"},
      {"a received entry given twice is kept once", "", "x=1; x=1", "x=1"},
      {"received entries differing in value both stay", "", "x=1; x=2", "x=1; x=2"},
      {"names differ by case", "A=1", "a=2", "a=2; A=1"},
      {"spaces inside values go", "a=x y", "", "a=xy"},
      {"an entry without = is named by itself", "flag", "flag", "flag"},
      {"an empty entry has the empty name", ";a=1", "", "; a=1"},
      {"a trailing separator adds nothing", "a=1;", "b=2;", "b=2; a=1"},
      {"only the last eight characters mark a deletion", "", "a=undeleted; b=deleted",
       "a=undeleted"},
      {"any name ending in =deleted goes", "k=v", "x=deleted; y==deleted", "k=v"},
      {"ideographic spaces go too",
       "a=\xA1\xA1"
       "1",
       "", "a=1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Text cookies(c.cookies);
    Text received(c.received);
    const Text copy = merge_cookies(cookies, received);
    EXPECT_EQ(cookies.str(), c.merged);
    EXPECT_EQ(copy.str(), c.merged);
    EXPECT_EQ(received.str(), remove_all_spaces(Text(c.received)).str());
  }
}

TEST(MergeCookies, ReceivedComesBackWithoutSpaces) {
  Text cookies("a=1");
  Text received("b=2; c = 3");
  merge_cookies(cookies, received);
  EXPECT_EQ(received.str(), "b=2;c=3");
  EXPECT_EQ(cookies.str(), "b=2; c=3; a=1");
}

TEST(CookieHelpers, NamesAndEntries) {
  EXPECT_EQ(cookie_name(" sid = 42").str(), "sid");
  EXPECT_EQ(cookie_name("a=b=c").str(), "a");
  EXPECT_EQ(cookie_name(" flag ").str(), "flag");
  EXPECT_EQ(cookie_name("").str(), "");

  const TextList list = split_text("a=1;B=2;a=1", ";");
  EXPECT_TRUE(has_cookie_name(list, "B"));
  EXPECT_FALSE(has_cookie_name(list, "b"));
  EXPECT_FALSE(has_cookie_name(TextList(), ""));
  EXPECT_EQ(entry_index(list, "a=1"), 1);
  EXPECT_EQ(entry_index(list, "B=2"), 2);
  EXPECT_EQ(entry_index(list, "b=2"), -1);
  EXPECT_EQ(entry_index(TextList(), ""), -1);

  EXPECT_EQ(drop_duplicate_entries("a; b; a; c; b", "; ").str(), "a; b; c");
  EXPECT_EQ(drop_duplicate_entries("", "; ").str(), "");
  EXPECT_EQ(drop_duplicate_entries("x|x|y", "|").str(), "x|y");
}

}  // namespace
}  // namespace tessevin
