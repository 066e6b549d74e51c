// The crop canvas: its geometry as tables, then the canvas itself (what it
// draws, what it writes).
#include "controls/crop_geometry.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QTest>
#include <QWheelEvent>
#include <cmath>

#include "controls/image_preview_ctrl.h"
#include "support/gui_test.h"
#include "support/temp_dir.h"

namespace brevant {
namespace {

using testing::TempDir;

constexpr int kCanvasW = 387;
constexpr int kCanvasH = 118;

CropGeometry Loaded(int w, int h) {
  CropGeometry g;
  g.SetCanvas(kCanvasW, kCanvasH);
  g.Load(w, h);
  return g;
}

// A point of the canvas on the picture but outside the frame.
std::pair<int, int> BesideFrame(const CropGeometry& g) {
  const CropRect visible = g.Display().Intersected({0, 0, kCanvasW, kCanvasH});
  return {visible.x + 3, visible.y + visible.h / 2};
}

TEST(CropGeometry, LoadingFitsCentresAndFramesTheLogoSize) {
  struct Case {
    int w, h;
    CropRect display, frame;
    double sourceW, sourceH;  // what the frame covers, in picture pixels
  };
  const Case cases[] = {
      // Wide: fitted to the width; the frame is 229 x 51 picture pixels (one to one).
      {1000, 200, {0, 20, 387, 77}, {149, 48, 89, 20}, 229.97, 51.68},
      // 300 x 40: the frame is cut to the picture's height, 229 picture pixels wide.
      {300, 40, {0, 33, 387, 51}, {46, 33, 295, 51}, 228.68, 39.53},
      // Tall: fitted to the height; the frame is cut to the picture's width.
      {400, 800, {164, 0, 59, 118}, {176, 55, 34, 8}, 230.51, 54.24},
  };
  for (const Case& c : cases) {
    const CropGeometry g = Loaded(c.w, c.h);
    EXPECT_EQ(g.Display(), c.display) << c.w << "x" << c.h;
    EXPECT_EQ(g.Frame(), c.frame) << c.w << "x" << c.h;
    EXPECT_DOUBLE_EQ(g.Zoom(), 1.0);
    EXPECT_FALSE(g.CentreRemembered());
    const CropRegion source = g.Source();
    EXPECT_NEAR(source.w, c.sourceW, 0.01) << c.w << "x" << c.h;
    EXPECT_NEAR(source.h, c.sourceH, 0.01) << c.w << "x" << c.h;
  }
  // 1000 x 200: the frame's region starts where the frame's centre is the picture's.
  const CropRegion region = Loaded(1000, 200).Source();
  EXPECT_NEAR(region.x + region.w / 2, 500, 2);
  EXPECT_NEAR(region.y + region.h / 2, 100, 2);
  EXPECT_EQ(CropGeometry().Source().w, 0);
}

TEST(CropGeometry, TheFrameStandsForTheLogoSizeAtEveryZoomUntilTheViewIsSmaller) {
  CropGeometry g = Loaded(1000, 200);
  for (int step = 1; step <= 17; ++step) {
    g.Wheel(g.Display().x + g.Display().w / 2, g.Display().y + g.Display().h / 2, 120);
    const CropRegion source = g.Source();
    const CropRect visible = g.Display().Intersected({0, 0, kCanvasW, kCanvasH});
    const double s = g.Scale();
    // Rounded to whole canvas pixels, then cut to what is visible.
    EXPECT_NEAR(source.w, std::min(229.0, visible.w / s), 0.5 / s + 1e-9) << step;
    EXPECT_NEAR(source.h, std::min(51.0, visible.h / s), 0.5 / s + 1e-9) << step;
  }
  // At zoom 10 the canvas shows less than 229 x 51 picture pixels: the frame
  // is all of it.
  EXPECT_DOUBLE_EQ(g.Zoom(), 10.0);
  EXPECT_EQ(g.Frame(), (CropRect{0, 0, kCanvasW, kCanvasH}));
  EXPECT_NEAR(g.Source().w, 100.0, 0.01);
}

TEST(CropGeometry, WheelStepsMultiplyByOnePointOneFiveWithinTheLimits) {
  CropGeometry g = Loaded(1000, 200);
  const int x = 200;
  const int y = 60;
  for (int i = 0; i < 5; ++i)
    EXPECT_TRUE(g.Wheel(x, y, 120));
  EXPECT_NEAR(g.Zoom(), std::pow(1.15, 5), 1e-12);
  EXPECT_NEAR(g.Zoom(), 2.01, 0.005);

  int steps = 0;
  while (g.Wheel(x, y, 120))
    ++steps;
  EXPECT_EQ(g.Zoom(), CropGeometry::kZoomMax);
  EXPECT_EQ(steps, 12);  // 1.15^17 passes 10: cut to 10
  EXPECT_FALSE(g.Wheel(x, y, 120));
  EXPECT_EQ(g.Zoom(), 10.0);

  while (g.Wheel(x, y, -120)) {
  }
  EXPECT_EQ(g.Zoom(), CropGeometry::kZoomMin);
  EXPECT_FALSE(g.Wheel(x, y, -120));
  EXPECT_FALSE(g.Wheel(x, y, 0));
  EXPECT_FALSE(CropGeometry().Wheel(x, y, 120));  // no picture
}

TEST(CropGeometry, TheWheelKeepsThePicturePointUnderThePointer) {
  const std::pair<int, int> pointers[] = {{40, 30}, {193, 58}, {370, 90}};
  for (const auto& [x, y] : pointers) {
    CropGeometry g = Loaded(1000, 200);
    for (int step = 0; step < 6; ++step) {
      const double s = g.Scale();
      const bool inside = g.Display().Contains(x, y);
      const double ax = (x - g.Display().x) / s;
      const double ay = (y - g.Display().y) / s;
      ASSERT_TRUE(g.Wheel(x, y, step < 4 ? 120 : -120));
      if (!inside)
        continue;
      const double s2 = g.Scale();
      // Within the rounding to whole canvas pixels.
      EXPECT_NEAR((x - g.Display().x) / s2, ax, 1.0 / s2 + 1e-9) << x << "," << y << " " << step;
      EXPECT_NEAR((y - g.Display().y) / s2, ay, 1.0 / s2 + 1e-9) << x << "," << y << " " << step;
    }
  }
  // Outside the picture the anchor is the picture's centre.
  CropGeometry g = Loaded(1000, 200);
  ASSERT_TRUE(g.Wheel(5, 5, 120));
  EXPECT_NEAR((kCanvasW / 2 - g.Display().x) / g.Scale(), 500, 2);
}

TEST(CropGeometry, DraggingThePictureStopsWithFiftyPixelsInside) {
  struct Case {
    int dx, dy;
    int left, top, right, bottom;  // -1: not checked
  };
  const Case cases[] = {
      {10000, 0, kCanvasW - 50, -1, -1, -1},
      {-10000, 0, -1, -1, 50, -1},
      {0, 10000, -1, kCanvasH - 50, -1, -1},
      {0, -10000, -1, -1, -1, 50},
  };
  for (const Case& c : cases) {
    CropGeometry g = Loaded(1000, 200);
    ASSERT_TRUE(g.Wheel(193, 58, 120));  // a larger view moves on both axes
    const auto [x, y] = BesideFrame(g);
    ASSERT_EQ(g.Press(x, y), CropGeometry::Drag::Picture);
    g.Move(x + c.dx, y + c.dy);
    g.Release(x + c.dx, y + c.dy);
    const CropRect& d = g.Display();
    if (c.left >= 0) {
      EXPECT_EQ(d.x, c.left);
    }
    if (c.top >= 0) {
      EXPECT_EQ(d.y, c.top);
    }
    if (c.right >= 0) {
      EXPECT_EQ(d.Right(), c.right);
    }
    if (c.bottom >= 0) {
      EXPECT_EQ(d.Bottom(), c.bottom);
    }
    // The pan holds what the stop allowed, and the frame stays on the visible part.
    EXPECT_EQ(d.x, (kCanvasW - d.w) / 2 + g.PanX());
    EXPECT_EQ(d.y, (kCanvasH - d.h) / 2 + g.PanY());
    const CropRect visible = d.Intersected({0, 0, kCanvasW, kCanvasH});
    EXPECT_EQ(g.Frame().Intersected(visible), g.Frame());
    EXPECT_FALSE(g.Frame().Empty());
  }
}

TEST(CropGeometry, TheFrameTravelsWithThePictureAndIsPushedInsideWhenDragged) {
  CropGeometry g = Loaded(1000, 200);
  ASSERT_TRUE(g.Wheel(193, 58, 120));
  ASSERT_TRUE(g.Wheel(193, 58, 120));
  const CropRegion before = g.Source();
  const auto [x, y] = BesideFrame(g);
  ASSERT_EQ(g.Press(x, y), CropGeometry::Drag::Picture);
  g.Move(x + 30, y + 5);
  EXPECT_NEAR(g.Source().x, before.x, 2.0);  // the same picture part
  EXPECT_NEAR(g.Source().y, before.y, 2.0);
  g.Release(x + 30, y + 5);

  // The frame dragged far right stops at the visible edge, its size kept.
  const CropRect frame = g.Frame();
  const int fx = frame.x + frame.w / 2;
  const int fy = frame.y + frame.h / 2;
  ASSERT_EQ(g.Press(fx, fy), CropGeometry::Drag::Frame);
  g.Move(fx + 1000, fy - 1000);
  g.Release(fx + 1000, fy - 1000);
  const CropRect visible = g.Display().Intersected({0, 0, kCanvasW, kCanvasH});
  EXPECT_EQ(g.Frame().Right(), visible.Right());
  EXPECT_EQ(g.Frame().y, visible.y);
  EXPECT_EQ(g.Frame().w, frame.w);
  EXPECT_EQ(g.Frame().h, frame.h);
  // The place is remembered: zooming keeps the frame on the same picture part.
  const CropRegion placed = g.Source();
  ASSERT_TRUE(g.CentreRemembered());
  ASSERT_TRUE(g.Wheel(100, 60, -120));
  EXPECT_NEAR(g.Source().x + g.Source().w / 2, placed.x + placed.w / 2, 3.0);
  EXPECT_NEAR(g.Source().y + g.Source().h / 2, placed.y + placed.h / 2, 3.0);

  // Presses off the picture drag nothing.
  CropGeometry small = Loaded(400, 800);
  EXPECT_EQ(small.Press(5, 5), CropGeometry::Drag::None);
  EXPECT_EQ(CropGeometry().Press(5, 5), CropGeometry::Drag::None);
}

TEST(CropGeometry, ADoubleClickBesideTheFrameRestoresTheFirstView) {
  const CropGeometry first = Loaded(1000, 200);
  CropGeometry g = Loaded(1000, 200);
  for (int i = 0; i < 3; ++i)
    ASSERT_TRUE(g.Wheel(300, 40, 120));
  auto [x, y] = BesideFrame(g);
  g.Press(x, y);
  g.Move(x - 40, y + 10);
  g.Release(x - 40, y + 10);
  ASSERT_NE(g.Display(), first.Display());

  // On the frame it does nothing.
  const CropRect frame = g.Frame();
  EXPECT_FALSE(g.DoubleClick(frame.x + 2, frame.y + 2));
  EXPECT_EQ(g.Frame(), frame);

  std::tie(x, y) = BesideFrame(g);
  ASSERT_FALSE(g.Frame().Contains(x, y));
  EXPECT_TRUE(g.DoubleClick(x, y));
  EXPECT_DOUBLE_EQ(g.Zoom(), 1.0);
  EXPECT_EQ(g.PanX(), 0);
  EXPECT_EQ(g.PanY(), 0);
  EXPECT_FALSE(g.CentreRemembered());
  EXPECT_EQ(g.Display(), first.Display());
  EXPECT_EQ(g.Frame(), first.Frame());
  // Off the picture it does nothing either.
  CropGeometry tall = Loaded(400, 800);
  EXPECT_FALSE(tall.DoubleClick(5, 5));
}

TEST(CropGeometry, TheCursorTellsWhatAPressWouldDrag) {
  CropGeometry g = Loaded(400, 800);
  const CropRect frame = g.Frame();
  EXPECT_EQ(g.CursorAt(frame.x + 1, frame.y + 1), CropGeometry::Cursor::Move);
  EXPECT_EQ(g.CursorAt(g.Display().x + 1, g.Display().y + 1), CropGeometry::Cursor::Hand);
  EXPECT_EQ(g.CursorAt(5, 5), CropGeometry::Cursor::Arrow);
  g.Press(g.Display().x + 1, g.Display().y + 1);
  EXPECT_EQ(g.CursorAt(5, 5), CropGeometry::Cursor::Move);  // while the picture is dragged
}

// A smooth picture, so a copy of a region can be compared pixel by pixel.
QImage Gradient(int w, int h) {
  QImage image(w, h, QImage::Format_RGB32);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x)
      image.setPixel(x, y, qRgb(x * 255 / w, y * 255 / h, 128));
  }
  return image;
}

class PreviewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    canvas_.resize(kCanvasW, kCanvasH);
    ASSERT_TRUE(Gradient(1000, 200).save(QString::fromStdString((dir_ / "wide.png").string())));
  }
  QString File(const char* name) const { return QString::fromStdString((dir_ / name).string()); }

  TempDir dir_;
  CImagePreviewCtrl canvas_;
};

TEST_F(PreviewTest, ApplyWritesTheFramedRegionAsA229By51Jpeg) {
  ASSERT_TRUE(canvas_.LoadPicture(File("wide.png")));
  QString error;
  // Named .png, as the source was: the content is JPEG whatever the name says.
  ASSERT_TRUE(canvas_.RenderToFile(File("out.png"), &error)) << error.toStdString();
  QFile out(File("out.png"));
  ASSERT_TRUE(out.open(QIODevice::ReadOnly));
  EXPECT_TRUE(out.read(3) == QByteArray("\xFF\xD8\xFF", 3));
  out.close();
  QImageReader reader(File("out.png"));
  reader.setDecideFormatFromContent(true);
  EXPECT_EQ(reader.format(), QByteArray("jpeg"));
  const QImage written = reader.read();
  ASSERT_FALSE(written.isNull()) << reader.errorString().toStdString();
  ASSERT_EQ(written.size(), QSize(229, 51));

  // One to one: the region of the picture under the frame, within JPEG's loss.
  const CropRegion region = canvas_.Geometry().Source();
  const QImage picture = Gradient(1000, 200);
  for (const auto& [x, y] : {std::pair{0, 0}, {228, 0}, {114, 25}, {0, 50}, {228, 50}}) {
    const int px = static_cast<int>(region.x + (x + 0.5) * region.w / 229);
    const int py = static_cast<int>(region.y + (y + 0.5) * region.h / 51);
    EXPECT_TRUE(testing::Near(written.pixelColor(x, y), picture.pixelColor(px, py), 8))
        << x << "," << y << ": " << written.pixelColor(x, y).name().toStdString() << " vs "
        << picture.pixelColor(px, py).name().toStdString();
  }

  // An existing file is replaced.
  ASSERT_TRUE(canvas_.RenderToFile(File("out.png")));
  EXPECT_EQ(QImage(File("out.png")).size(), QSize(229, 51));
}

TEST_F(PreviewTest, NothingIsWrittenWithoutAPictureOrAFolder) {
  EXPECT_FALSE(canvas_.RenderToFile(File("none.jpg")));
  EXPECT_FALSE(QFile::exists(File("none.jpg")));

  const QString broken = File("broken.png");
  QFile file(broken);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("not a picture");
  file.close();
  EXPECT_FALSE(canvas_.LoadPicture(broken));
  EXPECT_FALSE(canvas_.HasPicture());
  EXPECT_FALSE(canvas_.RenderToFile(File("none.jpg")));

  ASSERT_TRUE(canvas_.LoadPicture(File("wide.png")));
  QString error;
  EXPECT_FALSE(canvas_.RenderToFile(File("missing-folder/out.jpg"), &error));
  EXPECT_FALSE(error.isEmpty());
}

TEST_F(PreviewTest, DrawsThePictureDarkenedAroundAWhiteFrame) {
  ASSERT_TRUE(testing::ShowAndWait(&canvas_));
  ASSERT_TRUE(canvas_.LoadPicture(File("wide.png")));
  const QImage look = testing::Look(&canvas_);
  const CropRect frame = canvas_.Geometry().Frame();
  const CropRect display = canvas_.Geometry().Display();
  // Off the picture: 40,40,40 under black at 140/255.
  const int shaded = 40 * (255 - 140) / 255;
  EXPECT_TRUE(testing::Near(look.pixelColor(2, 2), QColor(shaded, shaded, shaded), 2));
  // Inside the frame the picture as it is; beside it the picture darkened.
  const QColor inside = look.pixelColor(frame.x + frame.w / 2, frame.y + frame.h / 2);
  const QColor beside = look.pixelColor(display.x + 20, frame.y + frame.h / 2);
  EXPECT_TRUE(testing::Near(inside, QColor(127, 127, 128), 6)) << inside.name().toStdString();
  EXPECT_LT(beside.blue(), 128 * 120 / 255 + 4);
  // The outline: white.
  EXPECT_EQ(look.pixelColor(frame.x, frame.y + frame.h / 2), QColor(Qt::white));
  EXPECT_EQ(look.pixelColor(frame.x + frame.w / 2, frame.y), QColor(Qt::white));
}

TEST_F(PreviewTest, TheMouseAndTheWheelDriveTheView) {
  ASSERT_TRUE(testing::ShowAndWait(&canvas_));
  ASSERT_TRUE(canvas_.LoadPicture(File("wide.png")));
  const QPoint at(200, 60);
  for (int i = 0; i < 5; ++i) {
    QWheelEvent wheel(at, canvas_.mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&canvas_, &wheel);
  }
  EXPECT_NEAR(canvas_.Geometry().Zoom(), std::pow(1.15, 5), 1e-12);

  const CropRect before = canvas_.Geometry().Display();
  const QPoint start(std::max(before.x, 0) + 5, 20);
  ASSERT_FALSE(canvas_.Geometry().Frame().Contains(start.x(), start.y()));
  QTest::mousePress(&canvas_, Qt::LeftButton, {}, start);
  QTest::mouseMove(&canvas_, start + QPoint(25, 0));
  QTest::mouseRelease(&canvas_, Qt::LeftButton, {}, start + QPoint(25, 0));
  EXPECT_EQ(canvas_.Geometry().Display().x, before.x + 25);

  QTest::mouseDClick(&canvas_, Qt::LeftButton, {}, start + QPoint(10, 0));
  EXPECT_DOUBLE_EQ(canvas_.Geometry().Zoom(), 1.0);
  EXPECT_EQ(canvas_.Geometry().PanX(), 0);
}

}  // namespace
}  // namespace brevant
