// SPDX-License-Identifier: GPL-3.0-or-later
// Every window of the program opens where and as large as the user left
// it, and never larger than the screen it opens on.
#pragma once

#include <QObject>

namespace rondo {
class Registry;
}

class QWidget;

namespace rondo::gui {

// Watches the program's windows (objects named "T…Form") for the whole
// application: at a window's first showing its last size and position are
// restored and it is fitted into the screen's free area; when it is hidden
// its size and position are stored under "Okno" + the window's name.
class WindowPlacement : public QObject {
  Q_OBJECT

 public:
  explicit WindowPlacement(Registry& registry, QObject* parent = nullptr);

  // Shrinks and moves a window so that it lies within its screen's
  // available area (the desktop's panels excluded).
  static void FitIntoScreen(QWidget* window);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  Registry& registry_;
};

}  // namespace rondo::gui
