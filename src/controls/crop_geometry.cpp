#include "controls/crop_geometry.h"

#include <algorithm>
#include <cmath>

namespace brevant {

namespace {

int Round(double value) {
  return static_cast<int>(std::floor(value + 0.5));
}

}  // namespace

CropRect CropRect::Intersected(const CropRect& other) const {
  const int left = std::max(x, other.x);
  const int top = std::max(y, other.y);
  const int right = std::min(Right(), other.Right());
  const int bottom = std::min(Bottom(), other.Bottom());
  if (right <= left || bottom <= top)
    return {};
  return {left, top, right - left, bottom - top};
}

void CropGeometry::SetCanvas(int width, int height) {
  canvasW_ = std::max(0, width);
  canvasH_ = std::max(0, height);
  ComputeDisplay();
  ComputeFrame();
}

void CropGeometry::Load(int pictureWidth, int pictureHeight) {
  pictureW_ = std::max(0, pictureWidth);
  pictureH_ = std::max(0, pictureHeight);
  zoom_ = 1.0;
  panX_ = panY_ = 0;
  remembered_ = false;
  drag_ = Drag::None;
  ComputeDisplay();
  ComputeFrame();
}

void CropGeometry::Clear() {
  Load(0, 0);
}

double CropGeometry::Scale() const {
  return HasPicture() ? static_cast<double>(display_.w) / pictureW_ : 0.0;
}

CropRegion CropGeometry::Source() const {
  const double s = Scale();
  if (s <= 0 || frame_.Empty())
    return {};
  return {(frame_.x - display_.x) / s, (frame_.y - display_.y) / s, frame_.w / s, frame_.h / s};
}

CropRect CropGeometry::Visible() const {
  return display_.Intersected({0, 0, canvasW_, canvasH_});
}

void CropGeometry::ComputeDisplay() {
  if (!HasPicture() || canvasW_ <= 0 || canvasH_ <= 0) {
    display_ = {};
    return;
  }
  const double cw = canvasW_;
  const double ch = canvasH_;
  int fitW = 0;
  int fitH = 0;
  if (cw / ch < static_cast<double>(pictureW_) / pictureH_) {
    fitW = canvasW_;
    fitH = static_cast<int>(cw * pictureH_ / pictureW_);
  } else {
    fitW = static_cast<int>(ch * pictureW_ / pictureH_);
    fitH = canvasH_;
  }
  // A picture thinner than a pixel still shows one.
  const int w = std::max(1, static_cast<int>(fitW * zoom_));
  const int h = std::max(1, static_cast<int>(fitH * zoom_));
  int x = (canvasW_ - w) / 2 + panX_;
  int y = (canvasH_ - h) / 2 + panY_;
  if (x > canvasW_ - kKeepInside) {
    panX_ += canvasW_ - kKeepInside - x;
    x = canvasW_ - kKeepInside;
  } else if (x + w < kKeepInside) {
    panX_ += kKeepInside - (x + w);
    x = kKeepInside - w;
  }
  if (y > canvasH_ - kKeepInside) {
    panY_ += canvasH_ - kKeepInside - y;
    y = canvasH_ - kKeepInside;
  } else if (y + h < kKeepInside) {
    panY_ += kKeepInside - (y + h);
    y = kKeepInside - h;
  }
  display_ = {x, y, w, h};
}

void CropGeometry::ComputeFrame() {
  const CropRect visible = Visible();
  if (!HasPicture() || visible.Empty()) {
    frame_ = {};
    return;
  }
  const double s = Scale();
  const int w = std::min(Round(s * kFrameWidth), visible.w);
  const int h = std::min(Round(s * kFrameHeight), visible.h);
  int cx = 0;
  int cy = 0;
  if (remembered_) {
    cx = display_.x + Round(s * centreX_);
    cy = display_.y + Round(s * centreY_);
  } else {
    cx = display_.x + display_.w / 2;
    cy = display_.y + display_.h / 2;
  }
  PushFrameInside({cx - w / 2, cy - h / 2, w, h});
}

void CropGeometry::PushFrameInside(CropRect frame) {
  const CropRect visible = Visible();
  if (visible.Empty()) {
    frame_ = {};
    return;
  }
  if (frame.Right() > visible.Right())
    frame.x -= frame.Right() - visible.Right();
  else if (frame.x < visible.x)
    frame.x = visible.x;
  if (frame.Bottom() > visible.Bottom())
    frame.y -= frame.Bottom() - visible.Bottom();
  else if (frame.y < visible.y)
    frame.y = visible.y;
  frame_ = frame.Intersected(visible);
}

void CropGeometry::RememberCentre() {
  const double s = Scale();
  if (s <= 0 || frame_.Empty())
    return;
  centreX_ = ((frame_.x + frame_.Right()) / 2 - display_.x) / s;
  centreY_ = ((frame_.y + frame_.Bottom()) / 2 - display_.y) / s;
  remembered_ = true;
}

CropGeometry::Drag CropGeometry::Press(int x, int y) {
  drag_ = Drag::None;
  if (!HasPicture())
    return drag_;
  if (frame_.Contains(x, y))
    drag_ = Drag::Frame;
  else if (display_.Contains(x, y))
    drag_ = Drag::Picture;
  dragStartX_ = x;
  dragStartY_ = y;
  dragStartFrame_ = frame_;
  dragStartPanX_ = panX_;
  dragStartPanY_ = panY_;
  return drag_;
}

void CropGeometry::Move(int x, int y) {
  const int dx = x - dragStartX_;
  const int dy = y - dragStartY_;
  if (drag_ == Drag::Frame) {
    CropRect moved = dragStartFrame_;
    moved.x += dx;
    moved.y += dy;
    PushFrameInside(moved);
  } else if (drag_ == Drag::Picture) {
    RememberCentre();
    panX_ = dragStartPanX_ + dx;
    panY_ = dragStartPanY_ + dy;
    ComputeDisplay();
    ComputeFrame();
  }
}

void CropGeometry::Release(int x, int y) {
  if (drag_ != Drag::None)
    Move(x, y);
  drag_ = Drag::None;
  RememberCentre();
}

bool CropGeometry::DoubleClick(int x, int y) {
  if (!HasPicture() || !display_.Contains(x, y) || frame_.Contains(x, y))
    return false;
  zoom_ = 1.0;
  panX_ = panY_ = 0;
  remembered_ = false;
  ComputeDisplay();
  ComputeFrame();
  return true;
}

bool CropGeometry::Wheel(int x, int y, int delta) {
  if (!HasPicture() || delta == 0)
    return false;
  int anchorX = x;
  int anchorY = y;
  if (!display_.Contains(x, y)) {
    anchorX = display_.x + display_.w / 2;
    anchorY = display_.y + display_.h / 2;
  }
  const double s = Scale();
  const double ax = (anchorX - display_.x) / s;
  const double ay = (anchorY - display_.y) / s;
  const double zoom =
      std::clamp(delta > 0 ? zoom_ * kZoomStep : zoom_ / kZoomStep, kZoomMin, kZoomMax);
  if (zoom == zoom_)
    return false;
  RememberCentre();
  zoom_ = zoom;
  ComputeDisplay();
  const double s2 = Scale();
  panX_ += anchorX - Round(s2 * ax) - display_.x;
  panY_ += anchorY - Round(s2 * ay) - display_.y;
  ComputeDisplay();
  ComputeFrame();
  return true;
}

CropGeometry::Cursor CropGeometry::CursorAt(int x, int y) const {
  if (!HasPicture())
    return Cursor::Arrow;
  if (drag_ == Drag::Picture || frame_.Contains(x, y))
    return Cursor::Move;
  if (display_.Contains(x, y))
    return Cursor::Hand;
  return Cursor::Arrow;
}

}  // namespace brevant
