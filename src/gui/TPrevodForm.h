// SPDX-License-Identifier: GPL-3.0-or-later
// "Převod databáze": converts a catalogue of the previous format (3.x) into
// the current one, in place.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace rondo::gui {

class TPrevodForm : public QDialog {
  Q_OBJECT

 public:
  explicit TPrevodForm(QWidget* parent = nullptr);

  void setPath(const QString& path);
  QString path() const;

  // Shows the program's messages ("OK!", failures); a message box when not
  // set.
  std::function<void(const QString&)> messageHook;
  // Picks the file for "..."; a file dialog when not set.
  std::function<QString()> chooseFileHook;

  QRadioButton* oldToCurrentButton() const { return oldToCurrent_; }
  QRadioButton* olderFourButton() const { return olderFour_; }
  QPushButton* startButton() const { return start_; }
  QProgressBar* gauge() const { return gauge_; }
  QLabel* discLabel() const { return disc_; }
  // True once a conversion in this window has finished.
  bool converted() const { return converted_; }

 public slots:
  // "Start": converts when "v 3.x -> v. 4.0" is chosen. True when the file
  // now has the current format.
  bool start();
  // "...".
  void choosePath();

 protected:
  void reject() override;

 private:
  void message(const QString& text);

  QRadioButton* oldToCurrent_ = nullptr;
  QRadioButton* olderFour_ = nullptr;
  QLineEdit* path_ = nullptr;
  QProgressBar* gauge_ = nullptr;
  QLabel* disc_ = nullptr;
  QPushButton* start_ = nullptr;
  bool running_ = false;
  bool converted_ = false;
};

}  // namespace rondo::gui
