#pragma once

#include <QImage>
#include <QString>
#include <QWidget>

#include "controls/crop_geometry.h"

namespace brevant {

// The crop canvas: a picture, the view of it (zoom and pan) and the crop
// frame, which always stands for 229 x 51 picture pixels (CropGeometry).
//
// Mouse: drag the frame or the picture with the left button; a double click
// on the picture outside the frame restores zoom 1, no pan and a centred
// frame; the wheel zooms by 1.15 a notch within 0.2 ... 10, keeping the point
// under the pointer in place. The cursor is the four-way arrow over the frame
// and while the picture is dragged, the hand elsewhere over the picture.
// Drawing: background (40,40,40), the picture smoothly scaled, everything
// outside the frame darkened by black at 140/255, the frame outlined by a
// 2-pixel white line.
class CImagePreviewCtrl : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kOutputWidth = CropGeometry::kFrameWidth;
  static constexpr int kOutputHeight = CropGeometry::kFrameHeight;
  static constexpr int kJpegQuality = 95;

  explicit CImagePreviewCtrl(QWidget* parent = nullptr);

  // Decodes the file (PNG, JPEG, BMP, whatever Qt reads). False, with no
  // picture kept, when it cannot be decoded.
  bool LoadPicture(const QString& file);
  bool HasPicture() const { return !picture_.isNull(); }
  const QString& PicturePath() const { return path_; }
  const QImage& Picture() const { return picture_; }
  const CropGeometry& Geometry() const { return geometry_; }

  // The framed part stretched over kOutputWidth x kOutputHeight; a null image
  // without a picture or a frame.
  QImage RenderCrop() const;
  // RenderCrop as a JPEG of quality kJpegQuality, replacing the file; false
  // (the reason in *error, an existing file untouched) when nothing could be
  // rendered, encoded or written.
  bool RenderToFile(const QString& file, QString* error = nullptr) const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  void UpdateCursor(const QPoint& at);

  QImage picture_;
  QString path_;
  CropGeometry geometry_;
  int wheelRest_ = 0;
  // The picture at the display size, made again when that changes.
  mutable QImage scaled_;
};

}  // namespace brevant
