#pragma once

#include <QString>
#include <functional>
#include <vector>

#include "controls/color_line.h"
#include "controls/picture_button.h"
#include "controls/skin_dialog.h"
#include "controls/skin_label.h"

namespace brevant {

// The program's own message box: a title, a text, "Ok" alone or "Ok" and
// "Cancel"; modal; 1 for "Ok", 2 for "Cancel" or the close button.
//
// 415 x 162 pixels, rounded corners (8 x 8 ellipse), background (248,248,248),
// dragged by its background, opened with its top-left corner at the top-left
// corner of the owner's window. Enter and Escape do nothing; only the mouse or
// a focused button (space bar) closes it. "Ok" and "Cancel" are retitled
// through the language pack; the caller translates the title and the text.
class CNoteDlg : public CTDialog {
  Q_OBJECT

 public:
  static constexpr int kOk = 1;
  static constexpr int kCancel = 2;

  // The skin folder the pictures come from (Skin/ beside the executable by default).
  static void SetSkinFolder(const QString& folder);

  CNoteDlg(QWidget* owner, const QString& title, const QString& text, bool withCancel);

  // Shows a note and waits for the operator: kOk or kCancel.
  static int ShowNote(QWidget* owner, const QString& title, const QString& text,
                      bool withCancel = false);

  CTStaticGdiplus* Title() const { return title_; }
  CTStaticGdiplus* Text() const { return text_; }
  CTButtonPicture* OkButton() const { return ok_; }
  CTButtonPicture* CancelButton() const { return cancel_; }
  CTButtonPicture* CloseButton() const { return close_; }
  bool WithCancel() const { return withCancel_; }

  void reject() override;

 private:
  CTStaticGdiplus* title_;
  CTButtonPicture* close_;
  CColorLine* separator_;
  CTStaticGdiplus* text_;
  CTButtonPicture* cancel_;
  CTButtonPicture* ok_;
  bool withCancel_;
};

// While one exists, notes are answered without waiting for anyone, so a test
// never blocks in a modal loop. Each note is fully built (retitled and laid out),
// recorded, and answered with the next queued answer: a number, or a function
// that gets the note (shown, not modal) and returns what it decided, for
// example after clicking one of its buttons. With nothing queued the answer is
// kOk. Not for nesting.
class NoteAnswerer {
 public:
  struct Note {
    QString title;
    QString text;
    bool withCancel = false;
  };

  NoteAnswerer();
  ~NoteAnswerer();
  NoteAnswerer(const NoteAnswerer&) = delete;
  NoteAnswerer& operator=(const NoteAnswerer&) = delete;

  void Queue(int answer);
  void Queue(std::function<int(CNoteDlg&)> answer);
  const std::vector<Note>& Notes() const { return notes_; }

 private:
  friend class CNoteDlg;
  int Answer(CNoteDlg& note);

  std::vector<std::function<int(CNoteDlg&)>> queue_;
  std::vector<Note> notes_;
};

}  // namespace brevant
