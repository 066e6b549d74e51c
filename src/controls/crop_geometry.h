#pragma once

namespace brevant {

// A rectangle of whole pixels: left, top, width, height (right and bottom are
// one past the last pixel).
struct CropRect {
  int x = 0;
  int y = 0;
  int w = 0;
  int h = 0;

  int Right() const { return x + w; }
  int Bottom() const { return y + h; }
  bool Empty() const { return w <= 0 || h <= 0; }
  bool Contains(int px, int py) const {
    return px >= x && px < Right() && py >= y && py < Bottom();
  }
  CropRect Intersected(const CropRect& other) const;
  bool operator==(const CropRect&) const = default;
};

// A part of the picture in picture pixels.
struct CropRegion {
  double x = 0;
  double y = 0;
  double w = 0;
  double h = 0;
};

// Where the crop canvas draws the picture and its crop frame, and how the
// mouse and the wheel move them; no painting. The frame always stands for
// kFrameWidth x kFrameHeight picture pixels, cut to the part of the picture
// that is visible.
//
// Display rectangle: the picture fitted into the canvas, times the zoom,
// centred, moved by the pan, and kept kKeepInside pixels inside the canvas on
// each axis. Frame: centred on the remembered picture point (the picture's
// centre until one is remembered), pushed into the visible part, then cut.
class CropGeometry {
 public:
  static constexpr int kFrameWidth = 229;
  static constexpr int kFrameHeight = 51;
  static constexpr int kKeepInside = 50;
  static constexpr double kZoomStep = 1.15;
  static constexpr double kZoomMin = 0.2;
  static constexpr double kZoomMax = 10.0;

  enum class Drag { None, Frame, Picture };
  enum class Cursor { Arrow, Move, Hand };

  void SetCanvas(int width, int height);
  // A picture of this size: zoom 1, no pan, the frame centred.
  void Load(int pictureWidth, int pictureHeight);
  void Clear();
  bool HasPicture() const { return pictureW_ > 0 && pictureH_ > 0; }

  int CanvasWidth() const { return canvasW_; }
  int CanvasHeight() const { return canvasH_; }
  double Zoom() const { return zoom_; }
  int PanX() const { return panX_; }
  int PanY() const { return panY_; }
  const CropRect& Display() const { return display_; }
  const CropRect& Frame() const { return frame_; }
  // Canvas pixels per picture pixel.
  double Scale() const;
  bool CentreRemembered() const { return remembered_; }
  double CentreX() const { return centreX_; }
  double CentreY() const { return centreY_; }
  // What the frame covers, in picture pixels.
  CropRegion Source() const;

  // The left button pressed at a point: the frame or the picture starts to
  // follow the mouse (None elsewhere, or without a picture).
  Drag Press(int x, int y);
  void Move(int x, int y);
  void Release(int x, int y);
  Drag Dragging() const { return drag_; }
  // On the picture outside the frame: zoom 1, no pan, the frame centred
  // again. True when it did that.
  bool DoubleClick(int x, int y);
  // One wheel step at the pointer (delta > 0 zooms in), keeping the picture
  // point under the pointer where it is. True when the zoom changed.
  bool Wheel(int x, int y, int delta);
  Cursor CursorAt(int x, int y) const;

 private:
  void ComputeDisplay();
  void ComputeFrame();
  void RememberCentre();
  // Moves the frame into the visible part, then cuts what still lies outside.
  void PushFrameInside(CropRect frame);
  CropRect Visible() const;

  int canvasW_ = 0;
  int canvasH_ = 0;
  int pictureW_ = 0;
  int pictureH_ = 0;
  double zoom_ = 1.0;
  int panX_ = 0;
  int panY_ = 0;
  CropRect display_;
  CropRect frame_;
  bool remembered_ = false;
  double centreX_ = 0;
  double centreY_ = 0;
  Drag drag_ = Drag::None;
  int dragStartX_ = 0;
  int dragStartY_ = 0;
  CropRect dragStartFrame_;
  int dragStartPanX_ = 0;
  int dragStartPanY_ = 0;
};

}  // namespace brevant
