// The program's application icon, drawn here: an open blue notebook with
// ruled lines and a small magnifier, the tool for looking up notes.
#include <QIcon>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include "ui/qt/qt_form.h"

namespace ui::qt {
namespace {

QPixmap DrawIcon(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 64.0, size / 64.0);

  // The cover and the pages.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x1f, 0x5f, 0xa8));
  p.drawRoundedRect(QRectF(6, 8, 46, 50), 5, 5);
  p.setBrush(QColor(0xfb, 0xf8, 0xee));
  p.drawRoundedRect(QRectF(12, 12, 36, 42), 2, 2);
  // The ruled lines.
  p.setPen(QPen(QColor(0x9c, 0xb4, 0xd3), 2));
  for (int y = 20; y <= 44; y += 6) p.drawLine(QPointF(17, y), QPointF(43, y));
  // A red bookmark ribbon.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0xd9, 0x3b, 0x30));
  QPainterPath ribbon;
  ribbon.moveTo(38, 8);
  ribbon.lineTo(44, 8);
  ribbon.lineTo(44, 24);
  ribbon.lineTo(41, 21);
  ribbon.lineTo(38, 24);
  ribbon.closeSubpath();
  p.drawPath(ribbon);
  // The magnifier over the lower right corner.
  p.setPen(QPen(QColor(0x33, 0x33, 0x33), 5, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(50, 50), QPointF(59, 59));
  p.setPen(QPen(QColor(0x33, 0x33, 0x33), 3.5));
  p.setBrush(QColor(0xff, 0xff, 0xff, 0xb0));
  p.drawEllipse(QPointF(43, 43), 10, 10);
  return pixmap;
}

}  // namespace

QIcon ApplicationIcon() {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128}) icon.addPixmap(DrawIcon(size));
  return icon;
}

}  // namespace ui::qt
