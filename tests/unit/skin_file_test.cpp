// The skin file reader: the carried skin, and one broken rule per row.
#include "skin/skin_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

namespace tessevin::skin {
namespace {

// A valid skin; each row below changes one thing about it.
const std::string valid =
    ".SHE 1\n"
    "# comment\n"
    "window = #F7F9FC\n"
    "text = #000000\n"
    "base = #FFFFFF\n"
    "button = #E1E1E1\n"
    "button_hover = #E5F1FB\n"
    "button_pressed = #CCE4F7\n"
    "highlight = #0078D7\n"
    "highlight_text = #ffffff\n"
    "border = #ADADAD\n"
    "tint = #CFE3F7\n"
    "radius = 0\n"
    "font_size = 9\n";

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  if (at == std::string::npos) throw std::logic_error("no " + from);
  return text.replace(at, from.size(), to);
}

std::string crlf(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return out;
}

TEST(SkinFile, ReadsEveryKey) {
  const auto skin = parse_skin(valid);
  ASSERT_TRUE(skin);
  EXPECT_EQ(skin->window, 0xF7F9FCu);
  EXPECT_EQ(skin->text, 0x000000u);
  EXPECT_EQ(skin->base, 0xFFFFFFu);
  EXPECT_EQ(skin->button, 0xE1E1E1u);
  EXPECT_EQ(skin->button_hover, 0xE5F1FBu);
  EXPECT_EQ(skin->button_pressed, 0xCCE4F7u);
  EXPECT_EQ(skin->highlight, 0x0078D7u);
  EXPECT_EQ(skin->highlight_text, 0xFFFFFFu);  // lower-case digits
  EXPECT_EQ(skin->border, 0xADADADu);
  EXPECT_EQ(skin->tint, 0xCFE3F7u);
  EXPECT_EQ(skin->radius, 0);
  EXPECT_EQ(skin->font_size, 9);
}

TEST(SkinFile, TheCarriedSkinIsASkin) {
  std::ifstream in(TESSEVIN_SKIN_FILE, std::ios::binary);
  const std::string file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  EXPECT_TRUE(parse_skin(file));
}

TEST(SkinFile, LayoutVariantsReadTheSame) {
  static const struct {
    const char* what;
    std::string file;
  } cases[] = {
      {"CR LF line ends", crlf(valid)},
      {"no final line end", valid.substr(0, valid.size() - 1)},
      {"no blanks around =", replaced(valid, "radius = 0", "radius=0")},
      {"tabs and indenting", replaced(valid, "radius = 0", "\t radius\t=\t0 ")},
      {"blank and comment lines", replaced(valid, "# comment\n", "\n   \n\t# x = y\n#\n")},
      {"limits of the ranges",
       replaced(replaced(valid, "radius = 0", "radius = 12"), "font_size = 9", "font_size = 6")},
  };
  for (const auto& c : cases) EXPECT_TRUE(parse_skin(c.file)) << c.what;
}

TEST(SkinFile, RefusesWhatIsNotASkin) {
  static const struct {
    const char* what;
    std::string file;
  } cases[] = {
      {"empty file", ""},
      {"no magic", valid.substr(7)},
      {"magic in lower case", replaced(valid, ".SHE 1", ".she 1")},
      {"another version", replaced(valid, ".SHE 1", ".SHE 2")},
      {"magic not at the very start", " " + valid},
      {"magic only", ".SHE 1\n"},
      {"a key missing", replaced(valid, "tint = #CFE3F7\n", "")},
      {"a key twice", valid + "radius = 1\n"},
      {"an unknown key", valid + "windows = #000000\n"},
      {"a line without =", replaced(valid, "radius = 0", "radius 0")},
      {"an empty key", valid + "= #000000\n"},
      {"an empty value", replaced(valid, "radius = 0", "radius =")},
      {"colour without #", replaced(valid, "#F7F9FC", "F7F9FC")},
      {"colour too short", replaced(valid, "#F7F9FC", "#FFF")},
      {"colour too long", replaced(valid, "#F7F9FC", "#F7F9FC0")},
      {"colour not hexadecimal", replaced(valid, "#F7F9FC", "#F7F9FG")},
      {"radius over 12", replaced(valid, "radius = 0", "radius = 13")},
      {"negative radius", replaced(valid, "radius = 0", "radius = -1")},
      {"radius with a sign", replaced(valid, "radius = 0", "radius = +1")},
      {"huge radius", replaced(valid, "radius = 0", "radius = 99999999999999999999")},
      {"font size under 6", replaced(valid, "font_size = 9", "font_size = 5")},
      {"font size over 24", replaced(valid, "font_size = 9", "font_size = 25")},
      {"font size not a number", replaced(valid, "font_size = 9", "font_size = 9pt")},
      {"larger than any skin", valid + "#" + std::string(max_skin_file_size, 'x') + "\n"},
  };
  for (const auto& c : cases) EXPECT_FALSE(parse_skin(c.file)) << c.what;
}

}  // namespace
}  // namespace tessevin::skin
