// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/icon_cache.h"

#include <QApplication>
#include <QIconEngine>
#include <QMimeType>
#include <QPainter>
#include <QStyle>
#include <algorithm>

namespace rondo::gui {

IconCache::IconCache() {
  folder_ = QApplication::style()->standardIcon(QStyle::SP_DirIcon);
  file_ = provider_.icon(QAbstractFileIconProvider::File);
}

QString IconCache::extensionOf(std::string_view name) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos)
    return {};
  const std::string_view extension = name.substr(dot + 1);
  return QString::fromUtf8(extension.data(), static_cast<qsizetype>(extension.size())).toLower();
}

const QIcon& IconCache::fileIcon(std::string_view name) {
  const QString extension = extensionOf(name);
  auto found = byExtension_.find(extension);
  if (found == byExtension_.end())
    found = byExtension_.emplace(extension, lookUp(extension)).first;
  return found->second;
}

QIcon IconCache::lookUp(const QString& extension) {
  if (extension.isEmpty())
    return file_;
  // Only the name is consulted; the file itself is on a disc that is not
  // in the drive.
  const QMimeType type =
      mime_.mimeTypeForFile(QStringLiteral("x.") + extension, QMimeDatabase::MatchExtension);
  if (!type.isValid() || type.isDefault())
    return file_;
  QIcon icon = QIcon::fromTheme(type.iconName());
  if (icon.isNull())
    icon = QIcon::fromTheme(type.genericIconName());
  return icon.isNull() ? file_ : icon;
}

}  // namespace rondo::gui

namespace rondo::gui {

namespace {

class PaintedIconEngine : public QIconEngine {
 public:
  PaintedIconEngine(std::function<void(QPainter&)> draw, double designSize)
      : draw_(std::move(draw)), designSize_(designSize) {}

  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
    const double side = std::min(rect.width(), rect.height());
    if (side <= 0)
      return;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->translate(rect.x() + (rect.width() - side) / 2.0,
                       rect.y() + (rect.height() - side) / 2.0);
    painter->scale(side / designSize_, side / designSize_);
    if (mode == QIcon::Disabled)
      painter->setOpacity(0.35);
    draw_(*painter);
    painter->restore();
  }

  // QIcon asks for the size in device pixels on a scaled screen and marks
  // the scale on the result itself.
  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    QPixmap pixmap(size.isEmpty() ? QSize(1, 1) : size);
    pixmap.fill(Qt::transparent);
    if (!size.isEmpty()) {
      QPainter painter(&pixmap);
      paint(&painter, QRect(QPoint(0, 0), size), mode, state);
    }
    return pixmap;
  }

  QIconEngine* clone() const override { return new PaintedIconEngine(draw_, designSize_); }
  QString key() const override { return QStringLiteral("RondothekaPainted"); }

 private:
  std::function<void(QPainter&)> draw_;
  double designSize_;
};

void DrawDisc(QPainter& painter, const QRectF& area) {
  QRadialGradient shine(area.center(), area.width() / 2);
  shine.setColorAt(0.0, QColor(250, 250, 255));
  shine.setColorAt(0.6, QColor(200, 210, 230));
  shine.setColorAt(1.0, QColor(150, 165, 195));
  painter.setPen(QPen(QColor(80, 90, 115), area.width() / 18));
  painter.setBrush(shine);
  painter.drawEllipse(area);
  painter.setBrush(QColor(255, 255, 255));
  const double hole = area.width() * 0.14;
  painter.drawEllipse(area.center(), hole, hole);
}

}  // namespace

QIcon DiscIcon() {
  return PaintedIcon([](QPainter& painter) { DrawDisc(painter, QRectF(2, 2, 20, 20)); });
}

QIcon AudioDiscIcon() {
  return PaintedIcon([](QPainter& painter) {
    DrawDisc(painter, QRectF(2, 2, 20, 20));
    // A quaver over the disc.
    painter.setPen(QPen(QColor(30, 30, 60), 1.8, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(17, 6), QPointF(17, 18));
    painter.drawLine(QPointF(17, 6), QPointF(21, 8));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(30, 30, 60));
    painter.drawEllipse(QPointF(14.5, 18.5), 3.0, 2.3);
  });
}

QIcon MultigroupIcon() {
  return PaintedIcon([](QPainter& painter) {
    DrawDisc(painter, QRectF(8, 1, 15, 15));
    DrawDisc(painter, QRectF(5, 4.5, 15, 15));
    DrawDisc(painter, QRectF(1, 8, 15, 15));
  });
}

QIcon PaintedIcon(std::function<void(QPainter&)> draw, double designSize) {
  // QIcon owns the engine it is given.
  return QIcon(new PaintedIconEngine(std::move(draw), designSize));
}

QIcon BlankIcon() {
  return PaintedIcon([](QPainter&) {});
}

QIcon ApplicationIcon() {
  return PaintedIcon([](QPainter& painter) {
    // A disc with a catalogue card in front of it.
    QRadialGradient shine(QPointF(13, 11), 11);
    shine.setColorAt(0.0, QColor(250, 250, 255));
    shine.setColorAt(0.6, QColor(190, 205, 235));
    shine.setColorAt(1.0, QColor(120, 140, 190));
    painter.setPen(QPen(QColor(60, 70, 105), 0.8));
    painter.setBrush(shine);
    painter.drawEllipse(QRectF(2, 1, 22, 22));
    painter.setBrush(QColor(255, 255, 255));
    painter.drawEllipse(QPointF(13, 12), 3.0, 3.0);
    painter.setPen(QPen(QColor(120, 70, 20), 0.8));
    painter.setBrush(QColor(245, 205, 120));
    painter.drawRoundedRect(QRectF(1, 14, 14, 9.5), 1.2, 1.2);
    painter.setPen(QPen(QColor(120, 70, 20), 1.0));
    painter.drawLine(QPointF(3.5, 17.5), QPointF(12.5, 17.5));
    painter.drawLine(QPointF(3.5, 20.5), QPointF(10, 20.5));
  });
}

}  // namespace rondo::gui
