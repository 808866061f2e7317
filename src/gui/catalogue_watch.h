// SPDX-License-Identifier: GPL-3.0-or-later
// Living beside other programs that use the same catalogue: a window shown
// while a change waits for another program's change, and a watch on the
// open catalogue file that says when another program changed it.
#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <chrono>
#include <string>

#include "catalogue/format/write_lock.h"

class QProgressDialog;
class QWidget;

namespace rondo::gui {

// "Databázi právě mění jiný program…" with a button to give up, shown when
// a wait has lasted a moment and hidden soon after it ends.
class LockWaitWindow : public QObject {
  Q_OBJECT

 public:
  explicit LockWaitWindow(QWidget* parent);
  ~LockWaitWindow() override;

  // Answers the write lock's question: keep waiting? Lets the windows'
  // events run; false once the user gave up.
  bool KeepWaiting(const std::string& path, std::chrono::milliseconds waited);
  // A waiter for the core's functions that take one.
  LockWaiter Waiter(const std::string& path);

  // Shown at all (for tests).
  bool WasShown() const { return shown_; }

 private:
  QWidget* parent_;
  QPointer<QProgressDialog> dialog_;
  QTimer hide_;
  bool gaveUp_ = false;
  bool shown_ = false;
  std::chrono::milliseconds last_{0};
};

// Says changed() a moment after the catalogue file at the watched path was
// replaced or written, also through a symbolic link and when the file is
// renamed over (the folder is watched too).
class CatalogueWatcher : public QObject {
  Q_OBJECT

 public:
  explicit CatalogueWatcher(QObject* parent = nullptr);

  // "" stops watching.
  void Watch(const std::string& path);
  // The file as it is now counts as known.
  void Seen();

 signals:
  void changed();

 private:
  void Settle();
  void Check();

  QFileSystemWatcher watcher_;
  QTimer settle_;
  std::string path_;
  std::string signature_;
};

}  // namespace rondo::gui
