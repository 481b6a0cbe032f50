#include "text/url_encode.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <string_view>

#include "support/gbk.h"

namespace tessevin {
namespace {

using testing::gbk;

TEST(UrlEncode, EncodesQueryValues) {
  static const struct {
    const char* what;
    std::string text;
    bool keep_safe;
    bool to_utf8;
    std::string encoded;
  } cases[] = {
      {"kept set only", "a-b.c_d~e f/1", true, false, "a-b.c%5Fd%7Ee%20f%2F1"},
      {"kept set only, UTF-8", "a-b.c_d~e f/1", true, true, "a-b.c%5Fd%7Ee%20f%2F1"},
      {"nothing kept", "Ab1", false, false, "%41%62%31"},
      {"nothing kept, UTF-8", "Ab1", false, true, "%41%62%31"},
      {"中 as UTF-8", "\xD6\xD0", true, true, "%E4%B8%AD"},
      {"中 as GBK", "\xD6\xD0", true, false, "%D6%D0"},
      {"电信一 as UTF-8", "\xB5\xE7\xD0\xC5\xD2\xBB", true, true, "%E7%94%B5%E4%BF%A1%E4%B8%80"},
      {"电信一 as GBK", "\xB5\xE7\xD0\xC5\xD2\xBB", true, false, "%B5%E7%D0%C5%D2%BB"},
      {"a summoner name with letters", gbk("小明Abc"), true, true, "%E5%B0%8F%E6%98%8EAbc"},
      {"tab", "\t", true, true, "%09"},
      {"tab, nothing kept", "\t", false, false, "%09"},
      {"line feed gets a leading zero", "\n", false, false, "%0A"},
      {"space is never a plus sign", " ", true, false, "%20"},
      {"upper-case digits", "\xE4", false, false, "%E4"},
      {"euro sign as UTF-8", "\x80", true, true, "%E2%82%AC"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(url_encode(Text(c.text), c.keep_safe, c.to_utf8).str(), c.encoded);
  }
  EXPECT_EQ(url_encode(Text("a b")).str(), "%61%20%62") << "flags left out are false";
}

TEST(UrlEncode, EmptyTextForEveryFlag) {
  for (const bool keep_safe : {false, true}) {
    for (const bool to_utf8 : {false, true}) {
      SCOPED_TRACE(::testing::Message() << "keep_safe " << keep_safe << " to_utf8 " << to_utf8);
      EXPECT_TRUE(url_encode(Text(), keep_safe, to_utf8).empty()) << "absent text";
      EXPECT_TRUE(url_encode(Text(""), keep_safe, to_utf8).empty()) << "stored empty text";
    }
  }
}

TEST(UrlEncode, EveryByteValue) {
  const std::string_view kept = "-.0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  for (int b = 1; b < 256; ++b) {
    const char byte = static_cast<char>(b);
    char escaped[4];
    std::snprintf(escaped, sizeof escaped, "%%%02X", b);
    SCOPED_TRACE(escaped);
    const Text text(std::string_view(&byte, 1));
    EXPECT_EQ(url_encode(text, false, false).str(), escaped);
    const bool keeps = kept.find(byte) != std::string_view::npos;
    EXPECT_EQ(url_encode(text, true, false).str(), keeps ? std::string(1, byte) : escaped);
  }
  // A Text holds no zero byte: it ends the text, so a zero encodes to nothing and
  // stops the encoding of what follows.
  EXPECT_TRUE(url_encode(Text(std::string_view("\0", 1)), false, false).empty());
  EXPECT_EQ(url_encode(Text(std::string_view("a\0b", 3)), false, false).str(), "%61");
  EXPECT_TRUE(url_encode(char_of(0), true, true).empty());
}

TEST(UrlEncode, ChineseCharacterGivesNineCharactersAsUtf8AndSixAsGbk) {
  const Text zhong(gbk("中"));
  EXPECT_EQ(url_encode(zhong, true, true).size(), 9u);
  EXPECT_EQ(url_encode(zhong, true, false).size(), 6u);
}

}  // namespace
}  // namespace tessevin
