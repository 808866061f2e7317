// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/catalogue_watch.h"

#include <sys/stat.h>

#include <QApplication>
#include <QFileInfo>
#include <QProgressDialog>
#include <QPushButton>
#include <QWidget>

#include "gui/qt_text.h"

namespace rondo::gui {

namespace {

constexpr std::chrono::milliseconds kShowAfter{300};
constexpr int kHideAfterMs = 200;
constexpr int kSettleMs = 250;

// What tells one state of the file from another: which file it is, its
// size and when it was last written.
std::string SignatureOf(const std::string& path) {
  struct stat st {};
  if (path.empty() || ::stat(ResolveLinks(path).c_str(), &st) != 0)
    return {};
  return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino) + ":" +
         std::to_string(st.st_size) + ":" + std::to_string(st.st_mtim.tv_sec) + "." +
         std::to_string(st.st_mtim.tv_nsec);
}

}  // namespace

LockWaitWindow::LockWaitWindow(QWidget* parent) : QObject(parent), parent_(parent) {
  hide_.setSingleShot(true);
  connect(&hide_, &QTimer::timeout, this, [this] {
    if (dialog_)
      dialog_->hide();
    gaveUp_ = false;
  });
}

LockWaitWindow::~LockWaitWindow() {
  delete dialog_;
}

bool LockWaitWindow::KeepWaiting(const std::string& path, std::chrono::milliseconds waited) {
  if (waited < last_)
    gaveUp_ = false;  // another wait
  last_ = waited;
  if (gaveUp_)
    return false;
  if (waited >= kShowAfter) {
    if (!dialog_) {
      dialog_ = new QProgressDialog(parent_);
      dialog_->setObjectName(QStringLiteral("LockWaitWindow"));
      dialog_->setWindowTitle(QStringLiteral("Databáze je zamčená"));
      // Nothing else may start while this change waits.
      dialog_->setWindowModality(Qt::ApplicationModal);
      dialog_->setRange(0, 0);
      dialog_->setMinimumDuration(0);
      dialog_->setAutoReset(false);
      dialog_->setAutoClose(false);
      auto* giveUp = new QPushButton(QStringLiteral("Vzdát to"), dialog_);
      giveUp->setObjectName(QStringLiteral("GiveUp"));
      dialog_->setCancelButton(giveUp);
      connect(dialog_, &QProgressDialog::canceled, this, [this] { gaveUp_ = true; });
    }
    dialog_->setLabelText(QStringLiteral("Soubor „") + FromUtf8(path) +
                          QStringLiteral("“ právě mění jiný program.\nZměna se provede, "
                                         "jakmile skončí; do té doby se nic nemění."));
    if (!dialog_->isVisible()) {
      dialog_->show();
      shown_ = true;
    }
    hide_.start(kHideAfterMs);
  }
  QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  return !gaveUp_;
}

LockWaiter LockWaitWindow::Waiter(const std::string& path) {
  QPointer<LockWaitWindow> self(this);
  return [self, path](std::chrono::milliseconds waited) {
    return self ? self->KeepWaiting(path, waited) : waited < std::chrono::seconds(10);
  };
}

CatalogueWatcher::CatalogueWatcher(QObject* parent) : QObject(parent) {
  settle_.setSingleShot(true);
  connect(&settle_, &QTimer::timeout, this, &CatalogueWatcher::Check);
  connect(&watcher_, &QFileSystemWatcher::fileChanged, this, &CatalogueWatcher::Settle);
  connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, &CatalogueWatcher::Settle);
}

void CatalogueWatcher::Watch(const std::string& path) {
  if (!watcher_.files().isEmpty())
    watcher_.removePaths(watcher_.files());
  if (!watcher_.directories().isEmpty())
    watcher_.removePaths(watcher_.directories());
  path_ = path;
  signature_ = SignatureOf(path);
  if (path.empty())
    return;
  // A change is renamed over the file: the file watch ends with the old
  // file, the folder's goes on and tells of the new one.
  const QString target = FromUtf8(ResolveLinks(path));
  watcher_.addPath(target);
  watcher_.addPath(QFileInfo(target).absolutePath());
}

void CatalogueWatcher::Seen() {
  signature_ = SignatureOf(path_);
}

void CatalogueWatcher::Settle() {
  // Writes come in bursts; look once they have settled.
  settle_.start(kSettleMs);
}

void CatalogueWatcher::Check() {
  if (path_.empty())
    return;
  const QString target = FromUtf8(ResolveLinks(path_));
  if (!watcher_.files().contains(target) && QFileInfo::exists(target))
    watcher_.addPath(target);
  const std::string now = SignatureOf(path_);
  if (now == signature_)
    return;
  signature_ = now;
  emit changed();
}

}  // namespace rondo::gui
