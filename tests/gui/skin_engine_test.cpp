// Our skin engine, loaded the way the program loads it and called through the same
// function types, inside the test program's QApplication. Each test starts from an
// unstyled application and a freshly loaded engine.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFont>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "platform/library.h"

namespace tessevin {
namespace {

namespace fs = std::filesystem;
namespace library = platform::library;

using AttachEx = int (*)(const char*, const char*);
using AdjustAero = int (*)(int, int, int, int, int, int, int, int, int);

// White windows and a black tint, so a tint strength reads straight off the colour.
const std::string test_skin =
    ".SHE 1\n"
    "window = #FFFFFF\n"
    "text = #101010\n"
    "base = #FFFFFF\n"
    "button = #20A040\n"
    "button_hover = #30B050\n"
    "button_pressed = #108030\n"
    "highlight = #0000FF\n"
    "highlight_text = #FFFFFF\n"
    "border = #FF0000\n"
    "tint = #000000\n"
    "radius = 5\n"
    "font_size = 11\n";

// The application's look before any skin, taken before the first test styles it.
const QString& plain_style_name() {
  static const QString name = QApplication::style()->name();
  return name;
}
const QFont& plain_font() {
  static const QFont font = QApplication::font();
  return font;
}

class SkinEngineTest : public ::testing::Test {
 protected:
  SkinEngineTest() {
    // Unstyled again, for a run of all tests in one process; the engine's own state
    // goes with its unloading at the end of each test.
    qApp->setStyleSheet(QString());
    QApplication::setStyle(plain_style_name());
    QApplication::setPalette(QApplication::style()->standardPalette());
    QApplication::setFont(plain_font());
    std::string pattern = (fs::temp_directory_path() / "tessevin-skin-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    folder_ = pattern;
    engine_ = library::load_library(TESSEVIN_SKIN_ENGINE);
    if (engine_ == nullptr) throw std::runtime_error("the skin engine does not load");
    attach_ = reinterpret_cast<AttachEx>(library::find_function(engine_, "SkinH_AttachEx"));
    adjust_ = reinterpret_cast<AdjustAero>(library::find_function(engine_, "SkinH_AdjustAero"));
  }
  ~SkinEngineTest() override {
    if (engine_ != nullptr) library::free_library(engine_);
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  std::string skin_file(const std::string& content, const char* name = "test.she") {
    const fs::path path = folder_ / name;
    std::ofstream(path, std::ios::binary) << content;
    return path.string();
  }

  int attach(const std::string& path) { return attach_(path.c_str(), ""); }
  int adjust(int tint, int radius) { return adjust_(tint, 0, 0, radius, 0, 0, 0, 0, 0); }

  void unload() {
    library::free_library(engine_);
    engine_ = nullptr;
  }

  [[nodiscard]] const fs::path& folder() const { return folder_; }
  AttachEx attach_ = nullptr;
  AdjustAero adjust_ = nullptr;

 private:
  fs::path folder_;
  library::Module* engine_ = nullptr;
};

// A small window with a button and an edit field, drawn offscreen.
QImage picture_of_controls() {
  QWidget window;
  window.setFixedSize(160, 60);
  auto* button = new QPushButton(QString::fromLatin1("Query"), &window);
  button->setGeometry(10, 10, 73, 23);
  auto* edit = new QLineEdit(&window);
  edit->setGeometry(90, 10, 60, 20);
  return window.grab().toImage();
}

QColor window_colour() { return QApplication::palette().color(QPalette::Window); }

TEST_F(SkinEngineTest, BothFunctionsAreExported) {
  EXPECT_NE(attach_, nullptr);
  EXPECT_NE(adjust_, nullptr);
}

TEST_F(SkinEngineTest, AttachedSkinRestylesTheWholeApplication) {
  const QImage plain = picture_of_controls();
  ASSERT_EQ(attach(skin_file(test_skin)), 0);

  EXPECT_EQ(window_colour(), QColor(0xFF, 0xFF, 0xFF));
  EXPECT_EQ(QApplication::palette().color(QPalette::WindowText), QColor(0x10, 0x10, 0x10));
  EXPECT_EQ(QApplication::font().pointSize(), 11);
  const QString sheet = qApp->styleSheet();
  EXPECT_TRUE(sheet.contains(QString::fromLatin1("#20a040"))) << sheet.toStdString();
  EXPECT_TRUE(sheet.contains(QString::fromLatin1("border-radius: 5px"))) << sheet.toStdString();

  const QImage skinned = picture_of_controls();
  EXPECT_NE(skinned, plain);
  // The button's face, inside its border, has the skin's button colour.
  EXPECT_EQ(skinned.pixelColor(16, 21), QColor(0x20, 0xA0, 0x40));
}

TEST_F(SkinEngineTest, RefusedFilesChangeNothing) {
  const QImage plain = picture_of_controls();
  const QColor plain_window = window_colour();
  const std::string missing = (folder() / "missing.she").string();
  static const struct {
    const char* what;
    std::string content;  // written as the file, unless the path is given
    int expected;
  } cases[] = {
      {"not beginning with .SHE", "SHE 1\nwindow = #000000\n", 3},
      {"a skin with a broken line", test_skin + "radius 3\n", 3},
      {"an empty file", "", 3},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(attach(skin_file(c.content)), c.expected) << c.what;
  }
  EXPECT_EQ(attach(missing), 2);
  EXPECT_EQ(attach(folder().string()), 2) << "a folder";
  EXPECT_EQ(attach(""), 2);
  EXPECT_EQ(attach_(nullptr, nullptr), 2);

  EXPECT_EQ(window_colour(), plain_window);
  EXPECT_TRUE(qApp->styleSheet().isEmpty());
  EXPECT_EQ(picture_of_controls(), plain);
}

TEST_F(SkinEngineTest, AdjustWithoutASkinChangesNothing) {
  const QColor plain_window = window_colour();
  EXPECT_EQ(adjust(210, 3), 1);
  EXPECT_EQ(window_colour(), plain_window);
  EXPECT_TRUE(qApp->styleSheet().isEmpty());
}

TEST_F(SkinEngineTest, AdjustTintsTheWindowAndRoundsCornersWithClampedValues) {
  ASSERT_EQ(attach(skin_file(test_skin)), 0);
  static const struct {
    int tint;
    int radius;
    int grey;  // the window colour: white with `tint` of 255 parts black
    const char* radius_rule;
  } cases[] = {
      {210, 3, 45, "border-radius: 3px"},  // what the program asks for
      {0, 0, 255, "border-radius: 0px"},
      {255, 12, 0, "border-radius: 12px"},
      {-1, 13, 255, "border-radius: 12px"},
      {256, -1, 0, "border-radius: 0px"},
      {INT_MIN, INT_MIN, 255, "border-radius: 0px"},
      {INT_MAX, INT_MAX, 0, "border-radius: 12px"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.tint << ", " << c.radius);
    ASSERT_EQ(adjust_(c.tint, INT_MIN, INT_MAX, c.radius, INT_MIN, INT_MAX, -1, 0, 1), 0);
    const QColor expected(c.grey, c.grey, c.grey);
    EXPECT_EQ(window_colour(), expected);
    EXPECT_TRUE(qApp->styleSheet().contains(QString::fromLatin1(c.radius_rule)));
    // Visible: the window's background is drawn in the tinted colour.
    EXPECT_EQ(picture_of_controls().pixelColor(155, 55), expected);
  }
}

TEST_F(SkinEngineTest, AttachingAgainDropsTheAdjustments) {
  ASSERT_EQ(attach(skin_file(test_skin)), 0);
  ASSERT_EQ(adjust(255, 12), 0);
  ASSERT_EQ(attach(skin_file(test_skin)), 0);
  EXPECT_EQ(window_colour(), QColor(0xFF, 0xFF, 0xFF));
  EXPECT_TRUE(qApp->styleSheet().contains(QString::fromLatin1("border-radius: 5px")));
}

TEST_F(SkinEngineTest, TheApplicationOutlivesTheUnloadedEngine) {
  // The program releases the engine at shutdown while its application still exists.
  ASSERT_EQ(attach(skin_file(test_skin)), 0);
  ASSERT_EQ(adjust(210, 3), 0);
  const QImage before = picture_of_controls();
  unload();
  EXPECT_EQ(picture_of_controls(), before);
  qApp->setStyleSheet(qApp->styleSheet() + QString::fromLatin1("\nQLineEdit { color: red; }"));
  EXPECT_FALSE(picture_of_controls().isNull());
}

}  // namespace
}  // namespace tessevin
