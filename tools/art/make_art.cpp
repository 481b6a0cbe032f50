// Draws Tessevin's own artwork: the 475 x 181 banner (a baseline JPEG written with
// libjpeg) and the program icon in 64, 48, 32, 24 and 16 pixels (PNG). Run once by
// hand when the artwork changes; the results live in resources/.
//
//   g++ -std=c++20 -fPIC tools/art/make_art.cpp $(pkg-config --cflags --libs Qt6Gui) -ljpeg \
//       -o /tmp/make_art && QT_QPA_PLATFORM=offscreen /tmp/make_art resources
#include <jpeglib.h>

#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QRandomGenerator>
#include <cmath>
#include <cstdio>

namespace {

constexpr int banner_width = 475;
constexpr int banner_height = 181;

// A crest: a shield with a gold rim and a stylised blade, centred on (cx, cy).
void draw_crest(QPainter& p, QPointF c, double r, QColor body, QColor rim) {
  QPainterPath shield;
  shield.moveTo(c.x(), c.y() - r);
  shield.lineTo(c.x() + r * 0.82, c.y() - r * 0.55);
  shield.lineTo(c.x() + r * 0.7, c.y() + r * 0.35);
  shield.lineTo(c.x(), c.y() + r);
  shield.lineTo(c.x() - r * 0.7, c.y() + r * 0.35);
  shield.lineTo(c.x() - r * 0.82, c.y() - r * 0.55);
  shield.closeSubpath();
  QRadialGradient fill(c, r);
  fill.setColorAt(0, body.lighter(160));
  fill.setColorAt(1, body.darker(150));
  p.setBrush(fill);
  p.setPen(QPen(rim, std::max(1.0, r / 9)));
  p.drawPath(shield);
  QPainterPath blade;
  blade.moveTo(c.x(), c.y() - r * 0.7);
  blade.lineTo(c.x() + r * 0.16, c.y() + r * 0.25);
  blade.lineTo(c.x(), c.y() + r * 0.62);
  blade.lineTo(c.x() - r * 0.16, c.y() + r * 0.25);
  blade.closeSubpath();
  p.setBrush(rim.lighter(130));
  p.setPen(Qt::NoPen);
  p.drawPath(blade);
  p.fillRect(QRectF(c.x() - r * 0.38, c.y() + r * 0.12, r * 0.76, r * 0.12), rim);
}

QImage draw_banner() {
  QImage image(banner_width, banner_height, QImage::Format_RGB32);
  image.fill(Qt::black);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  QRandomGenerator random(20261211);

  // Five vertical strips, each a glowing scene in its own colour, on black.
  const QColor hues[] = {QColor(40, 110, 220), QColor(200, 60, 50), QColor(210, 160, 40),
                         QColor(60, 170, 120), QColor(140, 70, 200)};
  const int strip = 86;
  const int gap = 11;
  for (int i = 0; i < 5; ++i) {
    const QRectF box(6 + i * (strip + gap) - (i == 4 ? 0 : 0), 8, strip, banner_height - 16);
    QLinearGradient sky(box.topLeft(), box.bottomLeft());
    sky.setColorAt(0, hues[i].darker(400));
    sky.setColorAt(0.55, hues[i].darker(180));
    sky.setColorAt(1, Qt::black);
    p.fillRect(box, sky);
    p.save();
    p.setClipRect(box);
    // Light falling through the strip.
    for (int beam = 0; beam < 3; ++beam) {
      const double x = box.left() + 10 + random.bounded(strip - 20);
      QLinearGradient light(QPointF(x, box.top()), QPointF(x + 30, box.bottom()));
      QColor glow = hues[i].lighter(170);
      glow.setAlpha(70);
      light.setColorAt(0, glow);
      light.setColorAt(1, Qt::transparent);
      QPainterPath ray;
      ray.moveTo(x, box.top());
      ray.lineTo(x + 12, box.top());
      ray.lineTo(x + 44, box.bottom());
      ray.lineTo(x + 18, box.bottom());
      ray.closeSubpath();
      p.fillPath(ray, light);
    }
    // Sparks.
    for (int spark = 0; spark < 26; ++spark) {
      QColor dot = hues[i].lighter(200);
      dot.setAlpha(80 + random.bounded(170));
      p.setPen(Qt::NoPen);
      p.setBrush(dot);
      const double size = 0.6 + random.bounded(18) / 10.0;
      p.drawEllipse(QPointF(box.left() + random.bounded(strip),
                            box.top() + random.bounded(int(box.height()))),
                    size, size);
    }
    // A crest standing on a ridge.
    QPainterPath ridge;
    ridge.moveTo(box.left(), box.bottom());
    for (int step = 0; step <= 8; ++step) {
      ridge.lineTo(box.left() + step * strip / 8.0, box.bottom() - 30 - random.bounded(22));
    }
    ridge.lineTo(box.right(), box.bottom());
    ridge.closeSubpath();
    p.fillPath(ridge, QColor(8, 8, 12));
    draw_crest(p, QPointF(box.center().x(), box.top() + 62), 28, hues[i], QColor(220, 185, 90));
    p.restore();
    p.setPen(QPen(QColor(190, 150, 70), 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(box.adjusted(0.5, 0.5, -0.5, -0.5));
  }

  // The name across the strips.
  QFont title(QStringLiteral("Noto Serif CJK SC"));
  title.setPixelSize(30);
  title.setWeight(QFont::Black);
  title.setLetterSpacing(QFont::AbsoluteSpacing, 6);
  p.setFont(title);
  const QRectF band(0, 118, banner_width, 40);
  p.fillRect(band, QColor(0, 0, 0, 150));
  p.setPen(QColor(0, 0, 0));
  p.drawText(band.translated(2, 2), Qt::AlignCenter, QStringLiteral("TESSEVIN"));
  p.setPen(QColor(236, 200, 110));
  p.drawText(band, Qt::AlignCenter, QStringLiteral("TESSEVIN"));
  QFont sub(QStringLiteral("Noto Sans CJK SC"));
  sub.setPixelSize(12);
  sub.setWeight(QFont::Bold);
  p.setFont(sub);
  p.setPen(QColor(225, 225, 235));
  p.drawText(QRectF(0, 158, banner_width, 18), Qt::AlignCenter,
             QStringLiteral("召唤师等级 · 个人战斗力 · 隐藏分数"));
  return image;
}

bool write_baseline_jpeg(const QImage& picture, const char* path) {
  const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
  FILE* out = std::fopen(path, "wb");
  if (out == nullptr) return false;
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  jpeg_stdio_dest(&info, out);
  info.image_width = static_cast<JDIMENSION>(rgb.width());
  info.image_height = static_cast<JDIMENSION>(rgb.height());
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 90, TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<uchar*>(rgb.constScanLine(static_cast<int>(info.next_scanline)));
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return std::fclose(out) == 0;
}

QImage draw_icon(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  const double r = size / 2.0;
  QRadialGradient back(QPointF(r, r * 0.8), r);
  back.setColorAt(0, QColor(40, 60, 110));
  back.setColorAt(1, QColor(8, 10, 24));
  p.setBrush(back);
  p.setPen(QPen(QColor(220, 185, 90), std::max(1.0, size / 20.0)));
  p.drawEllipse(QRectF(0.5, 0.5, size - 1, size - 1)
                    .adjusted(size / 32.0, size / 32.0, -size / 32.0, -size / 32.0));
  draw_crest(p, QPointF(r, r), r * 0.62, QColor(40, 110, 220), QColor(220, 185, 90));
  return image;
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("resources");
  const QByteArray banner_path = (folder + QStringLiteral("/banner.jpg")).toLocal8Bit();
  if (!write_baseline_jpeg(draw_banner(), banner_path.constData())) return 1;
  for (int size : {64, 48, 32, 24, 16}) {
    if (!draw_icon(size).save(folder + QStringLiteral("/icons/tessevin-%1.png").arg(size)))
      return 1;
  }
  std::puts("artwork written");
  return 0;
}
