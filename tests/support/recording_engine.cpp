// A stand-in skin engine for tests: it styles nothing and appends one line per call
// to the file named by TESSEVIN_TEST_ENGINE_LOG (no variable: no record), with what
// the program's windows looked like at the moment of the call:
//   SkinH_AttachEx|<skin path>|<password>|windows=<top-level windows>
//   SkinH_AdjustAero|<nine values>|main_window=<absent|hidden|shown>|controls=<n>
// where controls counts the main window's named child widgets (Qt's own inner widgets,
// named "qt_...", left out). Built a second time without SkinH_AdjustAero
// (TESSEVIN_TEST_ENGINE_WITHOUT_ADJUST_AERO) for the missing-function case, and a third
// time linked "no delete", as a library that stays mapped after its release.
#include <QApplication>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <string>

#define TEST_ENGINE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

// Plain snprintf, not std::to_string: that one brings C++ "unique" symbols, which
// would keep this library mapped after its release (see platform/library.h).
std::string number(long long n) {
  char digits[24];
  std::snprintf(digits, sizeof digits, "%lld", n);
  return digits;
}

void record(const std::string& line) {
  const char* log = std::getenv("TESSEVIN_TEST_ENGINE_LOG");
  if (log == nullptr || log[0] == '\0') return;
  if (std::FILE* file = std::fopen(log, "ab")) {
    std::fprintf(file, "%s\n", line.c_str());
    std::fclose(file);
  }
}

#ifndef TESSEVIN_TEST_ENGINE_WITHOUT_ADJUST_AERO
QWidget* main_window() {
  if (QCoreApplication::instance() == nullptr) return nullptr;
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->objectName() == QLatin1String("main_window")) return widget;
  }
  return nullptr;
}
#endif

}  // namespace

TEST_ENGINE_EXPORT int SkinH_AttachEx(const char* skin_path, const char* password) {
  const qsizetype windows =
      QCoreApplication::instance() != nullptr ? QApplication::topLevelWidgets().size() : 0;
  record(std::string("SkinH_AttachEx|") + (skin_path ? skin_path : "(null)") + "|" +
         (password ? password : "(null)") + "|windows=" + number(windows));
  return 0;
}

#ifndef TESSEVIN_TEST_ENGINE_WITHOUT_ADJUST_AERO
TEST_ENGINE_EXPORT int SkinH_AdjustAero(int v1, int v2, int v3, int v4, int v5, int v6, int v7,
                                        int v8, int v9) {
  std::string line = "SkinH_AdjustAero|";
  for (int v : {v1, v2, v3, v4, v5, v6, v7, v8, v9}) line += number(v) + ",";
  line.pop_back();
  const QWidget* window = main_window();
  int controls = 0;
  if (window != nullptr) {
    for (const QWidget* child : window->findChildren<QWidget*>()) {
      const QString name = child->objectName();
      if (!name.isEmpty() && !name.startsWith(QLatin1String("qt_"))) ++controls;
    }
  }
  line += std::string("|main_window=") +
          (window == nullptr     ? "absent"
           : window->isVisible() ? "shown"
                                 : "hidden") +
          "|controls=" + number(controls);
  record(line);
  return 0;
}
#endif
