// The main window: the banner across the top, one input row (summoner name, region
// list, Query button) and one result row of three red figures. Built in code with
// a fixed layout; every control carries an objectName from its role so tests and
// tools find it.
#pragma once

#include <QImage>
#include <QWidget>
#include <functional>

#include "query/query.h"
#include "text/text.h"

class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;

namespace tessevin::app {

// A label drawn the one way the program draws labels: filled with the button-face
// colour, the caption on one line, vertically centred, cut off at the edges, always
// plain text. The caption is code page 936, turned into a Qt string only to draw.
class PlainLabel : public QWidget {
 public:
  PlainLabel(QWidget* parent, const Text& caption, Qt::Alignment horizontal);
  void set_caption(const Text& caption);
  [[nodiscard]] const Text& caption() const { return caption_; }
  void set_text_colour(const QColor& colour);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  Text caption_;
  Qt::Alignment horizontal_;
  QColor colour_;
};

// The banner picture, drawn at its natural size from the top-left and cut off at the
// box's edges. A left-button press anywhere on it calls `on_press` at once.
class Banner : public QWidget {
 public:
  Banner(QWidget* parent, QImage picture,
         std::function<void(int x, int y, Qt::KeyboardModifiers)> on_press);
  [[nodiscard]] const QImage& picture() const { return picture_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  QImage picture_;
  std::function<void(int, int, Qt::KeyboardModifiers)> on_press_;
};

class MainWindow : public QWidget, public QueryWindow {
 public:
  // Outer size of the window, frame included, and the client area it leaves.
  static constexpr int outer_width = 475;
  static constexpr int outer_height = 292;
  static constexpr int client_width = 469;
  static constexpr int client_height = 264;

  // Builds the window and every control, hidden.
  MainWindow();
  ~MainWindow() override;

  // Places the window centred on the primary screen and shows it.
  void show_centred();

  // What the lookup reads and writes.
  [[nodiscard]] int selected_position() override;
  [[nodiscard]] Text name_text() override;
  void set_caption(ResultLabel label, const Text& caption) override;
  void show_message(const Text& text) override;

  // Lookups go to this host (the build's statistics host unless a test points the
  // window at its own server).
  void set_stats_host(const Text& host) { stats_host_ = host; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void on_query_clicked();
  void on_banner_clicked(int x, int y, Qt::KeyboardModifiers modifiers);
  [[nodiscard]] bool is_ours(QObject* object) const;

  Text stats_host_;
  PlainLabel* level_ = nullptr;
  PlainLabel* combat_power_ = nullptr;
  PlainLabel* hidden_score_ = nullptr;
  QComboBox* region_list_ = nullptr;
  QLineEdit* name_box_ = nullptr;
  QPushButton* query_button_ = nullptr;
};

// Hands an address to the desktop's browser; failures are silent.
void open_web_address(const Text& address);

// The build's settings, code page 936.
[[nodiscard]] Text maker_site();
[[nodiscard]] Text maker_link();
[[nodiscard]] Text credit_line();

}  // namespace tessevin::app
