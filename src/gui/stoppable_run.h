// SPDX-License-Identifier: GPL-3.0-or-later
// A long walk of the catalogue that a window starts and stops with one
// button (the search, the duplicates): the button reads "Zastavit" while it
// runs, the window lets its events run a few dozen times a second, and
// closing the window in the middle waits until the engine has returned.
//
// "Zastavit" is the text of a command the window owns ("stopCaption"), so
// the language file translates it like the window's other texts.
#pragma once

#include <QElapsedTimer>
#include <QString>
#include <cstdint>
#include <functional>
#include <type_traits>

class QAction;
class QProgressBar;
class QPushButton;

namespace rondo::gui {

class StoppableRun {
 public:
  // The gauge counts in thousandths.
  static constexpr int kGaugeSteps = 1000;

  // button starts and stops the run, gauge shows how far it is; both belong
  // to the window that gets the stop command.
  StoppableRun(QPushButton* button, QProgressBar* gauge);

  // What the engine is told: set from the start until stopped.
  bool busy() const { return busy_; }
  // Set until the engine has returned, also after a stop: neither a new run
  // nor closing may pull the results from under one still winding up.
  bool running() const { return running_; }

  // Runs walk (the engine's operation) with engine's pointer slot pointing
  // at host, and the button reading "Zastavit"; returns when walk has
  // returned. The window shows its results and calls stop() after.
  template <typename Host>
  void run(Host*& slot, std::type_identity_t<Host>* host, const std::function<void()>& walk) {
    // The engine knows the window only while it walks.
    struct Attached {
      Host*& slot;
      bool& running;
      ~Attached() {
        slot = nullptr;
        running = false;
      }
    } attached{slot, running_};
    begin();
    slot = host;
    walk();
  }

  // "Zastavit": the engine stops at its next question; the button reads
  // its own caption again and the gauge is empty.
  void stop();

  // True at most a few dozen times a second while busy: the window then
  // shows its progress and lets its events run. Letting them run after
  // every record would cost more than the walk itself.
  bool eventsDue();

  // Fills the part [from, from + share) of the gauge (in thousandths) in
  // proportion position / total.
  void showProgress(std::uint64_t position, std::uint64_t total, int from = 0,
                    int share = kGaugeSteps);

  // Closing the window: during a run returns true (the window then stops
  // it), and closeDue() tells the window to close once it has returned.
  bool closeLater();
  bool closeDue();

 private:
  void begin();

  QPushButton* button_;
  QProgressBar* gauge_;
  QAction* stopCaption_;
  QString caption_;  // the button's own, while it reads "Zastavit"
  bool busy_ = false;
  bool running_ = false;
  bool closeAfterRun_ = false;
  QElapsedTimer sinceEvents_;
};

}  // namespace rondo::gui
