#include "controls/skin_edit.h"

#include <QContextMenuEvent>
#include <QEvent>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QProxyStyle>
#include <QValidator>

#include "controls/skin_font.h"

namespace brevant {

namespace {

// Password characters are drawn as "*".
class StarStyle : public QProxyStyle {
 public:
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returnData) const override {
    if (hint == SH_LineEdit_PasswordCharacter)
      return '*';
    return QProxyStyle::styleHint(hint, option, widget, returnData);
  }
};

// The line edit's own margin inside its content rectangle.
constexpr int kLineEditMargin = 2;
constexpr int kTextInset = 6;

}  // namespace

// Cuts what the user inserts so the text stays within the limit. A text the
// program set longer than the limit may still be shortened, never lengthened.
class CTEditGdiplus::LimitValidator : public QValidator {
 public:
  explicit LimitValidator(CTEditGdiplus* edit) : QValidator(edit), edit_(edit) {}

  State validate(QString& input, int& pos) const override {
    const int limit = edit_->limit_;
    if (limit <= 0 || edit_->userEditing_ == 0 || input.size() <= limit ||
        input.size() <= edit_->committedLength_)
      return Acceptable;
    const qsizetype allowed = std::max<qsizetype>(limit, edit_->committedLength_);
    qsizetype excess = input.size() - allowed;
    // The inserted characters end at the cursor; drop their tail, never half
    // of a surrogate pair.
    qsizetype cut = pos - excess;
    if (cut > 0 && cut < input.size() && input[cut].isLowSurrogate()) {
      --cut;
      ++excess;
    }
    if (cut < 0)
      return Invalid;
    input.remove(cut, excess);
    pos = static_cast<int>(cut);
    return Acceptable;
  }

 private:
  CTEditGdiplus* edit_;
};

CTEditGdiplus::CTEditGdiplus(QWidget* parent) : QLineEdit(parent) {
  borders_ = {QColor(213, 213, 220), QColor(216, 34, 40), QColor(216, 34, 40), QColor(0, 0, 0)};
  setFrame(false);
  setTextMargins(kTextInset - kLineEditMargin, 0, kTextInset - kLineEditMargin, 0);
  setAttribute(Qt::WA_MacShowFocusRect, false);
  auto* style = new StarStyle;
  style->setParent(this);
  setStyle(style);
  setValidator(new LimitValidator(this));
  setFont(SkinFontPoints(QString(), 9.6));
  connect(this, &QLineEdit::textChanged, this, [this](const QString& text) {
    committedLength_ = text.size();
    if (showingPlaceholder_ && !settingPlaceholder_)
      ShowPlaceholder(false);
  });
  ApplyColors();
}

void CTEditGdiplus::SetEditFont(const QString& face, double points, bool bold) {
  setFont(SkinFontPoints(face, points, bold));
}

void CTEditGdiplus::SetEditFont(const QFont& font) {
  setFont(font);
}

void CTEditGdiplus::SetTextColor(const QColor& color) {
  textColor_ = color;
  ApplyColors();
}

void CTEditGdiplus::SetBackgroundColor(const QColor& color) {
  background_ = color;
  ApplyColors();
}

void CTEditGdiplus::SetBorderColors(const QColor& normal, const QColor& hover, const QColor& focus,
                                    const QColor& disabled) {
  borders_ = {normal, hover, focus, disabled};
  update();
}

void CTEditGdiplus::SetBorderColor(Border which, const QColor& color) {
  borders_[static_cast<std::size_t>(which)] = color;
  update();
}

QColor CTEditGdiplus::CurrentBorderColor() const {
  if (!isEnabled())
    return BorderColor(Border::Disabled);
  if (hasFocus())
    return BorderColor(Border::Focus);
  if (hover_)
    return BorderColor(Border::Hover);
  return BorderColor(Border::Normal);
}

void CTEditGdiplus::SetCornerRadius(int radius) {
  radius_ = radius < 0 ? 0 : radius;
  update();
}

void CTEditGdiplus::SetPlaceholder(const QString& text, const QColor& color) {
  const bool wasShowing = showingPlaceholder_;
  placeholder_ = text;
  placeholderColor_ = color;
  if (wasShowing) {
    ShowPlaceholder(false);
    settingPlaceholder_ = true;
    clear();
    settingPlaceholder_ = false;
  }
  if (!placeholder_.isEmpty() && QLineEdit::text().isEmpty() && !hasFocus())
    ShowPlaceholder(true);
  ApplyColors();
}

void CTEditGdiplus::SetRealText(const QString& text) {
  ShowPlaceholder(false);
  setText(text);
}

void CTEditGdiplus::SetPassword(bool password) {
  password_ = password;
  ApplyEchoMode();
}

void CTEditGdiplus::SetTypingLimit(int characters) {
  limit_ = characters < 0 ? 0 : characters;
}

void CTEditGdiplus::ShowPlaceholder(bool show) {
  if (show == showingPlaceholder_)
    return;
  showingPlaceholder_ = show;
  if (show) {
    settingPlaceholder_ = true;
    setText(placeholder_);
    settingPlaceholder_ = false;
  }
  ApplyEchoMode();
  ApplyColors();
}

void CTEditGdiplus::ApplyColors() {
  QPalette p = palette();
  const QColor text = showingPlaceholder_ ? placeholderColor_ : textColor_;
  // Disabled text is the text colour half way to the background.
  const QColor faded((text.red() + background_.red()) / 2, (text.green() + background_.green()) / 2,
                     (text.blue() + background_.blue()) / 2);
  for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    p.setColor(group, QPalette::Text, group == QPalette::Disabled ? faded : text);
    p.setColor(group, QPalette::Base, Qt::transparent);
    p.setColor(group, QPalette::Window, Qt::transparent);
  }
  setPalette(p);
  update();
}

void CTEditGdiplus::ApplyEchoMode() {
  setEchoMode(password_ && !showingPlaceholder_ ? QLineEdit::Password : QLineEdit::Normal);
}

void CTEditGdiplus::paintEvent(QPaintEvent* event) {
  {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath path;
    path.addRoundedRect(box, radius_, radius_);
    painter.fillPath(path, background_);
    painter.setPen(QPen(CurrentBorderColor(), 1));
    painter.drawPath(path);
  }
  QLineEdit::paintEvent(event);
}

void CTEditGdiplus::focusInEvent(QFocusEvent* event) {
  if (showingPlaceholder_) {
    ShowPlaceholder(false);
    settingPlaceholder_ = true;
    clear();
    settingPlaceholder_ = false;
  }
  QLineEdit::focusInEvent(event);
  update();
}

void CTEditGdiplus::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  if (!placeholder_.isEmpty() && QLineEdit::text().isEmpty())
    ShowPlaceholder(true);
  update();
}

void CTEditGdiplus::enterEvent(QEnterEvent* event) {
  hover_ = true;
  update();
  QLineEdit::enterEvent(event);
}

void CTEditGdiplus::leaveEvent(QEvent* event) {
  hover_ = false;
  update();
  QLineEdit::leaveEvent(event);
}

namespace {

// Counts a change as the user's while it runs.
class UserEdit {
 public:
  explicit UserEdit(int& depth) : depth_(depth) { ++depth_; }
  ~UserEdit() { --depth_; }
  UserEdit(const UserEdit&) = delete;
  UserEdit& operator=(const UserEdit&) = delete;

 private:
  int& depth_;
};

}  // namespace

void CTEditGdiplus::keyPressEvent(QKeyEvent* event) {
  UserEdit edit(userEditing_);
  QLineEdit::keyPressEvent(event);
}

void CTEditGdiplus::inputMethodEvent(QInputMethodEvent* event) {
  UserEdit edit(userEditing_);
  QLineEdit::inputMethodEvent(event);
}

void CTEditGdiplus::dropEvent(QDropEvent* event) {
  UserEdit edit(userEditing_);
  QLineEdit::dropEvent(event);
}

void CTEditGdiplus::contextMenuEvent(QContextMenuEvent* event) {
  QMenu* menu = createStandardContextMenu();
  if (menu == nullptr)
    return;
  menu->setAttribute(Qt::WA_DeleteOnClose);
  // The menu's paste is the user's too.
  for (QAction* action : menu->actions()) {
    if (action->objectName() == QLatin1String("edit-paste")) {
      disconnect(action, &QAction::triggered, nullptr, nullptr);
      connect(action, &QAction::triggered, this, [this] {
        UserEdit edit(userEditing_);
        paste();
      });
    }
  }
  menu->popup(event->globalPos());
}

void CTEditGdiplus::changeEvent(QEvent* event) {
  if (event->type() == QEvent::EnabledChange)
    update();
  QLineEdit::changeEvent(event);
}

}  // namespace brevant
