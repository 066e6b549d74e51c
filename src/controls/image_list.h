#pragma once

#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QSize>
#include <QString>
#include <vector>

namespace brevant {

// Pictures of one size, by index, with one colour transparent (white unless
// told otherwise), for the grid's cells.
//
// Indices are the caller's: a picture that cannot be loaded leaves its index
// empty (drawn as nothing, and reported once) rather than moving the pictures
// after it, so an index always means the same picture.
class CImageList {
 public:
  explicit CImageList(QSize size = QSize(24, 24), QColor transparent = QColor(255, 255, 255));

  // Puts the picture of a file at an index, growing the list as needed; false
  // (and an empty index) when the file cannot be used. A picture of another
  // size is scaled to the list's size.
  bool SetImage(int index, const QString& file);
  bool SetImage(int index, const QImage& image);
  // Appends at the end; the index it took, also when the file could not be used.
  int Add(const QString& file);

  // The picture at an index, or null for an empty or unknown index.
  const QPixmap* Image(int index) const;
  int Count() const { return static_cast<int>(images_.size()); }
  QSize ImageSize() const { return size_; }

 private:
  QSize size_;
  QColor transparent_;
  std::vector<QPixmap> images_;
};

}  // namespace brevant
