// The main window as a person meets it, on the offscreen platform: its controls and
// their places, fonts and colours, the keys, the banner, the region list, the message
// boxes, and whole lookups against real servers on 127.0.0.1 (a scripted loopback
// server, and the built demo service).
#include "app/main_window.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QIcon>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/message_box.h"
#include "app/qt_text.h"
#include "query/region_table.h"
#include "stats-demo/roster.h"
#include "support/demo_service.h"
#include "support/gbk.h"
#include "support/loopback_server.h"
#include "support/player_pages.h"
#include "support/region_items.h"

namespace tessevin {
namespace {

using app::BoxIcon;
using app::MainWindow;
using app::PlainLabel;
using testing::gbk;
using testing::LoopbackServer;
using testing::ReceivedRequest;
using testing::Reply;
using testing::response;

QString q(const char* utf8) { return QString::fromUtf8(utf8); }

// Long enough for a child process to start on a busy machine; a wait that succeeds
// ends at once.
constexpr int patience_ms = 5000;

// One character at a time, each as a key event carrying its text, the way an input
// method hands over Chinese characters (QTest::keyClicks sends Latin-1 only).
void type_text(QWidget* widget, const QString& text) {
  for (const QChar c : text) {
    QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
  }
}

struct Box {
  std::string caption;  // code page 936, as the window hands them over
  std::string text;
  BoxIcon icon;
};

// --- Pages the scripted server answers with (UTF-8, as the service sends them) -----

using testing::no_data_page;
using testing::player_page;

// The scripted service: the player name picks the page.
Reply scripted_answer(const ReceivedRequest& request) {
  const std::string html = "Content-Type: text/html; charset=utf-8\r\n";
  const auto asks_for = [&](const char* name) {
    return request.target.find(std::string("playerName=") + name) != std::string::npos;
  };
  if (asks_for("nobody")) return response(200, html, no_data_page);
  if (asks_for("partial")) return response(200, html, player_page("12", "", "999"));
  if (asks_for("markup")) return response(200, html, player_page("<b>7</b>", "1&amp;2", "3"));
  if (asks_for("error")) return response(500, html, player_page("8", "800", "1800"));
  return response(200, html, player_page("30", "5821", "1521"));
}

class MainWindowTest : public ::testing::Test {
 protected:
  MainWindowTest() : server_(scripted_answer) {}

  void SetUp() override {
    app::set_box_hook([this](const Text& caption, const Text& text, BoxIcon icon) {
      boxes_.push_back({caption.str(), text.str(), icon});
    });
    window_.set_stats_host(Text(std::string("127.0.0.1:") + std::to_string(server_.port())));
    show();
  }
  void TearDown() override { app::set_box_hook({}); }

  void show() {
    window_.show_centred();
    window_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window_));
  }

  [[nodiscard]] QWidget* widget(const char* name) {
    QWidget* found = window_.findChild<QWidget*>(QLatin1String(name));
    if (found == nullptr) ADD_FAILURE() << "no control named " << name;
    return found;
  }
  [[nodiscard]] PlainLabel* label(const char* name) {
    return dynamic_cast<PlainLabel*>(widget(name));
  }
  [[nodiscard]] QComboBox* region_list() { return window_.findChild<QComboBox*>("region_list"); }
  [[nodiscard]] QLineEdit* name_box() { return window_.findChild<QLineEdit*>("name_box"); }
  [[nodiscard]] QPushButton* query_button() {
    return window_.findChild<QPushButton*>("query_button");
  }

  // The three figures as the labels hold them, code page 936.
  [[nodiscard]] std::vector<std::string> figures() {
    return {label("level_label")->caption().str(), label("combat_power_label")->caption().str(),
            label("hidden_score_label")->caption().str()};
  }

  // Chooses the region (-1: none), types the name and clicks Query.
  void look_up(int position, const QString& name) {
    region_list()->setCurrentIndex(position);
    if (position < 0) region_list()->clearEditText();
    name_box()->clear();
    type_text(name_box(), name);
    QTest::mouseClick(query_button(), Qt::LeftButton);
  }

  // Gives the focus to a control and waits until it has it.
  void focus(QWidget* control) {
    control->setFocus(Qt::OtherFocusReason);
    ASSERT_TRUE(QTest::qWaitFor([&] { return focused_control() == control; }, patience_ms));
  }

  // The one of the three focusable controls that holds the focus (the region list's
  // edit field counts as the region list).
  [[nodiscard]] QWidget* focused_control() {
    for (QWidget* at = QApplication::focusWidget(); at != nullptr; at = at->parentWidget()) {
      if (at == name_box() || at == region_list() || at == query_button()) return at;
    }
    return nullptr;
  }

  LoopbackServer server_;
  MainWindow window_;
  std::vector<Box> boxes_;
};

// --- The window and its controls ----------------------------------------------------

TEST_F(MainWindowTest, WindowIsAFixedDialogCentredOnTheScreen) {
  EXPECT_EQ(window_.size(), QSize(469, 264));
  EXPECT_EQ(window_.minimumSize(), window_.maximumSize()) << "the window can be resized";

  const Qt::WindowFlags flags = window_.windowFlags();
  EXPECT_EQ(window_.windowType(), Qt::Window);
  EXPECT_TRUE(flags.testFlag(Qt::WindowSystemMenuHint));
  EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowStaysOnTopHint));

  EXPECT_EQ(window_.windowTitle(),
            q("Quorvath - Tessevin - ") + app::to_qstring(app::maker_site()));

  QSet<int> icon_sizes;
  for (const QSize& size : window_.windowIcon().availableSizes()) icon_sizes.insert(size.width());
  EXPECT_EQ(icon_sizes, QSet<int>({64, 48, 32, 24, 16}));

  // The outer size counts for the placement, frame included.
  const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
  EXPECT_EQ(window_.pos(), QPoint((screen.width() - 475) / 2, (screen.height() - 292) / 2));
}

TEST_F(MainWindowTest, ControlsSitWhereTheLayoutPutsThem) {
  // Topmost first, as they lie among their siblings.
  const struct {
    const char* name;
    const char* parent;
    QRect geometry;
    bool focusable;
    bool enabled;
    QString text;  // what the control shows at start
  } controls[] = {
      {"credit_label",
       "main_window",
       {170, 208, 128, 16},
       false,
       false,
       app::to_qstring(app::credit_line())},
      {"banner", "main_window", {0, 0, 472, 176}, false, true, {}},
      {"hidden_score_label", "result_group", {386, 15, 62, 24}, false, true, {}},
      {"combat_power_label", "result_group", {248, 18, 56, 24}, false, true, {}},
      {"level_label", "result_group", {106, 21, 19, 16}, false, true, {}},
      {"hidden_score_caption", "result_group", {313, 17, 71, 24}, false, true, q("隐藏分数：")},
      {"combat_power_caption", "result_group", {161, 17, 88, 24}, false, true, q("个人战斗力：")},
      {"level_caption", "result_group", {22, 18, 129, 24}, false, true, q("召唤师等级：  级")},
      {"region_caption", "main_window", {211, 185, 61, 24}, false, true, q("所在大区：")},
      {"query_button", "main_window", {383, 185, 73, 23}, true, true, q("查询")},
      {"region_list", "main_window", {273, 187, 109, 20}, true, true, {}},
      {"name_caption", "main_window", {13, 187, 75, 24}, false, true, q("召唤师名称：")},
      {"name_box", "main_window", {88, 188, 120, 20}, true, true, {}},
      {"input_group", "main_window", {5, 175, 458, 40}, false, true, {}},
      {"result_group", "main_window", {6, 213, 457, 50}, false, true, {}},
  };
  const auto shown_text = [](QWidget* control) -> QString {
    if (auto* plain = dynamic_cast<PlainLabel*>(control)) return app::to_qstring(plain->caption());
    if (auto* button = qobject_cast<QPushButton*>(control)) return button->text();
    if (auto* combo = qobject_cast<QComboBox*>(control)) return combo->currentText();
    if (auto* edit = qobject_cast<QLineEdit*>(control)) return edit->text();
    if (auto* group = qobject_cast<QGroupBox*>(control)) return group->title();
    return {};
  };
  for (const auto& c : controls) {
    SCOPED_TRACE(c.name);
    QWidget* control = widget(c.name);
    ASSERT_NE(control, nullptr);
    ASSERT_NE(control->parentWidget(), nullptr);
    EXPECT_EQ(control->parentWidget()->objectName(), QLatin1String(c.parent));
    EXPECT_EQ(control->geometry(), c.geometry);
    EXPECT_TRUE(control->isVisible());
    EXPECT_EQ(control->isEnabled(), c.enabled);
    if (c.focusable) {
      EXPECT_TRUE(control->focusPolicy() & Qt::TabFocus);
    } else {
      EXPECT_EQ(control->focusPolicy(), Qt::NoFocus);
    }
    EXPECT_EQ(shown_text(control), c.text);
  }

  // Stacking: a parent's later widget children lie above its earlier ones.
  for (const char* parent : {"main_window", "result_group"}) {
    SCOPED_TRACE(parent);
    QObject* owner = std::string_view(parent) == "main_window" ? &window_ : widget(parent);
    QStringList expected;
    for (const auto& c : controls) {
      if (std::string_view(c.parent) == parent) expected << QLatin1String(c.name);
    }
    QStringList topmost_first;
    const QObjectList children = owner->children();
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
      if (expected.contains((*it)->objectName())) topmost_first << (*it)->objectName();
    }
    EXPECT_EQ(topmost_first, expected);
  }
  // Where controls overlap, the upper one is the one found there.
  EXPECT_EQ(window_.childAt(200, 214), widget("credit_label")) << "over both group boxes";
  EXPECT_EQ(widget("result_group")->childAt(110, 25), widget("level_label")) << "over 标签3";
  QWidget* in_name_box = window_.childAt(100, 195);
  EXPECT_TRUE(in_name_box == name_box() || name_box()->isAncestorOf(in_name_box))
      << "the input row lies over its group box";
}

TEST_F(MainWindowTest, BannerShowsItsPictureFromTheTopLeftUncut) {
  auto* banner = dynamic_cast<app::Banner*>(widget("banner"));
  ASSERT_NE(banner, nullptr);
  EXPECT_EQ(banner->picture().size(), QSize(475, 181));
  const QImage shown = banner->grab().toImage().convertToFormat(QImage::Format_RGB32);
  const QImage expected =
      banner->picture().copy(0, 0, 472, 176).convertToFormat(QImage::Format_RGB32);
  EXPECT_EQ(shown, expected);
}

// Pixel tallies of a label's picture: pure red and pure black are where a glyph is
// fully inked.
struct Ink {
  int red = 0;
  int black = 0;
  int left = -1;  // first and last columns that differ from the background
  int right = -1;
};

Ink ink_of(QWidget* control) {
  const QImage image = control->grab().toImage().convertToFormat(QImage::Format_RGB32);
  const QRgb background = image.pixel(0, 0);
  Ink ink;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QRgb pixel = image.pixel(x, y);
      if (pixel == qRgb(255, 0, 0)) ++ink.red;
      if (pixel == qRgb(0, 0, 0)) ++ink.black;
      if (pixel != background) {
        if (ink.left < 0 || x < ink.left) ink.left = x;
        ink.right = std::max(ink.right, x);
      }
    }
  }
  return ink;
}

TEST_F(MainWindowTest, LabelsHaveTheirFontsAndColours) {
  window_.set_caption(ResultLabel::level, "88");
  window_.set_caption(ResultLabel::combat_power, "8888");
  window_.set_caption(ResultLabel::hidden_score, "8888");
  const struct {
    const char* name;
    int pixel_size;
    bool red;  // else black
  } labels[] = {
      {"hidden_score_label", 20, true},    {"combat_power_label", 19, true},
      {"level_label", 16, true},           {"hidden_score_caption", 14, false},
      {"combat_power_caption", 14, false}, {"level_caption", 14, false},
      {"region_caption", 12, false},       {"name_caption", 12, false},
  };
  for (const auto& l : labels) {
    SCOPED_TRACE(l.name);
    QWidget* control = widget(l.name);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->font().pixelSize(), l.pixel_size);
    EXPECT_EQ(control->font().weight(), 700) << "not bold";
    const Ink ink = ink_of(control);
    if (l.red) {
      EXPECT_GT(ink.red, 0);
      EXPECT_EQ(ink.black, 0);
    } else {
      EXPECT_GT(ink.black, 0);
      EXPECT_EQ(ink.red, 0);
    }
  }
  // 标签1 names its face, 宋体.
  EXPECT_EQ(widget("name_caption")->font().families().value(0), q("SimSun"));
  // The credit line has the window's own font, is disabled, and is still drawn in
  // black, centred.
  QWidget* credit = widget("credit_label");
  EXPECT_EQ(credit->font(), window_.font());
  EXPECT_EQ(credit->font().weight(), 400);
  EXPECT_FALSE(credit->isEnabled());
  const Ink ink = ink_of(credit);
  EXPECT_GT(ink.black, 0);
  ASSERT_GE(ink.left, 0);
  EXPECT_LE(std::abs(ink.left - (credit->width() - 1 - ink.right)), 2)
      << "margins " << ink.left << " and " << credit->width() - 1 - ink.right;
}

// What a caption looks like when drawn as the literal characters it holds.
QImage literal_rendering(QWidget* label, const QString& caption, const QColor& colour) {
  QImage image(label->size(), QImage::Format_ARGB32_Premultiplied);
  image.fill(label->palette().color(QPalette::Button));
  QPainter painter(&image);
  painter.setFont(label->font());
  painter.setPen(colour);
  painter.drawText(image.rect(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, caption);
  painter.end();
  return image.convertToFormat(QImage::Format_RGB32);
}

TEST_F(MainWindowTest, FiguresAreDrawnAsPlainText) {
  PlainLabel* hidden_score = label("hidden_score_label");
  ASSERT_NE(hidden_score, nullptr);
  // Markup, an entity and a mnemonic marker from a web page stay what they are.
  for (const char* caption : {"<b>1</b>", "1&amp;2", "&1", "<i>"}) {
    SCOPED_TRACE(caption);
    window_.set_caption(ResultLabel::hidden_score, caption);
    EXPECT_EQ(hidden_score->caption().str(), caption);
    EXPECT_EQ(hidden_score->grab().toImage().convertToFormat(QImage::Format_RGB32),
              literal_rendering(hidden_score, q(caption), QColor(255, 0, 0)));
  }
}

TEST_F(MainWindowTest, AFigureWiderThanItsLabelIsCutOffAtTheLabelsEdge) {
  QWidget* group = widget("result_group");
  QWidget* level = widget("level_label");
  const QImage before = group->grab().toImage().convertToFormat(QImage::Format_RGB32);
  window_.set_caption(ResultLabel::level, "123456789");
  EXPECT_EQ(level->geometry(), QRect(106, 21, 19, 16)) << "the label grew";
  const QImage after = group->grab().toImage().convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(before.size(), after.size());
  int changed_outside = 0;
  int red_inside = 0;
  for (int y = 0; y < after.height(); ++y) {
    for (int x = 0; x < after.width(); ++x) {
      if (level->geometry().contains(x, y)) {
        red_inside += after.pixel(x, y) == qRgb(255, 0, 0) ? 1 : 0;
      } else if (after.pixel(x, y) != before.pixel(x, y)) {
        ++changed_outside;
      }
    }
  }
  EXPECT_EQ(changed_outside, 0);
  EXPECT_GT(red_inside, 0);
}

// --- The region list ----------------------------------------------------------------

TEST_F(MainWindowTest, RegionListHoldsTheTableInOrderWithNothingSelected) {
  const auto& items = testing::region_items_utf8;
  QComboBox* list = region_list();
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->count(), static_cast<int>(std::size(items)));
  ASSERT_EQ(list->count(), region_count);
  for (int i = 0; i < list->count(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(list->itemText(i), q(items[i]));
    EXPECT_EQ(list->itemText(i),
              app::to_qstring(region_table[static_cast<std::size_t>(i)].item_text));
  }
  EXPECT_TRUE(list->isEditable());
  EXPECT_EQ(window_.selected_position(), -1);
  EXPECT_EQ(list->currentText(), QString());
}

TEST_F(MainWindowTest, ChoosingAnItemFromTheDropDownGivesItsPosition) {
  QComboBox* list = region_list();
  for (const int position : {0, 20, 27, 28, 1}) {
    SCOPED_TRACE(position);
    list->showPopup();
    QAbstractItemView* view = list->view();
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->isVisible(); }, patience_ms));
    const QModelIndex item = list->model()->index(position, 0);
    view->scrollTo(item);
    view->setCurrentIndex(item);
    QTest::keyClick(view, Qt::Key_Return);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !view->isVisible(); }, patience_ms));
    EXPECT_EQ(window_.selected_position(), position);
    EXPECT_EQ(list->currentText(), list->itemText(position));
  }
  EXPECT_TRUE(boxes_.empty());
  EXPECT_EQ(server_.connections(), 0) << "choosing a region ran a lookup";
}

TEST_F(MainWindowTest, TypedTextSelectsOnlyAnItemItEquals) {
  QLineEdit* edit = region_list()->lineEdit();
  ASSERT_NE(edit, nullptr);
  const struct {
    int chosen_before;  // -1: nothing chosen from the list first
    const char* typed;
    int position;
  } cases[] = {
      {-1, "艾欧尼亚", 1},    {-1, "====网通大区====", 20},
      {-1, "教育网专区", 28}, {-1, "艾欧尼", -1},  // the start of an item
      {-1, "艾欧尼亚 ", -1},                       // an item and a space
      {-1, "网通一", -1},                          // a server name is no item
      {-1, "", -1},           {5, "祖安", 2},      // typing over a choice
      {5, "Noxus", -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    region_list()->setCurrentIndex(c.chosen_before);
    edit->clear();
    type_text(edit, q(c.typed));
    EXPECT_EQ(edit->text(), q(c.typed));
    EXPECT_EQ(window_.selected_position(), c.position);
  }
}

TEST_F(MainWindowTest, TypingNeverAddsAnItem) {
  focus(region_list());
  region_list()->lineEdit()->clear();
  type_text(region_list(), q("新大区"));
  QTest::keyClick(region_list(), Qt::Key_Return);
  QTest::keyClick(region_list(), Qt::Key_Enter);
  EXPECT_EQ(region_list()->count(), region_count);
  EXPECT_EQ(window_.selected_position(), -1);
  EXPECT_EQ(region_list()->findText(q("新大区")), -1);
}

// --- Keys -----------------------------------------------------------------------------

TEST_F(MainWindowTest, EscClosesTheWindowWhereverTheFocusIs) {
  for (QWidget* control :
       std::initializer_list<QWidget*>{name_box(), region_list(), query_button()}) {
    SCOPED_TRACE(control->objectName().toStdString());
    if (!window_.isVisible()) show();
    focus(control);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window_.isVisible(); }, patience_ms));
  }
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(MainWindowTest, EnterRunsNoLookupAndKeepsTheFocus) {
  // Everything a lookup needs is there, so one would reach the server.
  region_list()->setCurrentIndex(1);
  type_text(name_box(), q("寒江孤影"));
  for (QWidget* control :
       std::initializer_list<QWidget*>{name_box(), query_button(), region_list()}) {
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
      SCOPED_TRACE(control->objectName().toStdString() + (key == Qt::Key_Enter ? " keypad" : ""));
      focus(control);
      QTest::keyClick(QApplication::focusWidget(), key);
      // The lookup is synchronous: had the key run one, the server would have it now.
      EXPECT_EQ(server_.connections(), 0);
      EXPECT_TRUE(boxes_.empty());
      EXPECT_EQ(focused_control(), control);
      EXPECT_TRUE(window_.isVisible());
      EXPECT_EQ(window_.selected_position(), 1);
      EXPECT_EQ(name_box()->text(), q("寒江孤影"));
    }
  }
}

TEST_F(MainWindowTest, TabVisitsExactlyTheThreeInputControls) {
  for (const Qt::Key key : {Qt::Key_Tab, Qt::Key_Backtab}) {
    SCOPED_TRACE(key == Qt::Key_Tab ? "Tab" : "Shift+Tab");
    focus(name_box());
    std::vector<QWidget*> visited;
    for (int i = 0; i < 6; ++i) {
      QTest::keyClick(QApplication::focusWidget(), key);
      visited.push_back(focused_control());
    }
    const QSet<QWidget*> distinct(visited.begin(), visited.end());
    EXPECT_EQ(distinct, QSet<QWidget*>({name_box(), region_list(), query_button()}));
    for (std::size_t i = 3; i < visited.size(); ++i) EXPECT_EQ(visited[i], visited[i - 3]);
    EXPECT_EQ(visited[2], name_box()) << "three steps lead back to the start";
  }
}

// --- The banner -----------------------------------------------------------------------

// Puts a recording `xdg-open` first in PATH for the life of the object: each run
// appends its arguments as one line to a file.
class RecordingBrowser {
 public:
  RecordingBrowser() : old_path_(qgetenv("PATH")) {
    const QString script = folder_.filePath(QStringLiteral("xdg-open"));
    QFile file(script);
    if (!file.open(QIODevice::WriteOnly)) throw std::runtime_error("cannot write xdg-open");
    file.write("#!/bin/sh\nprintf '%s\\n' \"$*\" >> '" + QFile::encodeName(log()) + "'\n");
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("PATH", QFile::encodeName(folder_.path()) + ":" + old_path_);
  }
  ~RecordingBrowser() { qputenv("PATH", old_path_); }
  RecordingBrowser(const RecordingBrowser&) = delete;
  RecordingBrowser& operator=(const RecordingBrowser&) = delete;

  [[nodiscard]] QStringList opened() const {
    QFile file(log());
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  }

 private:
  [[nodiscard]] QString log() const { return folder_.filePath(QStringLiteral("opened.txt")); }

  QTemporaryDir folder_;
  QByteArray old_path_;
};

TEST_F(MainWindowTest, ALeftPressAnywhereOnTheBannerOpensTheMakersPage) {
  RecordingBrowser browser;
  QWidget* banner = widget("banner");
  const QString page = q("http://") + app::to_qstring(app::maker_link());

  for (const Qt::MouseButton button : {Qt::RightButton, Qt::MiddleButton}) {
    QTest::mousePress(banner, button, {}, QPoint(236, 88));
    QTest::mouseRelease(banner, button, {}, QPoint(236, 88));
  }
  // On the press itself, before any release; each press once.
  const QPoint points[] = {{0, 0}, {471, 175}, {236, 88}, {471, 0}, {0, 175}};
  QStringList expected;
  for (const QPoint& at : points) {
    SCOPED_TRACE(QString("%1,%2").arg(at.x()).arg(at.y()).toStdString());
    QTest::mousePress(banner, Qt::LeftButton, {}, at);
    expected << page;
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return browser.opened().size() >= expected.size(); }, patience_ms));
    QTest::mouseRelease(banner, Qt::LeftButton, {}, at);
    EXPECT_EQ(browser.opened(), expected) << "the other buttons opened it too";
  }
  EXPECT_EQ(server_.connections(), 0);
  EXPECT_TRUE(boxes_.empty());
}

// --- Messages and lookups ---------------------------------------------------------------

TEST_F(MainWindowTest, NoRegionSelectedShowsAMessageAndSendsNothing) {
  for (const char* name : {"寒江孤影", ""}) {
    SCOPED_TRACE(name);
    boxes_.clear();
    look_up(-1, q(name));
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].caption, gbk("信息："));
    EXPECT_EQ(boxes_[0].text, gbk("请选择大区！"));
    EXPECT_EQ(boxes_[0].icon, BoxIcon::none);
  }
  EXPECT_EQ(server_.connections(), 0);
  EXPECT_EQ(figures(), std::vector<std::string>(3));
}

TEST_F(MainWindowTest, TheMessageBoxIsAPlainModalBoxWithOkOnly) {
  app::set_box_hook({});
  std::optional<QString> caption;
  QString shown_text;
  QMessageBox::Icon icon = QMessageBox::Critical;
  QMessageBox::StandardButtons buttons;
  Qt::TextFormat format = Qt::RichText;
  Qt::WindowModality modality = Qt::NonModal;
  bool owned = true;
  // Looks until the box is up, reads it, and closes it as a person would.
  QTimer watcher;
  watcher.setInterval(5);
  QObject::connect(&watcher, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    watcher.stop();
    caption = box->windowTitle();
    shown_text = box->text();
    icon = box->icon();
    buttons = box->standardButtons();
    format = box->textFormat();
    modality = box->windowModality();
    owned = box->parentWidget() != nullptr;
    QTest::keyClick(box, Qt::Key_Return);
  });
  watcher.start();
  look_up(-1, q("x"));
  ASSERT_TRUE(caption.has_value()) << "no box came up";
  EXPECT_EQ(*caption, q("信息："));
  EXPECT_EQ(shown_text, q("请选择大区！"));
  EXPECT_EQ(icon, QMessageBox::NoIcon);
  EXPECT_EQ(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
  EXPECT_EQ(format, Qt::PlainText);
  EXPECT_EQ(modality, Qt::ApplicationModal);
  EXPECT_FALSE(owned);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(MainWindowTest, TheRequestCarriesTheRegionsServerAndTheNameAsTyped) {
  const struct {
    int position;
    const char* name;
    const char* target;
  } cases[] = {
      {1, "中a", "/playerDetail.php?serverName=%E7%94%B5%E4%BF%A1%E4%B8%80&playerName=%E4%B8%ADa"},
      {20, "ab 12", "/playerDetail.php?serverName=&playerName=ab%2012"},  // a heading
      {0, "x", "/playerDetail.php?serverName=&playerName=x"},
      {27, "x", "/playerDetail.php?serverName=&playerName=x"},
      {28, "x", "/playerDetail.php?serverName=%E6%95%99%E8%82%B2%E4%B8%80&playerName=x"},
      {19, "x", "/playerDetail.php?serverName=%E7%94%B5%E4%BF%A1%E5%8D%81%E4%B9%9D&playerName=x"},
      {21, "x", "/playerDetail.php?serverName=%E7%BD%91%E9%80%9A%E4%B8%80&playerName=x"},
      {1, " ab ",  // spaces are not trimmed
       "/playerDetail.php?serverName=%E7%94%B5%E4%BF%A1%E4%B8%80&playerName=%20ab%20"},
      {1, "", "/playerDetail.php?serverName=%E7%94%B5%E4%BF%A1%E4%B8%80&playerName="},
      {1, "neo-7.cn_&=+",
       "/playerDetail.php?serverName=%E7%94%B5%E4%BF%A1%E4%B8%80&playerName=neo-7.cn%5F%26%3D%2B"},
  };
  std::size_t seen = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.position) + " " + c.name);
    look_up(c.position, q(c.name));
    const std::vector<ReceivedRequest> requests = server_.requests();
    ASSERT_EQ(requests.size(), seen + 1);
    const std::string& head = requests[seen].head;
    EXPECT_EQ(head.substr(0, head.find("\r\n")), std::string("GET ") + c.target + " HTTP/1.1");
    ++seen;
  }
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(MainWindowTest, LookupsFillKeepOrEmptyTheFigures) {
  const std::string host = "127.0.0.1:" + std::to_string(server_.port());
  const std::string refusing = "127.0.0.1:" + std::to_string(testing::unused_port());
  const struct {
    const char* what;
    std::string host;
    const char* name;
    std::vector<std::string> figures;  // after the step
    bool message;                      // "请输入正确的召唤师信息"
  } steps[] = {
      {"a player", host, "known", {"30", "5821", "1521"}, false},
      {"no data keeps the figures", host, "nobody", {"30", "5821", "1521"}, true},
      {"a page lacking a marker empties only its figure",
       host,
       "partial",
       {"12", "", "999"},
       false},
      {"figures as the page has them", host, "markup", {"<b>7</b>", "1&amp;2", "3"}, false},
      {"an error status is read like any page", host, "error", {"8", "800", "1800"}, false},
      {"a refused connection empties all three, quietly", refusing, "known", {"", "", ""}, false},
      {"and a player again", host, "known", {"30", "5821", "1521"}, false},
  };
  for (const auto& s : steps) {
    SCOPED_TRACE(s.what);
    boxes_.clear();
    window_.set_stats_host(Text(s.host));
    look_up(1, q(s.name));
    EXPECT_EQ(figures(), s.figures);
    if (s.message) {
      ASSERT_EQ(boxes_.size(), 1u);
      EXPECT_EQ(boxes_[0].caption, gbk("信息："));
      EXPECT_EQ(boxes_[0].text, gbk("请输入正确的召唤师信息"));
    } else {
      EXPECT_TRUE(boxes_.empty());
    }
  }
}

// The built demo service, end to end through the window: every player of its roster,
// with the region chosen by typing its item text.
TEST_F(MainWindowTest, LooksUpTheDemoServicesPlayers) {
  std::optional<testing::DemoService> demo;
  try {
    demo.emplace(TESSEVIN_STATS_DEMO_PATH);
  } catch (const std::exception& e) {
    FAIL() << "demo did not start: " << e.what();
  }
  window_.set_stats_host(Text(demo->host()));
  for (const demo::DemoPlayer& player : demo::roster) {
    const std::string server = gbk(player.server_name);
    SCOPED_TRACE(std::string(player.server_name) + " / " + std::string(player.player_name));
    const auto* region = std::find_if(
        region_table.begin(), region_table.end(),
        [&](const Region& r) { return r.server_name != nullptr && server == r.server_name; });
    ASSERT_NE(region, region_table.end()) << "no list entry sends this server";
    region_list()->lineEdit()->clear();
    type_text(region_list()->lineEdit(), app::to_qstring(region->item_text));
    name_box()->clear();
    type_text(name_box(), QString::fromUtf8(player.player_name.data(),
                                            static_cast<qsizetype>(player.player_name.size())));
    QTest::mouseClick(query_button(), Qt::LeftButton);
    EXPECT_EQ(figures(), std::vector<std::string>({std::to_string(player.level),
                                                   std::to_string(player.combat_power),
                                                   std::to_string(player.hidden_score)}));
  }
  EXPECT_TRUE(boxes_.empty());

  // Someone the demo does not know keeps the last figures beside the message.
  const std::vector<std::string> last = figures();
  name_box()->clear();
  type_text(name_box(), q("无名之辈"));
  QTest::mouseClick(query_button(), Qt::LeftButton);
  EXPECT_EQ(figures(), last);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text, gbk("请输入正确的召唤师信息"));
}

}  // namespace
}  // namespace tessevin
