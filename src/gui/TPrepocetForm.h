// SPDX-License-Identifier: GPL-3.0-or-later
// The progress window of the structure recalculation: which disc is being
// recalculated and three bars for reading its items, computing the lengths
// and writing them back. "Zrušit" asks first; a Yes makes the engine stop
// at its next look at the flag, leaving the disc at hand as it was.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;

namespace rondo::gui {

// Shows position out of maximum on a bar. Bars count in thousandths so that
// byte counts beyond the range of int fit and a bar repaints at most a
// thousand times however many steps the work takes. A maximum of 0 shows an
// empty bar.
void ShowProgress(QProgressBar* bar, std::uint64_t position, std::uint64_t maximum);

// Lets pending window events run, but not more often than every interval
// milliseconds: long loops call due() for every item and may run
// hundreds of thousands of them.
class ThrottledEvents {
 public:
  explicit ThrottledEvents(int intervalMs = 50) : interval_(intervalMs) {}
  // True when the interval has passed since the last time it said so (and
  // at the first call); the caller then refreshes and pumps.
  bool due();
  // due() and, when due, the events run.
  void pump();
  // The next due() says true at once.
  void reset() { started_ = false; }

 private:
  int interval_;
  bool started_ = false;
  QElapsedTimer clock_;
};

class TPrepocetForm : public QDialog {
  Q_OBJECT

 public:
  explicit TPrepocetForm(QWidget* parent = nullptr);

  // Bars 0, 1 and 2 as the engine numbers them.
  static constexpr int kBarCount = 3;

  void setDisc(const QString& description, std::uint16_t dirs, std::uint16_t files);
  void setProgress(int bar, std::uint64_t position, std::uint64_t maximum);
  // True once "Zrušit" was pressed and the question answered Yes.
  bool cancelRequested() const { return cancelRequested_; }
  void centreOnScreen();

  // Answers the cancel question instead of a message box when set; the main
  // window hands its own confirmation here.
  std::function<bool(const QString& question)> confirmHook;

  QLabel* discLabel() const { return disc_; }
  QLabel* dirsLabel() const { return dirs_; }
  QLabel* filesLabel() const { return files_; }
  QProgressBar* bar(int index) const { return bars_[static_cast<std::size_t>(index)]; }
  QPushButton* cancelButton() const { return cancel_; }

 public slots:
  // "Zrušit".
  void askToCancel();

 protected:
  // The window closes only when the recalculation ends; closing it by hand
  // means the same as "Zrušit".
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  QLabel* disc_ = nullptr;
  QLabel* dirs_ = nullptr;
  QLabel* files_ = nullptr;
  std::array<QProgressBar*, kBarCount> bars_{};
  QPushButton* cancel_ = nullptr;
  bool cancelRequested_ = false;
};

}  // namespace rondo::gui
