// SPDX-License-Identifier: GPL-3.0-or-later
// The start-up window: the program's name and version on a borderless
// panel that stays on top, centred on the screen, while the main window
// gets ready behind it.
#pragma once

#include <QWidget>

class QLabel;

namespace rondo::gui {

class TSplashForm : public QWidget {
  Q_OBJECT

 public:
  explicit TSplashForm(QWidget* parent = nullptr);

  QLabel* titleLabel() const { return title_; }
  QLabel* versionLabel() const { return version_; }

  // Centres the window on the screen it is on (the primary one by default).
  void centreOnScreen();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QLabel* title_ = nullptr;
  QLabel* version_ = nullptr;
};

}  // namespace rondo::gui
