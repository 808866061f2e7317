// SPDX-License-Identifier: GPL-3.0-or-later
// The surface check window: choose a disc (an optical drive, a removable
// medium or any folder) and have every file on it read, with the files that
// cannot be read listed on the left. What the catalogue knows about the disc
// in each drive is shown beside it.
#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

#include "acquisition/drives.h"
#include "acquisition/surface_check.h"
#include "images/image_sources.h"
#include "platform/linux_file_tree.h"
#include "settings/registry.h"

class QAction;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTimer;
class QTreeWidget;

namespace rondo::gui {

// Columns of the drive list.
enum KontrolaColumn : int {
  kCheckColRoot = 0,
  kCheckColDescription,
  kCheckColGroups,
  kCheckColSerial,
  kCheckColLending,
  kCheckColLendDate,
  kCheckColLabel,
  kCheckColFiles,
  kCheckColDirs,
  kCheckColCdSize,
  kCheckColBlockSize,
  kCheckColCreated,
  kCheckColDuration,
  kCheckColumnCount,
};

class TKontrolaForm : public QDialog {
  Q_OBJECT

 public:
  TKontrolaForm(Drives& drives, Registry& registry, QWidget* parent = nullptr);
  ~TKontrolaForm() override;

  static constexpr const char* kNoDiscChosen = "Není vybrán disk!";
  // The serial text of a drive without a readable medium.
  static constexpr const char* kNoMedium = "nenalezeno";
  static constexpr const char* kIdle = "---";

  // One drive or folder the window offers, in the order first seen.
  struct Medium {
    QString root;
    bool folder = false;     // added with "Jiná složka..."
    QString serial;          // SerialText of the volume, or kNoMedium
    QString sizeText;        // the medium's size in bytes, "-1" without one
    std::uint64_t size = 0;  // as the drive list says (folders: their file system)
    std::uint64_t free = 0;
  };
  const std::vector<Medium>& media() const { return media_; }

  // The folder picker of "Jiná složka..."; an empty result means cancelled.
  std::function<QString()> chooseFolderHook;
  // The file picker of "Obraz disku…"; an empty result means cancelled.
  std::function<QString()> chooseImageHook;
  // Receives the messages instead of a message box when set.
  std::function<void(const QString& text)> messageHook;
  // Where the files are read; the real file system when null.
  SurfaceFiles* surfaceFiles = nullptr;

  // Whether a check is meant to go on (cleared by "Stop" and by closing).
  // While it is, the start button reads the text of the window's command
  // "stopCaption".
  bool running() const { return running_; }
  // The whole-disc gauge's maximum of the last check started.
  std::uint64_t discMaximum() const { return discMaximum_; }

  QTreeWidget* driveList() const { return driveList_; }
  QListWidget* errorList() const { return errors_; }
  QLabel* fileLabel() const { return file_; }
  QLabel* rateLabel() const { return rate_; }
  QLabel* averageLabel() const { return average_; }
  QProgressBar* discBar() const { return discBar_; }
  QProgressBar* fileBar() const { return fileBar_; }
  QPushButton* startButton() const { return start_; }
  QPushButton* closeButton() const { return close_; }
  QPushButton* folderButton() const { return folder_; }
  QPushButton* imageButton() const { return image_; }
  QTimer* refreshTimer() const { return refreshTimer_; }
  QTimer* statsTimer() const { return statsTimer_; }

 public slots:
  // One tick of the refresh timer: the drives read again, the list rebuilt
  // when a medium changed.
  void refreshDrives();
  // "Start", or "Stop" while the button says so.
  void startOrStop();
  // One second of a running check.
  void statsTick();
  // "Jiná složka...".
  void chooseFolder();
  // "Obraz disku…": an image file offered as one more disc.
  void chooseImage();
  // Offers a folder as one more disc (once) and selects its row.
  void addFolder(const QString& folder);
  // Selects the row of root; a folder not offered yet is added first.
  void selectRoot(const QString& root);

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  class Host;
  friend class Host;

  // Reads the drives into media_ (new ones appended, none removed).
  void detectMedia();
  void rebuildList();
  QStringList rowCells(const Medium& medium) const;
  Medium* mediumOf(const QString& root);
  void showMessage(const QString& text);
  // The start button reads its own caption again after a check.
  void showStartCaption();
  void runCheck(const Medium& medium, std::uint64_t maximum);
  // Asked to close or to go away while inside the walk.
  void leaving();

  // The drives given, with an image file as one more medium (checked by
  // reading its files where the image records them).
  platform::LinuxFileTree folders_;
  images::ImageSources sources_;
  Drives& drives_;
  Registry& registry_;
  std::vector<Medium> media_;
  // The serial texts the shown list was built with, one per medium.
  std::vector<QString> builtSerials_;

  bool running_ = false;
  bool walking_ = false;
  bool deleteWhenDone_ = false;
  std::uint64_t discMaximum_ = 0;
  std::uint64_t totalBytes_ = 0;
  std::uint64_t secondBytes_ = 0;
  std::uint64_t seconds_ = 0;

  QListWidget* errors_ = nullptr;
  QTreeWidget* driveList_ = nullptr;
  // The drive list's column widths: fitted to the rows, or the user's.
  class ColumnLayout* columns_ = nullptr;
  QPushButton* folder_ = nullptr;
  QPushButton* image_ = nullptr;
  QLabel* file_ = nullptr;
  QLabel* rate_ = nullptr;
  QLabel* average_ = nullptr;
  QProgressBar* discBar_ = nullptr;
  QProgressBar* fileBar_ = nullptr;
  QPushButton* start_ = nullptr;
  QAction* stopCaption_ = nullptr;
  // The button's own caption while it reads "Stop".
  QString startCaption_;
  QPushButton* close_ = nullptr;
  QTimer* refreshTimer_ = nullptr;
  QTimer* statsTimer_ = nullptr;
};

}  // namespace rondo::gui
