// SPDX-License-Identifier: GPL-3.0-or-later
// The "Informace" window: every status line of a running disc scan, in a
// small window that stays above the others at the top-left of the screen so
// the user can follow the work while doing something else.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

class QPlainTextEdit;

namespace rondo::gui {

class TInformaceForm : public QDialog {
  Q_OBJECT

 public:
  explicit TInformaceForm(QWidget* parent = nullptr);

  // Appends one line and keeps it in view.
  void addLine(const QString& line);
  // The lines shown so far.
  QStringList lines() const;
  // Moves the window to the top-left corner of the screen it is on.
  void placeTopLeft();

  QPlainTextEdit* text() const { return text_; }

 private:
  QPlainTextEdit* text_ = nullptr;
};

}  // namespace rondo::gui
