#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QSize>
#include <QString>
#include <vector>

namespace brevant {

// How long a GIF frame stays on screen: its delay in hundredths of a second
// times 10 ms when the delay is more than 4 hundredths, else 100 ms (very short
// delays are what old encoders wrote for "as fast as you like").
int FrameDelayMs(int hundredths);

// The colour a GIF names as its background (the colour behind disposed frames),
// white when it names none or the bytes are not a GIF.
QColor GifBackgroundColor(const QByteArray& bytes);

struct AnimationFrame {
  QImage image;  // the whole picture while this frame is up; transparent where nothing is drawn
  int delayMs = 100;
};

struct Animation {
  std::vector<AnimationFrame> frames;  // none when the file could not be decoded
  QColor background = Qt::white;
  bool isGif = false;
};

// Decodes a picture file once. A GIF gives every frame composed with the ones
// before it: a frame with disposal method 2 leaves its area to the background
// for the next one, a frame with method 3 leaves what was there before it. Any
// other picture is one frame.
Animation DecodeAnimation(const QString& file);

// A frame as it is shown: a GIF's over its background colour, a still as it is.
QImage ShownFrame(const Animation& animation, int index);

}  // namespace brevant
