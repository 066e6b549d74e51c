#pragma once

#include <QColor>
#include <QLineEdit>
#include <array>

#include "controls/picture_button.h"

namespace brevant {

// A single-line edit field that draws its own rounded border.
//
// Text area: inset 6 pixels left and right, centred vertically.
// Placeholder: while the field is empty and has no focus its text is the
// placeholder, drawn in the placeholder colour; it is the field's real text
// then (text() returns it and IsShowingPlaceholder() is true). Taking the focus
// empties it; leaving the focus with an empty text puts it back.
// Password fields show every character as "*", except the placeholder.
// Typing limit: typing, pasting and dropping stop at the limit (a paste is cut
// to fit); text the program sets (setText, insert, paste) is never cut, and the
// user can still shorten it.
// Border: a rounded rectangle in the normal, hover (pointer over the field),
// focus or disabled colour. Disabled text is drawn half way to the background.
//
// Defaults, the standard setting of the screens: "Microsoft YaHei" 9.6 points,
// not bold; text (0,0,0) on (255,255,255); corner radius 4; border (213,213,220)
// normally, (216,34,40) on hover and with the focus, (0,0,0) when disabled; no
// placeholder, placeholder colour (192,192,192); no password; no typing limit.
class CTEditGdiplus : public QLineEdit {
  Q_OBJECT

 public:
  enum class Border { Normal = 0, Hover = 1, Focus = 2, Disabled = 3 };

  explicit CTEditGdiplus(QWidget* parent = nullptr);

  void SetEditFont(const QString& face, double points, bool bold = false);
  void SetEditFont(const QFont& font);
  void SetTextColor(const QColor& color);
  QColor TextColor() const { return textColor_; }
  void SetBackgroundColor(const QColor& color);
  QColor BackgroundColor() const { return background_; }
  void SetBorderColors(const QColor& normal, const QColor& hover, const QColor& focus,
                       const QColor& disabled);
  void SetBorderColor(Border which, const QColor& color);
  QColor BorderColor(Border which) const { return borders_[static_cast<std::size_t>(which)]; }
  // The border colour in use now.
  QColor CurrentBorderColor() const;
  void SetCornerRadius(int radius);
  int CornerRadius() const { return radius_; }

  // Sets the placeholder and its colour; shown at once when the field is empty
  // and unfocused. An empty text removes it.
  void SetPlaceholder(const QString& text, const QColor& color = QColor(192, 192, 192));
  QString Placeholder() const { return placeholder_; }
  QColor PlaceholderColor() const { return placeholderColor_; }
  bool IsShowingPlaceholder() const { return showingPlaceholder_; }
  // Sets the text as a real value, even when it is empty or equals the
  // placeholder: an empty field stays empty until it next loses the focus.
  void SetRealText(const QString& text);

  void SetPassword(bool password);
  bool IsPassword() const { return password_; }

  // Characters the user may type or paste; 0 is no limit.
  void SetTypingLimit(int characters);
  int TypingLimit() const { return limit_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void changeEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  class LimitValidator;

  void ShowPlaceholder(bool show);
  void ApplyColors();
  void ApplyEchoMode();

  QColor textColor_{0, 0, 0};
  QColor background_{255, 255, 255};
  std::array<QColor, 4> borders_;
  int radius_ = 4;
  QString placeholder_;
  QColor placeholderColor_{192, 192, 192};
  bool showingPlaceholder_ = false;
  bool password_ = false;
  int limit_ = 0;
  qsizetype committedLength_ = 0;
  int userEditing_ = 0;  // inside a change the user makes
  bool hover_ = false;
  bool settingPlaceholder_ = false;
};

}  // namespace brevant
