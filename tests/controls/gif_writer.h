#pragma once

// Writes small GIF files with exactly the frames, delays and disposal methods
// a test needs. The image data is valid LZW that never grows past 9-bit codes
// (a clear code every 250 pixels), which every decoder reads.
#include <QRgb>
#include <cstdint>
#include <string>
#include <vector>

namespace brevant::testing {

struct GifFrame {
  int left = 0, top = 0, width = 0, height = 0;
  std::uint8_t color = 0;  // every pixel of the frame's rectangle
  int delayHundredths = 10;
  int disposal = 1;  // 1 leave, 2 restore to background, 3 restore to previous
};

inline std::string WriteGif(int width, int height, const std::vector<QRgb>& palette,
                            int backgroundIndex, const std::vector<GifFrame>& frames) {
  std::string out = "GIF89a";
  auto u16 = [&](int v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
  };
  u16(width);
  u16(height);
  out.push_back(static_cast<char>(0xF7));  // global table of 256 entries
  out.push_back(static_cast<char>(backgroundIndex));
  out.push_back(0);
  for (int i = 0; i < 256; ++i) {
    const QRgb c = i < static_cast<int>(palette.size()) ? palette[i] : 0;
    out.push_back(static_cast<char>(qRed(c)));
    out.push_back(static_cast<char>(qGreen(c)));
    out.push_back(static_cast<char>(qBlue(c)));
  }
  out += std::string("\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00", 19);
  for (const GifFrame& f : frames) {
    out += std::string("\x21\xF9\x04", 3);
    out.push_back(static_cast<char>((f.disposal & 7) << 2));
    u16(f.delayHundredths);
    out.push_back(0);
    out.push_back(0);
    out.push_back(0x2C);
    u16(f.left);
    u16(f.top);
    u16(f.width);
    u16(f.height);
    out.push_back(0);
    out.push_back(8);  // minimum code size
    std::vector<int> codes{256};
    for (int i = 0; i < f.width * f.height; ++i) {
      if (i > 0 && i % 250 == 0)
        codes.push_back(256);
      codes.push_back(f.color);
    }
    codes.push_back(257);
    std::string data;
    std::uint32_t bits = 0;
    int count = 0;
    for (int code : codes) {
      bits |= static_cast<std::uint32_t>(code) << count;
      count += 9;
      while (count >= 8) {
        data.push_back(static_cast<char>(bits & 0xFF));
        bits >>= 8;
        count -= 8;
      }
    }
    if (count > 0)
      data.push_back(static_cast<char>(bits & 0xFF));
    for (std::size_t at = 0; at < data.size(); at += 255) {
      const std::size_t n = std::min<std::size_t>(255, data.size() - at);
      out.push_back(static_cast<char>(n));
      out += data.substr(at, n);
    }
    out.push_back(0);
  }
  out.push_back(0x3B);
  return out;
}

}  // namespace brevant::testing
