// Draws the three small sample pictures that the Samples page plays
// (data/sample-*.jpg, data/sample-*.gif). Run once; the pictures are
// committed. Build and run from the repository's top folder:
//   g++ -std=c++20 -fPIC tools/make_sample_pictures.cpp -o /tmp/make_sample_pictures \
//       $(pkg-config --cflags --libs Qt6Gui) -lgif && /tmp/make_sample_pictures data/
#include <gif_lib.h>

#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 120;

QImage sunset() {
  QImage image(kWidth, kHeight, QImage::Format_RGB32);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient sky(0, 0, 0, kHeight);
  sky.setColorAt(0, QColor(70, 40, 120));
  sky.setColorAt(0.6, QColor(240, 120, 60));
  sky.setColorAt(1, QColor(250, 200, 90));
  p.fillRect(image.rect(), sky);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(255, 230, 120));
  p.drawEllipse(QPointF(100, 78), 22, 22);
  QPainterPath hills;
  hills.moveTo(0, kHeight);
  hills.lineTo(0, 90);
  hills.cubicTo(40, 70, 70, 110, 110, 88);
  hills.cubicTo(135, 76, 150, 92, kWidth, 84);
  hills.lineTo(kWidth, kHeight);
  p.setBrush(QColor(40, 30, 50));
  p.drawPath(hills);
  return image;
}

QImage sea() {
  QImage image(kWidth, kHeight, QImage::Format_RGB32);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient water(0, 0, 0, kHeight);
  water.setColorAt(0, QColor(150, 210, 240));
  water.setColorAt(0.35, QColor(150, 210, 240));
  water.setColorAt(0.36, QColor(20, 110, 170));
  water.setColorAt(1, QColor(5, 40, 90));
  p.fillRect(image.rect(), water);
  p.setPen(QPen(QColor(220, 240, 255), 2));
  for (int row = 0; row < 6; ++row) {
    QPainterPath wave;
    const double y = 50 + row * 12;
    wave.moveTo(0, y);
    for (int x = 0; x <= kWidth; x += 4) wave.lineTo(x, y + 3 * std::sin((x + row * 17) / 9.0));
    p.drawPath(wave);
  }
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  p.drawEllipse(QPointF(40, 22), 14, 7);
  p.drawEllipse(QPointF(52, 18), 12, 8);
  return image;
}

// Flat colours only: the GIF keeps them exactly.
const std::vector<QColor> kFlowerColours = {
    QColor(60, 150, 70), QColor(30, 100, 40), QColor(230, 60, 90), QColor(255, 210, 40),
    QColor(250, 250, 250), QColor(120, 190, 240), QColor(20, 20, 20), QColor(200, 120, 220)};

QImage flower() {
  QImage image(kWidth, kHeight, QImage::Format_RGB32);
  image.fill(kFlowerColours[5]);
  QPainter p(&image);
  p.setPen(Qt::NoPen);
  p.setBrush(kFlowerColours[0]);
  p.drawRect(0, 95, kWidth, kHeight - 95);
  p.setBrush(kFlowerColours[1]);
  p.drawRect(78, 55, 5, 45);
  p.setBrush(kFlowerColours[2]);
  for (int petal = 0; petal < 6; ++petal) {
    const double a = petal * M_PI / 3;
    p.drawEllipse(QPointF(80 + 18 * std::cos(a), 45 + 18 * std::sin(a)), 11, 11);
  }
  p.setBrush(kFlowerColours[3]);
  p.drawEllipse(QPointF(80, 45), 10, 10);
  p.setBrush(kFlowerColours[7]);
  p.drawEllipse(QPointF(30, 88), 7, 7);
  p.drawEllipse(QPointF(130, 86), 7, 7);
  return image;
}

bool writeGif(const QImage& image, const std::string& path) {
  int error = 0;
  GifFileType* gif = EGifOpenFileName(path.c_str(), false, &error);
  if (!gif) return false;
  std::vector<GifColorType> colours(8);
  for (size_t i = 0; i < kFlowerColours.size(); ++i)
    colours[i] = {static_cast<GifByteType>(kFlowerColours[i].red()), static_cast<GifByteType>(kFlowerColours[i].green()),
                  static_cast<GifByteType>(kFlowerColours[i].blue())};
  ColorMapObject* map = GifMakeMapObject(8, colours.data());
  bool ok = EGifPutScreenDesc(gif, image.width(), image.height(), 8, 0, map) != GIF_ERROR &&
            EGifPutImageDesc(gif, 0, 0, image.width(), image.height(), false, nullptr) != GIF_ERROR;
  std::vector<GifByteType> line(static_cast<size_t>(image.width()));
  for (int y = 0; ok && y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      size_t best = 0;
      int bestDistance = 1 << 30;
      for (size_t i = 0; i < kFlowerColours.size(); ++i) {
        const int d = std::abs(c.red() - kFlowerColours[i].red()) + std::abs(c.green() - kFlowerColours[i].green()) +
                      std::abs(c.blue() - kFlowerColours[i].blue());
        if (d < bestDistance) bestDistance = d, best = i;
      }
      line[static_cast<size_t>(x)] = static_cast<GifByteType>(best);
    }
    ok = EGifPutLine(gif, line.data(), image.width()) != GIF_ERROR;
  }
  GifFreeMapObject(map);
  return EGifCloseFile(gif, &error) != GIF_ERROR && ok;
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  const std::string folder = argc > 1 ? argv[1] : "data/";
  const bool ok = sunset().save(QString::fromStdString(folder + "sample-sunset.jpg"), "JPG", 85) &&
                  sea().save(QString::fromStdString(folder + "sample-sea.jpg"), "JPG", 85) &&
                  writeGif(flower(), folder + "sample-flower.gif");
  if (!ok) std::fprintf(stderr, "could not write the sample pictures\n");
  return ok ? 0 : 1;
}
