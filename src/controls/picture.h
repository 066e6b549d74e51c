#pragma once

#include <QColor>
#include <QTimer>
#include <QWidget>

#include "controls/animation.h"

namespace brevant {

// A picture, or an animated GIF played frame by frame.
//
// A still picture (any file that is not a GIF, or a GIF of one image) is drawn
// at its natural size at the top-left corner. An animated GIF is decoded once
// into its frames; Start() shows them one after the other, each for its delay
// (FrameDelayMs), over the background colour, and begins again after the last.
// Frames are stepped by a timer on the window thread. A file that cannot be
// decoded shows nothing and writes one diagnostic line.
class CTPicture : public QWidget {
  Q_OBJECT

 public:
  explicit CTPicture(QWidget* parent = nullptr);

  // Replaces the picture (stopping any animation); false when nothing could be decoded.
  bool Load(const QString& file);
  void Clear();

  // Plays an animation from its current frame; stills and empty pictures ignore it.
  void Start();
  // Stops at once; the frame on screen stays until the next Start().
  void Stop();
  bool IsPlaying() const { return timer_.isActive(); }

  bool IsAnimated() const { return animation_.frames.size() > 1; }
  int FrameCount() const { return static_cast<int>(animation_.frames.size()); }
  int CurrentFrame() const { return frame_; }
  // The natural size of the picture (empty without one).
  QSize PictureSize() const;

  // The colour behind the frames of an animation: the GIF's own background
  // colour after Load (white when it names none), or what is set here.
  void SetBackgroundColor(const QColor& color);
  QColor BackgroundColor() const { return animation_.background; }

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void Advance();

  Animation animation_;
  int frame_ = 0;
  QTimer timer_;
};

}  // namespace brevant
