// SPDX-License-Identifier: GPL-3.0-or-later
// Adding discs: the add-disc window over folders in a temporary directory
// that FakeDrives presents as drives, storing into a real catalogue file
// through the main window's engine; the automatic mode driven tick by tick;
// the failures the window has to survive; and the progress window of the
// structure recalculation.
#include <QApplication>
#include <QCheckBox>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/disc_list.h"
#include "catalogue/format/byte_stream.h"
#include "catalogue/format/entry_walker.h"
#include "catalogue/format/records.h"
#include "catalogue/messages.h"
#include "gui/QELControls.h"
#include "gui/TInformaceForm.h"
#include "gui/TMainForm.h"
#include "gui/TPrepocetForm.h"
#include "gui/TPridaniCDForm.h"
#include "gui/TRenameForm.h"
#include "gui/TSkupinaForm.h"
#include "images/disc_image.h"
#include "platform/linux_file_tree.h"
#include "settings/group_kinds.h"
#include "settings/registry.h"
#include "shell/text.h"
#include "support/catalogue_builder.h"
#include "support/fake_drives.h"
#include "support/main_window_fixture.h"

using rondo::DriveType;
using rondo::VolumeInfo;
using rondo::gui::TMainForm;
using rondo::gui::TPridaniCDForm;

namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t kSerial = 0x1A2B3C4D;
const QString kSerialText = QStringLiteral("1A2B-3C4D");

void WriteFile(const fs::path& path, std::size_t bytes) {
  std::ofstream out(path, std::ios::binary);
  out << std::string(bytes, 'x');
}

// A small disc: two directories with files, one empty directory, a file at
// the root.
void MakeDisc(const fs::path& root) {
  fs::create_directories(root / "Hudba" / "Alba");
  fs::create_directories(root / "Prazdny");
  WriteFile(root / "readme.txt", 100);
  WriteFile(root / "Hudba" / "song.mp3", 3000);
  WriteFile(root / "Hudba" / "Alba" / "cover.jpg", 500);
}

// One stored item with where it lies in its block.
struct StoredItem {
  bool directory = false;
  std::string name;
  std::string comment;
  std::uint8_t level = 0;
  std::uint32_t size = 0;
  std::uint32_t subtreeLength = 0;
  std::uint64_t prefixAt = 0;
  std::uint64_t end = 0;
};

struct StoredDisc {
  bool found = false;
  std::string description;
  std::string groups;
  std::string label;
  std::uint64_t blockEnd = 0;
  std::vector<StoredItem> items;
};

StoredDisc ReadDisc(const std::string& catalogue, const QString& serial) {
  StoredDisc disc;
  rondo::FileStream file(catalogue, rondo::FileStream::Mode::kReadOnly);
  rondo::EntryWalker walker(file);
  rondo::CdHeader h;
  while (walker.Next(h)) {
    if (QString::fromStdString(rondo::ToUtf8(h.Serial.Text())) != serial)
      continue;
    disc.found = true;
    disc.description = rondo::ToUtf8(h.Description.Text());
    disc.groups = rondo::ToUtf8(h.Groups.Text());
    disc.label = rondo::ToUtf8(h.VolumeLabel.Text());
    disc.blockEnd = walker.BlockLength();
    while (file.Position() < walker.BlockStart() + walker.BlockLength()) {
      StoredItem item;
      item.prefixAt = file.Position() - walker.BlockStart();
      const rondo::ItemPrefix prefix = rondo::ReadItemPrefix(file);
      rondo::ItemRecord record;
      if (prefix.IsDirectory()) {
        rondo::TDirInfo dir;
        rondo::ReadDirRecord(file, prefix, dir);
        record = dir;
        item.directory = true;
      } else {
        rondo::TFileInfo f;
        rondo::ReadFileRecord(file, prefix, f);
        record = f;
      }
      item.end = file.Position() - walker.BlockStart();
      item.name = rondo::ToUtf8(rondo::Cp1250Text(record.Name.chars));
      item.comment = rondo::ToUtf8(rondo::Cp1250Text(record.Comment.chars));
      item.level = record.Level;
      item.size = record.Size;
      item.subtreeLength = record.SubtreeLength;
      disc.items.push_back(item);
    }
    break;
  }
  return disc;
}

const StoredItem* FindItem(const StoredDisc& disc, const std::string& name) {
  for (const StoredItem& item : disc.items) {
    if (item.name == name)
      return &item;
  }
  return nullptr;
}

// What every directory's SubtreeLength must be: the bytes from the end of
// its record to the next item on its own level or above (or the block's
// end); a directory without file bytes keeps 0.
bool LengthsAreComputed(const StoredDisc& disc) {
  for (std::size_t i = 0; i < disc.items.size(); ++i) {
    const StoredItem& dir = disc.items[i];
    if (!dir.directory)
      continue;
    std::uint64_t until = disc.blockEnd;
    for (std::size_t j = i + 1; j < disc.items.size(); ++j) {
      if (disc.items[j].level <= dir.level) {
        until = disc.items[j].prefixAt;
        break;
      }
    }
    const std::uint64_t expected = dir.size == 0 ? 0 : until - dir.end;
    if (dir.subtreeLength != expected) {
      qWarning("%s: %u instead of %llu", dir.name.c_str(), dir.subtreeLength,
               static_cast<unsigned long long>(expected));
      return false;
    }
  }
  return true;
}

QStringList RowTexts(QTreeWidget* list, int row) {
  QStringList texts;
  QTreeWidgetItem* item = list->topLevelItem(row);
  for (int column = 0; column < list->columnCount(); ++column)
    texts << item->text(column);
  return texts;
}

QStringList Texts(const QListWidget* list) {
  QStringList texts;
  for (int row = 0; row < list->count(); ++row)
    texts << list->item(row)->text();
  return texts;
}

void ClickRow(QTreeWidget* list, int row) {
  QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                    list->visualItemRect(list->topLevelItem(row)).center());
}

bool Click(QPushButton* button) {
  if (!button->isEnabled())
    return false;
  QTest::mouseClick(button, Qt::LeftButton);
  return true;
}

bool TabShown(TPridaniCDForm& form, int index) {
  return form.pages()->isTabVisible(index);
}

// What the next name prompt showed before it was answered.
struct Prompt {
  bool seen = false;
  QString caption;
  QString label;
};

// Answers the next name prompt once it runs modally; a test that goes wrong
// cannot hang on it.
std::shared_ptr<Prompt> AnswerNextPrompt(const QString& text, bool ok = true) {
  auto prompt = std::make_shared<Prompt>();
  QTimer::singleShot(0, qApp, [prompt, text, ok] {
    auto* form = qobject_cast<rondo::gui::TRenameForm*>(QApplication::activeModalWidget());
    if (form == nullptr)
      return;
    *prompt = {true, form->windowTitle(), form->label()->text()};
    form->setText(text);
    QTest::mouseClick(ok ? form->okButton() : form->cancelButton(), Qt::LeftButton);
  });
  return prompt;
}

// The main window over a fresh catalogue, its engine the one the add-disc
// window stores through, and drives the test sets up.
struct Fixture : rondo::test::MainWindowFixture {
  rondo::test::FakeDrives drives;
  rondo::platform::LinuxFileTree tree;

  Fixture() {
    answer = false;
    rondo::RegisterGroup(registry, "Hry");
    rondo::RegisterGroup(registry, "Filmy");
    Start([this](TMainForm& w) { w.setDrives(&drives); });
  }
  ~Fixture() { window.reset(); }  // before the drives it watches

  std::string catalogue() const { return path; }
  std::string folder(const QString& name) const { return dir.filePath(name).toStdString(); }

  // A drive with a scannable disc inserted.
  std::string addDisc(const QString& name, const std::string& label, std::uint32_t serial) {
    const std::string root = folder(name);
    MakeDisc(root);
    drives.AddDrive(root, DriveType::kCdRom, VolumeInfo{label, serial, "iso9660"},
                    700u * 1024 * 1024, 0);
    return root;
  }

  // The add-disc window as the main window opens it, without the wait after
  // storing, its messages recorded and the media watch left to the test.
  std::unique_ptr<TPridaniCDForm> openForm() {
    auto form =
        std::make_unique<TPridaniCDForm>(window->engine(), registry, drives, tree, window.get());
    form->storeDelayMs = 0;
    form->messageHook = [this](const QString& text) { messages << text; };
    form->prepare();
    form->show();
    form->mediaTimer()->stop();
    return form;
  }

  // The discs of the catalogue, listed again.
  const std::vector<rondo::DiscRow>& discs() {
    window->engine().GroupFilter = "All";
    window->engine().RunOperation(rondo::OperationCode::kListCds);
    return window->engine().Discs.rows;
  }
};

}  // namespace

class AddDiscTest : public QObject {
  Q_OBJECT

 private slots:
  void driveListFollowsTheDrives();
  void manualStoreWritesTheDiscAndRecalculates();
  void storedDiscIsReportedAsDuplicate();
  void commentsAndGroupsForItemsAreStored();
  void folderChosenWithDotsIsScannedAsADisc();
  void imageChosenOrDroppedIsScannedAsADisc();
  void automaticModeCountsDownAndStoresOnce();
  void failuresLeaveTheWindowIdle();
  void mainWindowAddsDiscAndSavesOptions();
  void recalculationWindowShowsAndCancels();
};

void AddDiscTest::driveListFollowsTheDrives() {
  Fixture f;
  f.drives.AddDrive("/media/cdrom", DriveType::kCdRom, std::nullopt);
  const std::string disc = f.addDisc("disc", "TESTDISK", kSerial);
  f.drives.AddDrive("/media/usb", DriveType::kRemovable, VolumeInfo{"TESTDISK", 7, "vfat"});
  f.drives.AddDrive("/media/dvd", DriveType::kCdRom, std::nullopt);
  auto form = f.openForm();

  QCOMPARE(form->windowTitle(), QString("Přidání nového CD..."));
  QVERIFY(form->isModal());
  QCOMPARE(form->pages()->count(), 3);
  QCOMPARE(form->pages()->tabText(0), QString("Zpracovávání"));
  QCOMPARE(form->pages()->tabText(1), QString("Komentáře a Adresářové skupiny"));
  QCOMPARE(form->pages()->tabText(2), QString("Průzkumník"));
  QCOMPARE(form->pages()->currentIndex(), 0);
  QTreeWidget* list = form->driveList();
  QCOMPARE(list->toolTip(), QString("Seznam jednotek"));
  QCOMPARE(list->headerItem()->text(0), QString("Disk"));
  QCOMPARE(list->headerItem()->text(6), QString("Serial"));
  QCOMPARE(form->startButton()->toolTip(), QString("Spustit zpracovávání"));
  QVERIFY(form->startButton()->isDefault());
  QVERIFY(form->surfaceCheckButton()->isEnabled());
  QCOMPARE(form->newGroupButton()->toolTip(), QString("Vytvořit novou skopinu"));
  QCOMPARE(Texts(form->chosenGroupsList()), QStringList{"Nezařazeno"});
  // The main window's start registered "Audio CD" after the test's groups.
  QCOMPARE(Texts(form->availableGroupsList()), (QStringList{"Hry", "Filmy", "Audio CD"}));
  QCOMPARE(form->availableGroupsList()->currentRow(), 0);
  QVERIFY(form->statusLabel()->isHidden());

  // Nothing there: the label "" equals the starting one, so only "---".
  const QString type = QString::fromStdString(rondo::DriveTypeText(DriveType::kCdRom));
  QCOMPARE(list->topLevelItemCount(), 4);
  QCOMPARE(RowTexts(list, 0), (QStringList{"/media/cdrom", "---", "", "", "", "", ""}));
  QCOMPARE(RowTexts(list, 1), (QStringList{QString::fromStdString(disc), "TESTDISK", "700 MB",
                                           "0 B", type, "iso9660", kSerialText}));
  // The same label once more: a second view of the same volume.
  QCOMPARE(RowTexts(list, 2), (QStringList{"/media/usb", "---", "", "", "", "", ""}));
  // A new label (empty) on an empty drive: a full row without a serial.
  QCOMPARE(RowTexts(list, 3), (QStringList{"/media/dvd", "", "---", "---", type, "---", ""}));
  QCOMPARE(form->shownRows()[3].cells.size(), qsizetype(6));

  // Opened on the last drive, which is empty.
  QCOMPARE(form->driveEdit()->text(), QString("/media/dvd"));
  QVERIFY(!form->startButton()->isEnabled());
  QVERIFY(!form->ejectButton()->isEnabled());
  QVERIFY(!TabShown(*form, TPridaniCDForm::kExplorerPage));

  // A click on the disc: its label, the explorer on its root, "Start".
  ClickRow(list, 1);
  QCOMPARE(form->driveEdit()->text(), QString::fromStdString(disc));
  QCOMPARE(form->nameEdit()->text(), QString("TESTDISK"));
  QVERIFY(form->startButton()->isEnabled());
  QVERIFY(form->ejectButton()->isEnabled());
  QVERIFY(form->duplicateWarning()->isHidden());
  QVERIFY(TabShown(*form, TPridaniCDForm::kExplorerPage));
  QCOMPARE(form->explorerModel()->rootPath(), QString::fromStdString(disc));
  ClickRow(list, 0);
  QCOMPARE(form->nameEdit()->text(), QString("---"));
  QVERIFY(!form->startButton()->isEnabled());
  QVERIFY(!TabShown(*form, TPridaniCDForm::kExplorerPage));

  // A medium inserted into the last drive shows at the next tick and, with
  // "Měnit komentář po vložení CD", names the disc.
  ClickRow(list, 3);
  f.drives.Insert("/media/dvd", VolumeInfo{"NOVY", 0x00420042, "udf"});
  const int listed = f.drives.listCalls;
  form->mediaTick();
  QCOMPARE(f.drives.listCalls, listed + 1);
  QCOMPARE(RowTexts(list, 3).value(6), QString("0042-0042"));
  QCOMPARE(form->nameEdit()->text(), QString("NOVY"));
  QCOMPARE(form->statusText(), QString("Připraven..."));
  QVERIFY(form->startButton()->isEnabled());

  // Without "Kontrola vložení CD" the drives are not read at a tick.
  form->watchMediaBox()->setChecked(false);
  f.drives.media.erase("/media/dvd");
  form->mediaTick();
  QCOMPARE(f.drives.listCalls, listed + 1);
  QCOMPARE(RowTexts(list, 3).value(6), QString("0042-0042"));
  QCOMPARE(form->statusText(), QString("Čekám na médium..."));
  QVERIFY(!form->startButton()->isEnabled());
  // "Obnovit" reads them anyway.
  QVERIFY(Click(form->refreshButton()));
  QCOMPARE(RowTexts(list, 3).value(6), QString());
}

void AddDiscTest::manualStoreWritesTheDiscAndRecalculates() {
  Fixture f;
  const std::string disc = f.addDisc("disc", "TESTDISK", kSerial);
  auto form = f.openForm();
  QCOMPARE(form->driveEdit()->text(), QString::fromStdString(disc));
  QCOMPARE(form->nameEdit()->text(), QString("TESTDISK"));
  QVERIFY(form->ejectWhenDoneBox()->isChecked());
  QVERIFY(!form->withoutStructureBox()->isChecked());

  form->nameEdit()->setText(QStringLiteral("Můj disk"));
  QVERIFY(Click(form->addGroupButton()));
  QCOMPARE(Texts(form->chosenGroupsList()), QStringList{"Hry"});
  QCOMPARE(Texts(form->availableGroupsList()), (QStringList{"Filmy", "Audio CD"}));

  // What the window shows while it works.
  struct During {
    bool seen = false;
    bool onTop = false;
    bool atTopLeft = false;
    QString firstLine;
    bool startEnabled = true;
    bool closeEnabled = true;
    bool closed = true;
    QString elapsed;
    QString remaining;
  };
  auto during = std::make_shared<During>();
  TPridaniCDForm* raw = form.get();
  QTimer::singleShot(0, raw, [raw, during] {
    rondo::gui::TInformaceForm* info = raw->informaceWindow();
    if (info == nullptr)
      return;
    during->seen = info->isVisible() && raw->running();
    during->onTop = info->windowFlags().testFlag(Qt::WindowStaysOnTopHint) &&
                    info->windowTitle() == "Informace";
    during->atTopLeft = info->pos() == info->screen()->availableGeometry().topLeft();
    during->firstLine = info->lines().value(0);
    during->startEnabled = raw->startButton()->isEnabled();
    during->closeEnabled = raw->closeButton()->isEnabled();
    during->closed = raw->close();
    for (int i = 0; i < 3661; ++i)
      raw->elapsedTick();
    during->elapsed = raw->elapsedValue()->text();
    during->remaining = raw->remainingValue()->text();
  });
  // The recalculation's window shows on top of this modal one, so that its
  // "Zrušit" can be pressed.
  QWidget* recalcOwner = nullptr;
  QTimer watcher;
  watcher.setInterval(0);
  connect(&watcher, &QTimer::timeout, [&] {
    if (f.window->recalcWindow() != nullptr)
      recalcOwner = f.window->recalcWindow()->parentWidget();
  });
  watcher.start();
  QVERIFY(Click(form->startButton()));
  watcher.stop();
  QCOMPARE(recalcOwner, static_cast<QWidget*>(form.get()));

  QVERIFY(during->seen);
  QVERIFY(during->onTop);
  QVERIFY(during->atTopLeft);
  QCOMPARE(during->firstLine, QString("Zpracovávám..."));
  QVERIFY(!during->startEnabled);
  QVERIFY(!during->closeEnabled);
  QVERIFY(!during->closed);
  QCOMPARE(during->elapsed, QString("1:01:01"));
  QCOMPARE(during->remaining, QString("0:00:00"));

  QVERIFY2(f.messages.isEmpty(), qPrintable(f.messages.join('\n')));
  QVERIFY(form->isVisible());
  QVERIFY(!form->running());
  QVERIFY(form->informaceWindow() == nullptr);
  const QStringList& log = form->runLog();
  QVERIFY(log.contains("Pracuji..."));
  QVERIFY(log.contains("Ukládám..."));
  QVERIFY(log.contains("Hotovo..."));
  QVERIFY(log.contains("Přepočítání adr. struktury..."));
  QVERIFY(log.indexOf("Hotovo...") > log.indexOf("Ukládám..."));
  QCOMPARE(log.last(), QString("Čekám na médium..."));
  QCOMPARE(form->lastStoredSerial, kSerialText);
  QCOMPARE(f.drives.ejected, std::vector<std::string>{disc});
  QCOMPARE(form->countdownLabel()->text(), QString("3"));
  QCOMPARE(form->dirsValue()->text(), QString("3 / 3"));
  QCOMPARE(form->filesValue()->text(), QString("3 / 3"));
  QCOMPARE(form->sizeValue()->text(), QString("3 kB / 3 kB"));
  QVERIFY(form->pathEdit()->text().isEmpty());
  // The medium is out: nothing to start, but the window is usable.
  QVERIFY(!form->startButton()->isEnabled());
  QVERIFY(form->closeButton()->isEnabled());
  QVERIFY(form->surfaceCheckButton()->isEnabled());
  QVERIFY(f.window->recalcWindow() == nullptr);

  const auto& rows = f.discs();
  QCOMPARE(rows.size(), std::size_t{1});
  QCOMPARE(rows[0].cells[rondo::kColDescription], std::string("Můj disk"));
  QCOMPARE(rows[0].cells[rondo::kColSerial], std::string("1A2B-3C4D"));
  QCOMPARE(rows[0].cells[rondo::kColGroups], std::string("Hry"));
  QCOMPARE(rows[0].cells[rondo::kColVolumeLabel], std::string("TESTDISK"));

  const StoredDisc stored = ReadDisc(f.catalogue(), kSerialText);
  QVERIFY(stored.found);
  QCOMPARE(stored.items.size(), std::size_t{6});
  const StoredItem* hudba = FindItem(stored, "Hudba");
  QVERIFY(hudba != nullptr && hudba->directory);
  QCOMPARE(hudba->size, 3500u);
  QVERIFY(hudba->subtreeLength > 0);
  QVERIFY(LengthsAreComputed(stored));
  QCOMPARE(rondo::ReadGroupList(f.registry),
           (std::vector<std::string>{"Hry", "Filmy", "Audio CD"}));
}

void AddDiscTest::storedDiscIsReportedAsDuplicate() {
  Fixture f;
  const std::string disc = f.addDisc("disc", "TESTDISK", kSerial);
  {
    auto form = f.openForm();
    form->ejectWhenDoneBox()->setChecked(false);
    QVERIFY(Click(form->startButton()));
    QVERIFY(f.drives.ejected.empty());
    // Still inserted, now stored: the warning, and no second "Start".
    QVERIFY(form->duplicateWarning()->isVisible());
    QCOMPARE(form->duplicateWarning()->text(), QString("CD je již v databázi!"));
    QVERIFY(!form->startButton()->isEnabled());
    QVERIFY(form->ejectButton()->isEnabled());
    QVERIFY(TabShown(*form, TPridaniCDForm::kExplorerPage));

    // "Vysunout CD" takes it out.
    QVERIFY(Click(form->ejectButton()));
    QCOMPARE(f.drives.ejected, std::vector<std::string>{disc});
    QVERIFY(form->duplicateWarning()->isHidden());
    QVERIFY(!form->ejectButton()->isEnabled());
    QVERIFY(!TabShown(*form, TPridaniCDForm::kExplorerPage));
  }
  // Inserted again into a newly opened window: warned at once.
  f.drives.Insert(disc, VolumeInfo{"TESTDISK", kSerial, "iso9660"});
  auto again = f.openForm();
  QVERIFY(again->duplicateWarning()->isVisible());
  QVERIFY(!again->startButton()->isEnabled());
  // Another medium in the same drive is new again.
  f.drives.Insert(disc, VolumeInfo{"JINY", 0x0BADF00D, "iso9660"});
  again->mediaTick();
  QCOMPARE(again->nameEdit()->text(), QString("JINY"));
  QVERIFY(again->duplicateWarning()->isHidden());
  QVERIFY(again->startButton()->isEnabled());
  QCOMPARE(f.discs().size(), std::size_t{1});
}

void AddDiscTest::commentsAndGroupsForItemsAreStored() {
  Fixture f;
  const std::string disc = f.addDisc("disc", "TESTDISK", kSerial);
  auto form = f.openForm();
  const QString root = QString::fromStdString(disc);
  const QString readme = root + "/readme.txt";
  const QString hudba = root + "/Hudba";
  QStringList starts;
  form->chooseFileHook = [&](const QString&, const QString& start) {
    starts << start;
    return readme;
  };
  form->chooseDirectoryHook = [&](const QString&, const QString& start) {
    starts << start;
    return hudba;
  };

  // A file: the prompt names it.
  auto prompt = AnswerNextPrompt(QStringLiteral("Čti mě"));
  QVERIFY(Click(form->addCommentFileButton()));
  QVERIFY(prompt->seen);
  QCOMPARE(prompt->caption, QString("Zadejte komentář:"));
  QCOMPARE(prompt->label, readme + ":");
  // A cancelled prompt adds nothing.
  prompt = AnswerNextPrompt(QStringLiteral("zahozeno"), false);
  QVERIFY(Click(form->addCommentFileButton()));
  QVERIFY(prompt->seen);
  // A directory.
  prompt = AnswerNextPrompt(QStringLiteral("Muzika"));
  QVERIFY(Click(form->addCommentDirButton()));
  QCOMPARE(prompt->label, QString("Zadejte komentář:"));
  QCOMPARE(starts, (QStringList{root, root, root}));

  QTreeWidget* comments = form->commentList();
  QCOMPARE(comments->topLevelItemCount(), 2);
  QCOMPARE(RowTexts(comments, 0), (QStringList{readme, "Čti mě"}));
  QCOMPARE(RowTexts(comments, 1), (QStringList{hudba, "Muzika"}));
  QVERIFY(!comments->topLevelItem(0)->icon(0).isNull());

  // Groups of a directory through the group picker.
  auto pickFirstGroup = [] {
    QTimer::singleShot(0, qApp, [] {
      auto* picker = qobject_cast<rondo::gui::TSkupinaForm*>(QApplication::activeModalWidget());
      if (picker == nullptr)
        return;
      picker->availableList()->setCurrentRow(0);
      QTest::mouseClick(picker->addButton(), Qt::LeftButton);
      QTest::mouseClick(picker->okButton(), Qt::LeftButton);
    });
  };
  pickFirstGroup();
  QVERIFY(Click(form->addGroupDirButton()));
  pickFirstGroup();
  QVERIFY(Click(form->addGroupDirButton()));
  QTreeWidget* groups = form->groupRowList();
  QCOMPARE(groups->topLevelItemCount(), 2);
  QCOMPARE(RowTexts(groups, 0), (QStringList{hudba, "Hry"}));

  // "Ubrat" of the group page removes a group row, never a comment.
  groups->setCurrentItem(groups->topLevelItem(1));
  comments->setCurrentItem(comments->topLevelItem(0));
  QVERIFY(Click(form->removeGroupRowButton()));
  QCOMPARE(groups->topLevelItemCount(), 1);
  QCOMPARE(comments->topLevelItemCount(), 2);
  // "Ubrat" of the comment page removes the selected comment.
  comments->clearSelection();
  comments->topLevelItem(1)->setSelected(true);
  QVERIFY(Click(form->removeCommentButton()));
  QCOMPARE(comments->topLevelItemCount(), 1);

  QVERIFY(Click(form->startButton()));
  QVERIFY2(f.messages.isEmpty(), qPrintable(f.messages.join('\n')));
  const StoredDisc stored = ReadDisc(f.catalogue(), kSerialText);
  QVERIFY(stored.found);
  // A typed comment ends in "^": the groups after it are none, not the
  // comment itself.
  QCOMPARE(FindItem(stored, "readme.txt")->comment, std::string("Čti mě^"));
  QCOMPARE(FindItem(stored, "Hudba")->comment, std::string("^Hry"));
  QCOMPARE(FindItem(stored, "song.mp3")->comment, std::string());
}

void AddDiscTest::folderChosenWithDotsIsScannedAsADisc() {
  Fixture f;
  const std::string disc = f.addDisc("disc", "TESTDISK", kSerial);
  const std::string folder = f.folder("slozka");
  MakeDisc(folder);
  fs::remove_all(fs::path(folder) / "Hudba");
  f.drives.volumes[folder] = VolumeInfo{"SLOZKA", 0x00C0FFEE, "ext4"};
  f.drives.media.insert(folder);
  auto form = f.openForm();
  form->chooseDirectoryHook = [&](const QString&, const QString&) {
    return QString::fromStdString(folder) + "/";
  };
  form->withoutStructureBox()->setChecked(true);
  form->closeWhenDoneBox()->setChecked(true);

  QVERIFY(Click(form->browseButton()));
  QCOMPARE(form->driveEdit()->text(), QString::fromStdString(folder));
  QCOMPARE(form->chosenFolder(), QString::fromStdString(folder));
  QTreeWidget* list = form->driveList();
  QCOMPARE(list->topLevelItemCount(), 2);
  QCOMPARE(RowTexts(list, 1).mid(0, 2), (QStringList{QString::fromStdString(folder), "SLOZKA"}));
  QCOMPARE(RowTexts(list, 1).value(6), QString("00C0-FFEE"));
  QCOMPARE(form->nameEdit()->text(), QString("SLOZKA"));
  QVERIFY(form->startButton()->isEnabled());
  QCOMPARE(form->explorerModel()->rootPath(), QString::fromStdString(folder));
  // The folder stays a row at the next tick.
  form->mediaTick();
  QCOMPARE(list->topLevelItemCount(), 2);
  // A folder has nothing to eject: "Vysunout CD" and "Vysunovat CD" leave
  // it alone and say nothing.
  QVERIFY(form->ejectWhenDoneBox()->isChecked());
  QVERIFY(Click(form->ejectButton()));

  QVERIFY(Click(form->startButton()));
  QVERIFY2(f.messages.isEmpty(), qPrintable(f.messages.join('\n')));
  QVERIFY(f.drives.ejected.empty());
  QVERIFY(!form->runLog().join('\n').contains("vysunout"));
  // "Po zkončení zavřít okno": done, the window closes by itself.
  QVERIFY(!form->isVisible());
  QCOMPARE(form->result(), int(QDialog::Accepted));
  const StoredDisc stored = ReadDisc(f.catalogue(), "00C0-FFEE");
  QVERIFY(stored.found);
  QCOMPARE(stored.description, std::string("SLOZKA"));
  QCOMPARE(stored.label, std::string("SLOZKA"));
  // "Bez struktury": the header only.
  QVERIFY(stored.items.empty());
  QVERIFY(!ReadDisc(f.catalogue(), kSerialText).found);
}

// An image file chosen with "Obraz disku…" or dropped on the window is the
// drive: its serial, label and tree are the image's, nothing is ejected; a
// dropped file that is no image is refused with a message.
void AddDiscTest::imageChosenOrDroppedIsScannedAsADisc() {
  if (std::system("command -v xorriso >/dev/null 2>&1") != 0)
    QSKIP("xorriso is not installed (scripts/setup installs it)");
  Fixture f;
  const std::string disc = f.addDisc("disc", "TESTDISK", kSerial);
  const std::string image = f.folder("disk.iso");
  const std::string make = "LC_ALL=C.UTF-8 xorriso -as mkisofs -J -V 'Obraz' -quiet -o '" + image +
                           "' '" + disc + "' 2>/dev/null";
  QCOMPARE(std::system(make.c_str()), 0);
  const rondo::VolumeInfo volume = rondo::images::DiscImage(image).Volume();
  auto form = f.openForm();

  // A dropped text file is refused.
  const std::string text = f.folder("pozn.txt");
  std::ofstream(text) << "nic";
  const auto drop = [&](const std::string& path) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(form.get(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent event(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(form.get(), &event);
  };
  drop(text);
  QCOMPARE(f.messages.size(), qsizetype(1));
  QVERIFY(f.messages.front().contains("není obraz disku"));
  QVERIFY(form->driveEdit()->text() != QString::fromStdString(text));

  drop(image);
  QCOMPARE(form->driveEdit()->text(), QString::fromStdString(image));
  form->driveEdit()->setText(QString::fromStdString(disc));
  form->chooseFileHook = [&](const QString&, const QString&) {
    return QString::fromStdString(image);
  };
  QVERIFY(Click(form->imageButton()));
  QCOMPARE(form->driveEdit()->text(), QString::fromStdString(image));
  QCOMPARE(form->nameEdit()->text(), QString("Obraz"));
  QVERIFY(form->startButton()->isEnabled());
  QVERIFY(!TabShown(*form, TPridaniCDForm::kExplorerPage));
  form->ejectWhenDoneBox()->setChecked(true);

  QVERIFY(Click(form->startButton()));
  QVERIFY2(f.messages.size() == 1, qPrintable(f.messages.join('\n')));
  QVERIFY(f.drives.ejected.empty());
  QVERIFY(form->runLog().join('\n').contains("čten strom Joliet"));
  const StoredDisc stored =
      ReadDisc(f.catalogue(), QString::fromStdString(rondo::SerialText(volume.serial)));
  QVERIFY(stored.found);
  QCOMPARE(stored.label, std::string("Obraz"));
  QVERIFY(FindItem(stored, "Hudba") != nullptr);
}

void AddDiscTest::automaticModeCountsDownAndStoresOnce() {
  Fixture f;
  f.addDisc("disc", "TESTDISK", kSerial);
  const std::string second = f.addDisc("second", "DRUHY", 0x0BADF00D);
  auto form = f.openForm();
  QCOMPARE(form->driveEdit()->text(), QString::fromStdString(second));
  form->closeWhenDoneBox()->setChecked(true);
  form->watchMediaBox()->setChecked(false);
  form->ejectWhenDoneBox()->setChecked(false);
  form->nameEdit()->setText(QStringLiteral("přepsáno"));

  QCOMPARE(form->automaticBox()->text(), QString("Zapnuto"));
  QVERIFY(!form->automaticBox()->isChecked());
  // A click on the box itself, at the left where its indicator is.
  QTest::mouseClick(form->automaticBox(), Qt::LeftButton, Qt::NoModifier,
                    QPoint(6, form->automaticBox()->height() / 2));
  QVERIFY(form->automaticBox()->isChecked());
  QVERIFY(!form->closeWhenDoneBox()->isChecked());
  QVERIFY(form->watchMediaBox()->isChecked());
  QVERIFY(form->ejectWhenDoneBox()->isChecked());
  QVERIFY(form->mediaTimer()->isActive());
  QCOMPARE(form->mediaTimer()->interval(), 1000);
  form->mediaTimer()->stop();

  QCOMPARE(form->countdownLabel()->text(), QString("3"));
  form->mediaTick();
  QCOMPARE(form->countdownLabel()->text(), QString("2"));
  QCOMPARE(form->statusText(), QString("Odpočet..."));
  // The first step names the disc after its label.
  QCOMPARE(form->nameEdit()->text(), QString("DRUHY"));
  form->mediaTick();
  QCOMPARE(form->countdownLabel()->text(), QString("1"));
  QVERIFY(f.discs().empty());

  auto countdownDuring = std::make_shared<QString>();
  TPridaniCDForm* raw = form.get();
  QTimer::singleShot(0, raw, [raw, countdownDuring] {
    if (raw->running())
      *countdownDuring = raw->countdownLabel()->text();
  });
  form->mediaTick();
  QCOMPARE(*countdownDuring, QString("0"));
  QVERIFY2(f.messages.isEmpty(), qPrintable(f.messages.join('\n')));
  QCOMPARE(form->countdownLabel()->text(), QString("3"));
  QCOMPARE(form->lastStoredSerial, QString("0BAD-F00D"));
  QCOMPARE(f.drives.ejected, std::vector<std::string>{second});
  QVERIFY(form->isVisible());
  QCOMPARE(f.discs().size(), std::size_t{1});
  QCOMPARE(f.discs()[0].cells[rondo::kColDescription], std::string("DRUHY"));

  // Out: waiting. The same disc back in: nothing more is stored.
  form->mediaTick();
  QCOMPARE(form->statusText(), QString("Čekám na médium..."));
  f.drives.Insert(second, VolumeInfo{"DRUHY", 0x0BADF00D, "iso9660"});
  for (int i = 0; i < 5; ++i)
    form->mediaTick();
  QCOMPARE(form->countdownLabel()->text(), QString("3"));
  QCOMPARE(f.discs().size(), std::size_t{1});
  QCOMPARE(f.drives.ejected.size(), std::size_t{1});
  QVERIFY(!form->mediaTimer()->isActive());

  // A new medium is counted down again.
  f.drives.Insert(second, VolumeInfo{"TRETI", 0x00000003, "iso9660"});
  form->mediaTick();
  QCOMPARE(form->countdownLabel()->text(), QString("2"));
  QCOMPARE(form->nameEdit()->text(), QString("TRETI"));
}

void AddDiscTest::failuresLeaveTheWindowIdle() {
  auto informaceWindows = [] {
    int shown = 0;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      if (qobject_cast<rondo::gui::TInformaceForm*>(widget) != nullptr)
        ++shown;
    }
    return shown;
  };
  {
    // No drive chosen.
    Fixture f;
    auto form = f.openForm();
    QVERIFY(form->driveEdit()->text().isEmpty());
    QVERIFY(!form->startButton()->isEnabled());
    form->startScan();
    QCOMPARE(f.messages, QStringList{"Zadejte prosím písmeno jednotky!"});
    QVERIFY(form->runLog().isEmpty());
    QVERIFY(f.discs().empty());
  }
  {
    // The catalogue path names a folder.
    Fixture f;
    const std::string disc = f.addDisc("disc", "TESTDISK", kSerial);
    const std::string folder = f.folder("not-a-file");
    fs::create_directories(folder);
    f.window->engine().DatabasePath = folder;
    auto form = f.openForm();
    QVERIFY(form->startButton()->isEnabled());
    QVERIFY(Click(form->startButton()));
    QCOMPARE(f.messages.size(), 1);
    QVERIFY2(f.messages[0].startsWith("Chyba: "), qPrintable(f.messages[0]));
    QCOMPARE(form->runLog().last(), f.messages[0]);
    QVERIFY(form->runLog().contains("Nelze otevřít odkládací soubor!"));
    QVERIFY(!form->running());
    QVERIFY(form->startButton()->isEnabled());
    QVERIFY(form->closeButton()->isEnabled());
    QVERIFY(form->ejectButton()->isEnabled());
    QVERIFY(form->informaceWindow() == nullptr);
    QCOMPARE(informaceWindows(), 0);
    QVERIFY(!form->elapsedTimer()->isActive());
    QVERIFY(form->lastStoredSerial.isEmpty());
    QVERIFY(f.drives.ejected.empty());
    QVERIFY(fs::is_directory(folder));
    // Idle again: the window closes.
    QVERIFY(Click(form->closeButton()));
    QVERIFY(!form->isVisible());
  }
  {
    // A medium whose volume cannot be read, then one that will not eject.
    Fixture f;
    const std::string disc = f.addDisc("disc", "TESTDISK", kSerial);
    auto form = f.openForm();
    f.drives.volumes.erase(disc);
    QVERIFY(Click(form->startButton()));
    QCOMPARE(f.messages.size(), 1);
    QVERIFY(f.messages[0].startsWith("Chyba: "));
    QVERIFY(f.messages[0].contains(QString::fromStdString(disc)));
    QVERIFY(f.discs().empty());

    f.messages.clear();
    f.drives.Insert(disc, VolumeInfo{"TESTDISK", kSerial, "iso9660"});
    f.drives.ejectError = "Zařízení je zaneprázdněno";
    QVERIFY(Click(form->startButton()));
    QCOMPARE(f.messages, QStringList{"CD nelze vysunout: Zařízení je zaneprázdněno"});
    QCOMPARE(f.discs().size(), std::size_t{1});
    QVERIFY(form->closeButton()->isEnabled());
    QVERIFY(form->duplicateWarning()->isVisible());
    QCOMPARE(informaceWindows(), 0);
  }
}

void AddDiscTest::mainWindowAddsDiscAndSavesOptions() {
  Fixture f;
  f.addDisc("disc", "TESTDISK", kSerial);
  QAction* add = f.window->command("actionAddCd");
  QVERIFY(add->isEnabled());
  f.window->show();
  QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
  QCOMPARE(f.window->discCountLabel()->text(), QString("0"));
  const QString sizeBefore = f.window->databaseSizeLabel()->text();

  struct Seen {
    bool form = false;
    bool modal = false;
    QString drive;
  };
  auto seen = std::make_shared<Seen>();
  QTimer::singleShot(0, qApp, [seen] {
    auto* form = qobject_cast<TPridaniCDForm*>(QApplication::activeModalWidget());
    if (form == nullptr)
      return;
    seen->form = true;
    seen->modal = form->isModal();
    seen->drive = form->driveEdit()->text();
    form->storeDelayMs = 0;
    form->mediaTimer()->stop();
    form->askTextHook = [](const QString&, const QString&) {
      return std::optional<QString>(QStringLiteral("Nová skupina"));
    };
    QTest::mouseClick(form->newGroupButton(), Qt::LeftButton);
    QListWidget* available = form->availableGroupsList();
    QTest::mouseClick(available->viewport(), Qt::LeftButton, Qt::NoModifier,
                      available->visualItemRect(available->item(available->count() - 1)).center());
    form->ejectWhenDoneBox()->setChecked(false);
    form->withoutStructureBox()->setChecked(true);
    QTest::mouseClick(form->startButton(), Qt::LeftButton);
    QTest::mouseClick(form->closeButton(), Qt::LeftButton);
  });
  add->trigger();

  QVERIFY(seen->form);
  QVERIFY(seen->modal);
  QVERIFY(!seen->drive.isEmpty());
  QVERIFY2(f.messages.isEmpty(), qPrintable(f.messages.join('\n')));
  QCOMPARE(f.window->discCountLabel()->text(), QString("1"));
  QVERIFY(f.window->databaseSizeLabel()->text() != sizeBefore);
  QCOMPARE(f.window->engine().Discs.rows[0].cells[rondo::kColGroups], std::string("Nová skupina"));
  bool inMenu = false;
  for (QAction* action : f.window->groupMenu()->actions())
    inMenu = inMenu || action->data().toString() == "Nová skupina";
  QVERIFY(inMenu);
  QVERIFY(!f.registry.ReadBool("VysunovatCD"));
  QVERIFY(f.registry.ReadBool("BezStruktury"));
  QVERIFY(f.registry.ReadBool("KotrolaVlozeni"));
  QVERIFY(f.registry.ReadBool("MenitKomentar"));
  QVERIFY(!f.registry.ReadBool("ZavritOkno"));
  QVERIFY(f.drives.ejected.empty());
  QVERIFY(f.window->findChild<TPridaniCDForm*>() == nullptr);

  // The next window opens with the stored options.
  rondo::test::FakeDrives none;
  TPridaniCDForm next(f.window->engine(), f.registry, none, f.tree);
  next.prepare();
  QVERIFY(next.withoutStructureBox()->isChecked());
  QVERIFY(!next.ejectWhenDoneBox()->isChecked());
}

void AddDiscTest::recalculationWindowShowsAndCancels() {
  Fixture f;
  // A disc whose stored lengths were never computed.
  rondo::test::CatalogueBytes bytes;
  bytes.AddRaw(rondo::BuildCdEntry(
      rondo::test::MakeHeader({.serial = "1111-0001", .description = "Starý"}),
      {rondo::test::Item(true, "Dir", 1, 700), rondo::test::Item(false, "a.txt", 2, 700),
       rondo::test::Item(false, "b.txt", 1, 5)},
      false));
  bytes.Save(f.catalogue());
  const std::vector<std::uint8_t> before = rondo::test::ReadAll(f.catalogue());
  QAction* recalc = f.window->command("actionRecalculateStructure");
  QVERIFY(recalc->isEnabled());

  // The window's parts, filled by the engine's calls.
  f.window->RecalcStarted();
  rondo::gui::TPrepocetForm* window = f.window->recalcWindow();
  QVERIFY(window != nullptr);
  QVERIFY(window->isVisible());
  QCOMPARE(window->windowTitle(), QString("Přepočítávám strukturu..."));
  QVERIFY(window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  QVERIFY(!window->isModal());
  QVERIFY(!f.window->menuBar()->isEnabled());
  f.window->RecalcDisc("Starý", 3, 12);
  QCOMPARE(window->discLabel()->text(), QString("Starý"));
  QCOMPARE(window->dirsLabel()->text(), QString("3"));
  QCOMPARE(window->filesLabel()->text(), QString("12"));
  f.window->RecalcProgress(1, 5, 10);
  QCOMPARE(window->bar(1)->value() * 2, window->bar(1)->maximum());
  f.window->RecalcProgress(2, 7, 0);
  QCOMPARE(window->bar(2)->value(), 0);
  // "Zrušit" answered No changes nothing.
  f.answer = false;
  QTest::mouseClick(window->cancelButton(), Qt::LeftButton);
  QCOMPARE(f.questions, QStringList{"Opravdu chtete přerušit zpracovávání? (Nedoporučuje se)"});
  QVERIFY(!f.window->RecalcCancelRequested());
  f.window->RecalcFinished();
  QVERIFY(f.window->recalcWindow() == nullptr);
  QVERIFY(f.window->findChild<rondo::gui::TPrepocetForm*>() == nullptr);
  QVERIFY(f.window->menuBar()->isEnabled());

  // "Zrušit" answered Yes as soon as the window is up: nothing is written.
  f.questions.clear();
  f.answer = true;
  auto clicked = std::make_shared<bool>(false);
  QTimer::singleShot(0, f.window.get(), [w = f.window.get(), clicked] {
    if (w->recalcWindow() == nullptr)
      return;
    QTest::mouseClick(w->recalcWindow()->cancelButton(), Qt::LeftButton);
    *clicked = true;
  });
  recalc->trigger();
  QVERIFY(*clicked);
  QCOMPARE(f.questions.size(), 1);
  QVERIFY(f.window->recalcWindow() == nullptr);
  QCOMPARE(rondo::test::ReadAll(f.catalogue()), before);

  // Left to run, it computes the lengths.
  f.questions.clear();
  recalc->trigger();
  QVERIFY(f.questions.isEmpty());
  QVERIFY(f.messages.isEmpty());
  QVERIFY(rondo::test::ReadAll(f.catalogue()) != before);
  QVERIFY(LengthsAreComputed(ReadDisc(f.catalogue(), "1111-0001")));

  // A catalogue that cannot be opened: the failure is told, nothing hangs.
  f.window->engine().DatabasePath = f.folder("");
  recalc->trigger();
  QCOMPARE(f.messages.size(), 1);
  QVERIFY(f.messages[0].startsWith("Chyba: "));
  QVERIFY(f.window->recalcWindow() == nullptr);
}

QTEST_MAIN(AddDiscTest)
#include "add_disc_test.moc"
