// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/window_placement.h"

#include <QApplication>
#include <QByteArray>
#include <QEvent>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <exception>
#include <string>

#include "settings/registry.h"

namespace rondo::gui {

namespace {

// Marks a window whose place has been settled at its first showing.
constexpr const char* kPlacedProperty = "rondothekaPlaced";

bool IsProgramWindow(const QWidget* widget) {
  if (widget == nullptr || !widget->isWindow())
    return false;
  const QString name = widget->objectName();
  // The splash screen always sits in the middle.
  return name.startsWith(QLatin1Char('T')) && name.endsWith(QStringLiteral("Form")) &&
         name != QStringLiteral("TSplashForm");
}

std::string SettingOf(const QWidget* window) {
  return "Okno" + window->objectName().toStdString();
}

}  // namespace

WindowPlacement::WindowPlacement(Registry& registry, QObject* parent)
    : QObject(parent), registry_(registry) {}

void WindowPlacement::FitIntoScreen(QWidget* window) {
  QScreen* screen = window->screen();
  if (screen == nullptr)
    screen = QGuiApplication::primaryScreen();
  if (screen == nullptr)
    return;
  const QRect free = screen->availableGeometry();
  // The title bar and borders, once the window manager has added them.
  const QSize frame = window->frameGeometry().size() - window->geometry().size();
  const QSize room = free.size() - frame;
  // A layout's minimum must not keep the window wider than the screen.
  window->setMinimumSize(window->minimumSize().boundedTo(room));
  if (window->isMaximized() || window->isFullScreen())
    return;
  window->resize(window->size().boundedTo(room));
  QRect outer = window->frameGeometry();
  outer.setSize(window->size() + frame);
  outer.moveLeft(std::clamp(outer.left(), free.left(), free.right() + 1 - outer.width()));
  outer.moveTop(std::clamp(outer.top(), free.top(), free.bottom() + 1 - outer.height()));
  if (outer.topLeft() != window->frameGeometry().topLeft())
    window->move(outer.topLeft());
}

bool WindowPlacement::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if ((type != QEvent::Show && type != QEvent::Hide) || event->spontaneous())
    return false;
  auto* window = qobject_cast<QWidget*>(watched);
  if (!IsProgramWindow(window))
    return false;
  try {
    if (type == QEvent::Show && !window->property(kPlacedProperty).toBool()) {
      window->setProperty(kPlacedProperty, true);
      const std::string stored = registry_.ReadText(SettingOf(window));
      if (!stored.empty())
        window->restoreGeometry(QByteArray::fromBase64(QByteArray::fromStdString(stored)));
      FitIntoScreen(window);
    } else if (type == QEvent::Hide && window->property(kPlacedProperty).toBool()) {
      registry_.WriteText(SettingOf(window), window->saveGeometry().toBase64().toStdString());
    }
  } catch (const std::exception&) {
    // A settings file that cannot be written costs only the window's place.
  }
  return false;
}

}  // namespace rondo::gui
