// Edit boxes, buttons and labels.
#include <QFocusEvent>
#include <QMouseEvent>
#include <QPainter>

#include "ui/qt/qt_text.h"
#include "ui/qt/widgets.h"

namespace ui::qt {
namespace {

void Place(QWidget& widget, const Rect& rect) {
  widget.setGeometry(rect.left, rect.top, rect.width, rect.height);
}

// Raised for every focus gain but one: a closing popup menu hands the focus
// back to the control that never lost it to another control.
bool RaisesGotFocus(const QFocusEvent& event) {
  return event.reason() != Qt::PopupFocusReason;
}

}  // namespace

QColor ToQColor(Colour colour, const QPalette& palette) {
  if (colour == kButtonFace) return palette.color(QPalette::Button);
  return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

void SetEditColours(QWidget& box, Colour textColour, bool keepSelectionVisible) {
  QPalette palette = box.palette();
  const QColor text = ToQColor(textColour, palette);
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
    palette.setColor(group, QPalette::Base, Qt::white);
    palette.setColor(group, QPalette::Text, text);
  }
  if (keepSelectionVisible) {
    palette.setColor(QPalette::Inactive, QPalette::Highlight,
                     palette.color(QPalette::Active, QPalette::Highlight));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     palette.color(QPalette::Active, QPalette::HighlightedText));
  }
  box.setPalette(palette);
}

// ---- single-line box --------------------------------------------------------

SingleLineEdit::SingleLineEdit(QWidget* parent, const EditBoxSpec& design)
    : QLineEdit(parent), colour_(design.textColour) {
  Place(*this, design.rect);
  setFrame(true);
  setAlignment((design.centred ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter);
  SetEditColours(*this, colour_, false);
  SetText(design.text);
}

Text SingleLineEdit::GetText() const { return FromQString(text()); }

void SingleLineEdit::SetText(std::string_view value) {
  setText(ToQString(value));
  setCursorPosition(0);  // caret at the beginning, nothing selected
}

void SingleLineEdit::SetTextColor(Colour colour) {
  colour_ = colour;
  SetEditColours(*this, colour_, false);
}

void SingleLineEdit::focusInEvent(QFocusEvent* event) {
  QLineEdit::focusInEvent(event);
  if (RaisesGotFocus(*event) && GotFocus) GotFocus();
}

// ---- multi-line box ---------------------------------------------------------

MultiLineEdit::MultiLineEdit(QWidget* parent, const EditBoxSpec& design)
    : QPlainTextEdit(parent), colour_(design.textColour) {
  Place(*this, design.rect);
  setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  setLineWrapMode(QPlainTextEdit::WidgetWidth);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setTabChangesFocus(true);
  SetEditColours(*this, colour_, true);
  SetText(design.text);
}

Text MultiLineEdit::GetText() const {
  return FromQString(toPlainText().replace(QLatin1Char('\n'), QStringLiteral("\r\n")));
}

void MultiLineEdit::SetText(std::string_view value) {
  QString shown = ToQString(value);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  setPlainText(shown);  // caret at the beginning, scrolled to the top
}

void MultiLineEdit::SetTextColor(Colour colour) {
  colour_ = colour;
  SetEditColours(*this, colour_, true);
}

void MultiLineEdit::focusInEvent(QFocusEvent* event) {
  QPlainTextEdit::focusInEvent(event);
  if (RaisesGotFocus(*event) && GotFocus) GotFocus();
}

// ---- button -----------------------------------------------------------------

PushButton::PushButton(QWidget* parent, const Rect& rect, std::string_view caption)
    : QPushButton(ToQString(caption), parent) {
  Place(*this, rect);
  // No default button: Enter never presses one.
  setAutoDefault(false);
  setDefault(false);
  connect(this, &QPushButton::clicked, this, [this] {
    if (Clicked) Clicked();
  });
}

Text PushButton::GetText() const { return FromQString(text()); }

// ---- label ------------------------------------------------------------------

CaptionLabel::CaptionLabel(QWidget* parent, const LabelSpec& design)
    : QWidget(parent), caption_(design.caption), colour_(ToQColor(design.textColour, palette())) {
  Place(*this, design.rect);
  setFocusPolicy(Qt::NoFocus);
  if (design.handCursor) setCursor(Qt::PointingHandCursor);
}

void CaptionLabel::SetText(std::string_view value) {
  caption_ = Text(value);
  update();
}

void CaptionLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().color(QPalette::Button));
  painter.setPen(colour_);
  painter.setClipRect(rect());
  // One line, whatever the caption holds; no access key, no eliding.
  QString line = ToQString(caption_);
  line.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
  QRect area = rect();
  area.setWidth(std::max(area.width(), fontMetrics().horizontalAdvance(line) + 1));
  painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, line);
}

void CaptionLabel::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && LeftButtonDown) LeftButtonDown();
}

}  // namespace ui::qt
