#include "app/main_window.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QIcon>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStyledItemDelegate>

#include "app/jpeg_image.h"
#include "app/message_box.h"
#include "app/qt_text.h"
#include "platform/shell.h"
#include "query/region_table.h"

// The pictures are compiled into this static library; register them before use.
static void register_resources() { Q_INIT_RESOURCE(tessevin); }

#ifndef TESSEVIN_MAKER_SITE
#error "TESSEVIN_MAKER_SITE, TESSEVIN_MAKER_LINK and TESSEVIN_CREDIT_LINE are set by the build"
#endif

namespace tessevin::app {

namespace {

// The face for fonts that name none (the stock GUI font), and the serif face that
// stands in for "宋体" where that font is not installed.
const QStringList sans_faces = {QStringLiteral("Noto Sans CJK SC"), QStringLiteral("sans-serif")};
const QStringList song_faces = {QStringLiteral("SimSun"), QStringLiteral("Noto Serif CJK SC"),
                                QStringLiteral("serif")};
// The result-row captions use half-width spaces and a pixel between characters, as
// a synthesised bold face has: "召唤师等级：  级" then leaves the level its room
// between the colon and "级".
const QStringList caption_faces = {QStringLiteral("Noto Sans Mono CJK SC"),
                                   QStringLiteral("monospace")};

QFont gui_font() {
  QFont font;
  font.setFamilies(sans_faces);
  font.setPixelSize(12);
  font.setWeight(QFont::Normal);
  return font;
}

QFont bold_font(int pixel_height, const QStringList& faces = sans_faces) {
  QFont font;
  font.setFamilies(faces);
  font.setPixelSize(pixel_height);
  font.setWeight(QFont::Bold);
  return font;
}

// List items one pixel taller than the style makes them.
class TallerItems : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    return QStyledItemDelegate::sizeHint(option, index) + QSize(0, 1);
  }
};

QImage banner_picture() {
  register_resources();
  QFile file(QStringLiteral(":/tessevin/banner.jpg"));
  if (!file.open(QIODevice::ReadOnly)) return {};
  const QByteArray bytes = file.readAll();
  return decode_jpeg(reinterpret_cast<const unsigned char*>(bytes.constData()),
                     static_cast<std::size_t>(bytes.size()));
}

QIcon program_icon() {
  register_resources();
  QIcon icon;
  for (int size : {64, 48, 32, 24, 16}) {
    icon.addFile(QStringLiteral(":/tessevin/icons/tessevin-%1.png").arg(size), QSize(size, size));
  }
  return icon;
}

template <typename Widget>
Widget* place(Widget* widget, const char* name, int left, int top, int width, int height) {
  widget->setObjectName(QString::fromLatin1(name));
  widget->setGeometry(left, top, width, height);
  return widget;
}

}  // namespace

Text maker_site() { return TESSEVIN_MAKER_SITE; }
Text maker_link() { return TESSEVIN_MAKER_LINK; }
Text credit_line() { return TESSEVIN_CREDIT_LINE; }

void open_web_address(const Text& address) {
  platform::shell::open_address(address.c_str_or_null());
}

// --- PlainLabel ---------------------------------------------------------------------

PlainLabel::PlainLabel(QWidget* parent, const Text& caption, Qt::Alignment horizontal)
    : QWidget(parent), caption_(caption), horizontal_(horizontal), colour_(Qt::black) {
  setFocusPolicy(Qt::NoFocus);
}

void PlainLabel::set_caption(const Text& caption) {
  caption_ = caption;
  update();
}

void PlainLabel::set_text_colour(const QColor& colour) {
  colour_ = colour;
  update();
}

void PlainLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().color(QPalette::Button));
  painter.setFont(font());
  painter.setPen(colour_);
  // drawText never reads markup, and a single line keeps a line break from the page
  // from spilling into a second row.
  painter.drawText(rect(), static_cast<int>(horizontal_ | Qt::AlignVCenter | Qt::TextSingleLine),
                   to_qstring(caption_));
}

// --- Banner -------------------------------------------------------------------------

Banner::Banner(QWidget* parent, QImage picture,
               std::function<void(int, int, Qt::KeyboardModifiers)> on_press)
    : QWidget(parent), picture_(std::move(picture)), on_press_(std::move(on_press)) {
  setFocusPolicy(Qt::NoFocus);
}

void Banner::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().color(QPalette::Button));
  painter.drawImage(QPoint(0, 0), picture_);
}

void Banner::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && on_press_) {
    const QPoint at = event->position().toPoint();
    on_press_(at.x(), at.y(), event->modifiers());
  }
  event->accept();
}

// --- MainWindow ---------------------------------------------------------------------

MainWindow::MainWindow() : stats_host_(default_stats_host()) {
  setObjectName(QStringLiteral("main_window"));
  // A fixed dialog frame with the system menu and a close button only.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setWindowTitle(to_qstring(concat_text("Quorvath - Tessevin - ", maker_site())));
  setWindowIcon(program_icon());
  setFixedSize(client_width, client_height);
  setBackgroundRole(QPalette::Button);
  setAutoFillBackground(true);
  setFont(gui_font());

  // The controls, topmost first; each later one lies below the earlier ones.
  auto* credit = place(new PlainLabel(this, credit_line(), Qt::AlignHCenter), "credit_label", 170,
                       208, 128, 16);
  credit->setEnabled(false);
  auto* banner = place(new Banner(this, banner_picture(),
                                  [this](int x, int y, Qt::KeyboardModifiers modifiers) {
                                    on_banner_clicked(x, y, modifiers);
                                  }),
                       "banner", 0, 0, 472, 176);
  auto* result_group = new QGroupBox(this);
  hidden_score_ = place(new PlainLabel(result_group, Text(), Qt::AlignLeft), "hidden_score_label",
                        386, 15, 62, 24);
  combat_power_ = place(new PlainLabel(result_group, Text(), Qt::AlignLeft), "combat_power_label",
                        248, 18, 56, 24);
  level_ =
      place(new PlainLabel(result_group, Text(), Qt::AlignLeft), "level_label", 106, 21, 19, 16);
  auto* hidden_caption =
      place(new PlainLabel(result_group, gbk_literal("隐藏分数："), Qt::AlignLeft),
            "hidden_score_caption", 313, 17, 71, 24);
  auto* power_caption =
      place(new PlainLabel(result_group, gbk_literal("个人战斗力："), Qt::AlignLeft),
            "combat_power_caption", 161, 17, 88, 24);
  auto* level_caption =
      place(new PlainLabel(result_group, gbk_literal("召唤师等级：  级"), Qt::AlignLeft),
            "level_caption", 22, 18, 129, 24);
  auto* region_caption = place(new PlainLabel(this, gbk_literal("所在大区："), Qt::AlignLeft),
                               "region_caption", 211, 185, 61, 24);
  query_button_ = place(new QPushButton(to_qstring(gbk_literal("查询")), this), "query_button", 383,
                        185, 73, 23);
  region_list_ = place(new QComboBox(this), "region_list", 273, 187, 109, 20);
  // Editable from the start, so its edit field takes the combo's place in the focus
  // chain instead of joining it after every other control.
  region_list_->setEditable(true);
  auto* name_caption = place(new PlainLabel(this, gbk_literal("召唤师名称："), Qt::AlignLeft),
                             "name_caption", 13, 187, 75, 24);
  name_box_ = place(new QLineEdit(this), "name_box", 88, 188, 120, 20);
  auto* input_group = place(new QGroupBox(this), "input_group", 5, 175, 458, 40);
  place(result_group, "result_group", 6, 213, 457, 50);

  for (QWidget* widget :
       std::initializer_list<QWidget*>{credit, banner, region_caption, query_button_, region_list_,
                                       name_caption, name_box_, input_group, result_group}) {
    widget->lower();
  }
  for (QWidget* widget : std::initializer_list<QWidget*>{
           hidden_score_, combat_power_, level_, hidden_caption, power_caption, level_caption}) {
    widget->lower();
  }

  // Figures in bold red; captions in bold black.
  const QColor red(255, 0, 0);
  hidden_score_->setFont(bold_font(20));
  combat_power_->setFont(bold_font(19));
  level_->setFont(bold_font(16));
  for (PlainLabel* figure : {hidden_score_, combat_power_, level_}) figure->set_text_colour(red);
  for (PlainLabel* caption : {hidden_caption, power_caption, level_caption}) {
    QFont font = bold_font(14, caption_faces);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 1);
    caption->setFont(font);
  }
  region_caption->setFont(bold_font(12));
  name_caption->setFont(bold_font(12, song_faces));

  query_button_->setAutoDefault(false);
  query_button_->setDefault(false);
  connect(query_button_, &QPushButton::clicked, this, [this] { on_query_clicked(); });

  // An editable drop-down that never adds what is typed and never completes it.
  region_list_->setInsertPolicy(QComboBox::NoInsert);
  region_list_->setCompleter(nullptr);
  region_list_->setItemDelegate(new TallerItems(region_list_));
  // Every item is one line of the same font: measuring the first one is enough, and
  // the list is laid out again whenever the skin changes the style.
  if (auto* list = qobject_cast<QListView*>(region_list_->view())) list->setUniformItemSizes(true);
  region_list_->setMaxVisibleItems(8);  // about the 160 pixels the list drops down
  // The list's size is fixed, so its items are never measured to size the control.
  region_list_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  QStringList items;
  for (const Region& region : region_table) items.append(to_qstring(region.item_text));
  region_list_->addItems(items);
  region_list_->setCurrentIndex(-1);
  region_list_->clearEditText();

  name_box_->setStyleSheet(
      QStringLiteral("QLineEdit { border: 1px solid #7a7a7a; background: white; color: black; }"));
  QPalette name_palette = name_box_->palette();
  // The selection does not show while the box does not have the focus.
  name_palette.setColor(QPalette::Inactive, QPalette::Highlight, Qt::white);
  name_palette.setColor(QPalette::Inactive, QPalette::HighlightedText, Qt::black);
  name_box_->setPalette(name_palette);

  for (QGroupBox* group : {input_group, result_group}) group->setFocusPolicy(Qt::NoFocus);
  setTabOrder(name_box_, region_list_);
  setTabOrder(region_list_, query_button_);
  name_box_->setFocus();

  qApp->installEventFilter(this);
}

MainWindow::~MainWindow() { qApp->removeEventFilter(this); }

void MainWindow::show_centred() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  const QSize size = screen ? screen->geometry().size() : QSize(outer_width, outer_height);
  // Divisions truncate toward zero, also on a screen smaller than the window.
  move((size.width() - outer_width) / 2, (size.height() - outer_height) / 2);
  show();
}

int MainWindow::selected_position() {
  const QString typed = region_list_->currentText();
  const int current = region_list_->currentIndex();
  if (current >= 0 && region_list_->itemText(current) == typed) return current;
  // Typing an item's text selects that item; any other text selects nothing.
  return region_list_->findText(typed, Qt::MatchExactly | Qt::MatchCaseSensitive);
}

Text MainWindow::name_text() { return from_qstring(name_box_->text()); }

void MainWindow::set_caption(ResultLabel label, const Text& caption) {
  switch (label) {
    case ResultLabel::level:
      level_->set_caption(caption);
      break;
    case ResultLabel::combat_power:
      combat_power_->set_caption(caption);
      break;
    case ResultLabel::hidden_score:
      hidden_score_->set_caption(caption);
      break;
  }
}

void MainWindow::show_message(const Text& text) {
  show_box(gbk_literal("信息："), text, BoxIcon::none);
}

void MainWindow::on_query_clicked() { run_query(*this, stats_host_); }

void MainWindow::on_banner_clicked(int, int, Qt::KeyboardModifiers) {
  open_web_address(maker_link());
}

bool MainWindow::is_ours(QObject* object) const {
  // The region list's drop-down is a window of its own, so walk the parents rather
  // than ask for the same window.
  for (QObject* at = object; at != nullptr; at = at->parent()) {
    if (at == this) return true;
  }
  return false;
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride) {
    return QWidget::eventFilter(watched, event);
  }
  if (!is_ours(watched)) return QWidget::eventFilter(watched, event);
  const int key = static_cast<QKeyEvent*>(event)->key();
  if (key == Qt::Key_Escape) {
    // Esc closes the window wherever the focus is; no control keeps it for itself.
    if (event->type() == QEvent::KeyPress) close();
    return true;
  }
  const bool in_drop_down = region_list_->view() != nullptr && region_list_->view()->isVisible();
  if ((key == Qt::Key_Return || key == Qt::Key_Enter) && !in_drop_down) {
    return true;  // no default button, no focus move, no query
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace tessevin::app
