// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's "Aktualizovat CD...": the selected disc read again from
// a drive, a folder or a disc image, stored in its place, and what changed
// shown.
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QVBoxLayout>
#include <filesystem>
#include <functional>
#include <memory>

#include "acquisition/rescan.h"
#include "gui/TMainForm.h"
#include "gui/main_window_parts.h"
#include "gui/qt_text.h"
#include "images/disc_image.h"

namespace rondo::gui {

using namespace main_window;

namespace {

// Asks where the disc is read from: one of the drives, as in the add-disc
// window, or a folder or an image file that chooseSource asks for.
QString AskRoot(QWidget* parent, Drives* drives, const QString& description,
                const std::function<QString(QWidget* over, bool image)>& chooseSource) {
  QDialog dialog(parent);
  dialog.setObjectName(QStringLiteral("rescanRootDialog"));
  dialog.setWindowTitle(QStringLiteral("Aktualizovat CD"));
  auto* list = new QListWidget(&dialog);
  list->setObjectName(QStringLiteral("rescanDrives"));
  if (drives != nullptr) {
    for (const DriveInfo& drive : drives->List())
      list->addItem(FromUtf8(drive.root));
  }
  auto* folder = new QPushButton(QStringLiteral("Složka…"), &dialog);
  folder->setObjectName(QStringLiteral("rescanFolder"));
  auto* image = new QPushButton(QStringLiteral("Obraz disku…"), &dialog);
  image->setObjectName(QStringLiteral("rescanImage"));
  auto* buttons = new QDialogButtonBox(&dialog);
  QPushButton* ok =
      buttons->addButton(QStringLiteral("Aktualizovat"), QDialogButtonBox::AcceptRole);
  buttons->addButton(QStringLiteral("Storno"), QDialogButtonBox::RejectRole)
      ->setObjectName(QStringLiteral("rescanCancel"));
  ok->setEnabled(false);
  QString chosen;
  QObject::connect(list, &QListWidget::currentTextChanged, &dialog, [&](const QString& text) {
    chosen = text;
    ok->setEnabled(!chosen.isEmpty());
  });
  QObject::connect(list, &QListWidget::itemDoubleClicked, &dialog, &QDialog::accept);
  const auto choose = [&](const QString& path) {
    if (path.isEmpty())
      return;
    chosen = path;
    dialog.accept();
  };
  QObject::connect(folder, &QPushButton::clicked, &dialog, [&] {
    if (chooseSource)
      choose(chooseSource(&dialog, false));
  });
  QObject::connect(image, &QPushButton::clicked, &dialog, [&] {
    if (chooseSource)
      choose(chooseSource(&dialog, true));
  });
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);

  auto* sources = new QHBoxLayout;
  sources->addWidget(folder);
  sources->addWidget(image);
  sources->addStretch();
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(new QLabel(
      QStringLiteral("Odkud znovu načíst CD „%1“? Zvolte jednotku, složku nebo obraz disku.")
          .arg(description),
      &dialog));
  layout->addWidget(list);
  layout->addLayout(sources);
  layout->addWidget(buttons);
  return dialog.exec() == QDialog::Accepted ? chosen : QString();
}

// Keeps the window alive while the medium is read, collects the warnings and
// gives up when the user cancels (the catalogue is then left as it was).
class RescanProgress : public ScanProgress {
 public:
  explicit RescanProgress(QWidget* parent)
      : dialog_(QStringLiteral("Načítám CD znovu…"), QStringLiteral("Storno"), 0, 0, parent) {
    dialog_.setObjectName(QStringLiteral("rescanProgress"));
    dialog_.setWindowModality(Qt::WindowModal);
    // Shown only when reading takes longer than half a second.
    dialog_.setValue(0);
    dialog_.setMinimumDuration(500);
  }
  void Warn(const std::string& line) override { warnings_ += "\r\n" + line; }
  void ProcessEvents() override {
    QApplication::processEvents();
    if (dialog_.wasCanceled())
      throw RescanRefused("Aktualizace CD byla zrušena. Nic nebylo změněno.");
  }
  const std::string& Warnings() const { return warnings_; }

 private:
  QProgressDialog dialog_;
  std::string warnings_;
};

}  // namespace

QString TMainForm::defaultChooseRescanSource(QWidget* over, bool image) {
  if (image)
    return QFileDialog::getOpenFileName(over, QStringLiteral("Vyberte obraz disku"),
                                        QDir::homePath());
  return QFileDialog::getExistingDirectory(over, QStringLiteral("Vyberte složku"),
                                           QDir::homePath());
}

void TMainForm::rescanCd() {
  std::string serial;
  std::string description;
  int selected = 0;
  for (const auto& row : engine_.Discs.rows) {
    if (!row.selected || row.cells[kColSerial].empty())
      continue;
    ++selected;
    serial = row.cells[kColSerial];
    description = row.Caption();
  }
  if (selected != 1) {
    ShowMessage("Vyberte jedno CD, které se má aktualizovat.");
    return;
  }
  const QString root = rescanRootHook
                           ? rescanRootHook(FromUtf8(description))
                           : AskRoot(this, drives_, FromUtf8(description), chooseRescanSource);
  if (root.isEmpty())
    return;

  std::unique_ptr<RescanProgress> progress;
  RescanSummary summary;
  std::string failure;
  try {
    // A file is a disc image, read without mounting it, as "Přidat..." does.
    const std::string path = ToUtf8(root);
    std::error_code ec;
    std::unique_ptr<images::DiscImage> image;
    if (std::filesystem::is_regular_file(path, ec))
      image = std::make_unique<images::DiscImage>(path);
    progress = std::make_unique<RescanProgress>(this);
    FileTree& tree = image ? static_cast<FileTree&>(*image) : *fileTree_;
    const std::string database = engine_.DatabasePath;
    summary = RescanDisc(database, serial, path, tree, registry_, *progress,
                         [this, database](std::chrono::milliseconds waited) {
                           return KeepWaitingForLock(database, waited);
                         });
  } catch (const RescanRefused& e) {
    failure = e.what() + (progress ? progress->Warnings() : std::string());
  } catch (const std::exception& e) {
    failure = kFailurePrefix + std::string(e.what());
  }
  progress.reset();
  if (!failure.empty()) {
    ShowMessage(failure);
    return;
  }
  runOperation(OperationCode::kListCds);
  updateDatabaseSize();
  updateDiscCount();

  QString text = summary.written ? QStringLiteral("CD „%1“ bylo aktualizováno.")
                                 : QStringLiteral("CD „%1“ se nezměnilo.");
  text = text.arg(FromUtf8(description)) + QStringLiteral("\n");
  for (const auto& [label, value] : SummaryRows(summary))
    text += QStringLiteral("\n%1: %2").arg(FromUtf8(label)).arg(value);
  QMessageBox box(QMessageBox::Information, QStringLiteral("Aktualizovat CD"), text,
                  QMessageBox::Ok, this);
  box.setObjectName(QStringLiteral("rescanSummary"));
  runModal(box);
}

}  // namespace rondo::gui
