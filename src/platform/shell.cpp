#include "platform/shell.h"

#include <QProcess>
#include <QString>
#include <QUrl>
#include <string>

#include "platform/codepage.h"

namespace tessevin::platform::shell {

namespace {

QString from_gbk(const char* bytes) {
  const int units = multi_byte_to_wide(cp_gbk, bytes, -1, nullptr, 0);
  if (units <= 0) return {};
  std::u16string wide(static_cast<std::size_t>(units), u'\0');
  if (multi_byte_to_wide(cp_gbk, bytes, -1, wide.data(), units) <= 0) return {};
  return QString::fromUtf16(wide.data(), units - 1);
}

}  // namespace

void open_address(const char* address) {
  if (address == nullptr || *address == '\0') return;
  QString text = from_gbk(address);
  if (!text.contains(QLatin1String("://"))) text.prepend(QLatin1String("http://"));
  const QUrl url(text, QUrl::TolerantMode);
  if (!url.isValid()) return;
  // xdg-open finds the desktop's browser; it is started detached so nothing here
  // waits for it, and a missing xdg-open is as silent as a missing browser.
  (void)QProcess::startDetached(QStringLiteral("xdg-open"),
                                {QString::fromLatin1(url.toEncoded(QUrl::FullyEncoded))});
}

}  // namespace tessevin::platform::shell
