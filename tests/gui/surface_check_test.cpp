// SPDX-License-Identifier: GPL-3.0-or-later
// The surface check window over folders that FakeDrives presents as drives,
// with a real catalogue set in the registry, failures of the medium put in
// between the window and the files, and the two ways into the window.
#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>

#include "acquisition/surface_check.h"
#include "gui/TKontrolaForm.h"
#include "gui/TMainForm.h"
#include "gui/TPridaniCDForm.h"
#include "platform/environment.h"
#include "platform/linux_file_tree.h"
#include "settings/registry.h"
#include "shell/dates.h"
#include "support/catalogue_builder.h"
#include "support/fake_drives.h"

using namespace rondo;
using gui::TKontrolaForm;

namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t kStoredSerial = 0x1A2B3C4D;  // "1A2B-3C4D", in the catalogue
constexpr std::uint32_t kOtherSerial = 0x00050006;   // "0005-0006", not in it

void WriteFile(const fs::path& path, std::size_t bytes) {
  std::ofstream out(path, std::ios::binary);
  out << std::string(bytes, 'x');
}

// The real files with a damaged medium's failures, and a look at every
// file as it is opened.
class FaultyFiles : public PosixSurfaceFiles {
 public:
  bool List(const std::string& dir, std::vector<SurfaceEntry>& entries) override {
    if (unlistable.count(dir) != 0)
      return false;
    return PosixSurfaceFiles::List(dir, entries);
  }
  std::unique_ptr<SurfaceFile> Open(const std::string& path) override {
    opened.push_back(path);
    if (onOpen)
      onOpen(path);
    if (unreadable.count(path) != 0)
      return std::make_unique<Failing>();
    return PosixSurfaceFiles::Open(path);
  }
  std::optional<std::uint64_t> Device(const std::string& path) override {
    if (removed && ++deviceCalls > 1)
      return std::nullopt;
    return PosixSurfaceFiles::Device(path);
  }

  std::set<std::string> unlistable;
  std::set<std::string> unreadable;
  std::vector<std::string> opened;
  std::function<void(const std::string&)> onOpen;
  bool removed = false;  // gone by the first failure
  int deviceCalls = 0;

 private:
  struct Failing : SurfaceFile {
    long long Read(char*, std::size_t) override { return -1; }
  };
};

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

QString Selected(QTreeWidget* list) {
  const auto selected = list->selectedItems();
  return selected.isEmpty() ? QString() : selected.first()->text(0);
}

void Select(QTreeWidget* list, int row) {
  list->setCurrentItem(list->topLevelItem(row));
  list->topLevelItem(row)->setSelected(true);
}

}  // namespace

class SurfaceCheckTest : public QObject {
  Q_OBJECT

 private:
  // Drives: the stored disc (a folder tree), an empty optical drive, a
  // fixed disk (never offered) and a USB stick the catalogue does not know.
  struct Fixture {
    QTemporaryDir dir;
    MemoryRegistry registry;
    test::FakeDrives drives;
    FaultyFiles files;
    QStringList messages;
    std::string disc;
    std::string stick;

    Fixture() {
      test::CatalogueBytes catalogue;
      catalogue.AddDisc({.serial = "1A2B-3C4D",
                         .description = "Alfa",
                         .groups = "Hry",
                         .lending = "Pepa",
                         .label = "ORIGINAL",
                         .lendDate = 45100.25,
                         .created = 45000.5,
                         .finished = 45000.5 + 90.0 / 86400.0,
                         .files = 12,
                         .dirs = 3,
                         .cdSize = 4096});
      catalogue.Save(catalogue_path());
      registry.WriteText("Cesta", catalogue_path());

      disc = path("disc");
      fs::create_directories(fs::path(disc) / "sub" / "locked");
      WriteFile(fs::path(disc) / "sub" / "a.bin", 1000);
      WriteFile(fs::path(disc) / "sub" / "bad.bin", 300);
      WriteFile(fs::path(disc) / "b.bin", 2000);
      stick = path("stick");
      fs::create_directories(stick);
      WriteFile(fs::path(stick) / "s.txt", 10);

      drives.AddDrive(disc, DriveType::kCdRom, VolumeInfo{"ORIGINAL", kStoredSerial, "iso9660"});
      drives.AddDrive("/media/empty", DriveType::kCdRom, std::nullopt);
      drives.AddDrive("/", DriveType::kFixed, VolumeInfo{"root", 1, "ext4"});
      drives.AddDrive(stick, DriveType::kRemovable, VolumeInfo{"USB", kOtherSerial, "vfat"}, 5000,
                      1000);
      files.unlistable.insert(disc + "/sub/locked");
      files.unreadable.insert(disc + "/sub/bad.bin");
    }

    std::string path(const QString& name) const { return dir.filePath(name).toStdString(); }
    std::string catalogue_path() const { return path("katalog.big"); }

    std::unique_ptr<TKontrolaForm> open() {
      auto form = std::make_unique<TKontrolaForm>(drives, registry);
      form->messageHook = [this](const QString& text) { messages << text; };
      form->surfaceFiles = &files;
      return form;
    }
  };

 private slots:
  void rowsShowWhatTheCatalogueKnows() {
    Fixture f;
    auto form = f.open();
    QCOMPARE(form->windowTitle(), QString("Kontrola povrchu CD"));
    QTreeWidget* list = form->driveList();
    QCOMPARE(list->columnCount(), 13);
    QCOMPARE(list->headerItem()->text(12), QString("Čas vytváření"));
    QVERIFY(form->refreshTimer()->isActive());

    // The fixed disk is no disc to check.
    QCOMPARE(list->topLevelItemCount(), 3);
    const DateTimeFormat format = platform::CurrentDisplayFormat().dateTime;
    const QString lendDate = QString::fromStdString(DateText(45100.25, format)) + " " +
                             QString::fromStdString(TimeText(45100.25, format));
    const QString created = QString::fromStdString(DateText(45000.5, format)) + " " +
                            QString::fromStdString(TimeText(45000.5, format));
    // The only disc's block runs from the database header to the end.
    const QString blockSize =
        QString::number(fs::file_size(f.catalogue_path()) - kDatabaseHeaderSize);
    QCOMPARE(RowTexts(list, 0),
             (QStringList{QString::fromStdString(f.disc), "Alfa", "Hry", "1A2B-3C4D", "Pepa",
                          lendDate, "ORIGINAL", "12", "3", "4096", blockSize, created,
                          QString::fromStdString(TimeText(90.0 / 86400.0, format))}));
    QVERIFY(list->topLevelItem(0)->textAlignment(12) & Qt::AlignRight);
    QCOMPARE(RowTexts(list, 1).mid(0, 5), (QStringList{"/media/empty", "", "", "nenalezeno", ""}));
    QCOMPARE(RowTexts(list, 2).mid(0, 5),
             (QStringList{QString::fromStdString(f.stick), "", "", "0005-0006", ""}));

    const auto& media = form->media();
    QCOMPARE(media.size(), std::size_t{3});
    QCOMPARE(media[1].sizeText, QString("-1"));
    QCOMPARE(media[2].sizeText, QString("5000"));

    // A catalogue set elsewhere, or none at all: nothing is known.
    f.registry.WriteText("Cesta", f.path("jiny.big"));
    auto other = f.open();
    QCOMPARE(RowTexts(other->driveList(), 0).mid(1, 4), (QStringList{"", "", "1A2B-3C4D", ""}));
    QVERIFY(fs::exists(f.path("jiny.big")));
  }

  void startNeedsAReadableDisc() {
    Fixture f;
    auto form = f.open();
    QTest::mouseClick(form->startButton(), Qt::LeftButton);
    Select(form->driveList(), 1);  // no medium
    QTest::mouseClick(form->startButton(), Qt::LeftButton);
    QCOMPARE(f.messages, (QStringList{"Není vybrán disk!", "Není vybrán disk!"}));
    QCOMPARE(form->startButton()->text(), QString("Start"));
    QVERIFY(!form->running());
    QVERIFY(f.files.opened.empty());
    QVERIFY(!form->statsTimer()->isActive());
  }

  void aWholeCheckReportsAndResets() {
    Fixture f;
    auto form = f.open();
    Select(form->driveList(), 0);
    const std::string b = f.disc + "/b.bin";
    // One second of the statistics passes just before b.bin.
    QString rateAtB;
    QString averageAtB;
    f.files.onOpen = [&](const std::string& path) {
      if (path != b)
        return;
      QVERIFY(form->statsTimer()->isActive());
      form->statsTick();
      rateAtB = form->rateLabel()->text();
      averageAtB = form->averageLabel()->text();
    };
    QTest::mouseClick(form->startButton(), Qt::LeftButton);

    const QStringList expected = {
        "Adresář nelze otevřít! " + QString::fromStdString(f.disc + "/sub/locked"),
        "Soubor nelze přečíst! " + QString::fromStdString(f.disc + "/sub/bad.bin")};
    QCOMPARE(Texts(form->errorList()), expected);
    QCOMPARE(rateAtB, QString("1000 B"));
    QCOMPARE(averageAtB, QString("1000 B"));
    QCOMPARE(form->discMaximum(), std::uint64_t{4096});  // the size the catalogue stored
    QCOMPARE(f.files.opened.back(), b);
    QCOMPARE(form->discBar()->value(), 0);
    QCOMPARE(form->fileBar()->value(), 0);
    QCOMPARE(form->fileLabel()->text(), QString("---"));
    QCOMPARE(form->rateLabel()->text(), QString("---"));
    QVERIFY(!form->statsTimer()->isActive());
    // It says that it has finished, and the button is ready for the next.
    QCOMPARE(f.messages.size(), 1);
    QVERIFY(f.messages[0].startsWith("Kontrola skončila. Přečteno souborů: 2 ("));
    QVERIFY(f.messages[0].endsWith("chyb: 2."));
    QCOMPARE(form->startButton()->text(), QString("Start"));
    QVERIFY(!form->running());

    // A second check counts its own bytes and seconds; the error lines stay.
    rateAtB.clear();
    averageAtB.clear();
    QTest::mouseClick(form->startButton(), Qt::LeftButton);
    QCOMPARE(rateAtB, QString("1000 B"));
    QCOMPARE(averageAtB, QString("1000 B"));
    QCOMPARE(Texts(form->errorList()), expected + expected);

    // A disc the catalogue does not know: its used space is the maximum.
    Select(form->driveList(), 2);
    QTest::mouseClick(form->startButton(), Qt::LeftButton);
    QCOMPARE(form->discMaximum(), std::uint64_t{4000});
    QCOMPARE(f.files.opened.back(), f.stick + "/s.txt");
  }

  void stopCloseAndARemovedDisc() {
    Fixture f;
    auto form = f.open();
    Select(form->driveList(), 0);
    const std::string a = f.disc + "/sub/a.bin";
    // The button reads the window's "stopCaption", as the language file
    // gives it; a click while the stopped check winds up starts no other.
    form->findChild<QAction*>("stopCaption")->setText("Zastavit kontrolu");
    QString whileRunning;
    f.files.onOpen = [&](const std::string& path) {
      if (path != a)
        return;
      whileRunning = form->startButton()->text();
      QTest::mouseClick(form->startButton(), Qt::LeftButton);  // "Stop"
      QTest::mouseClick(form->startButton(), Qt::LeftButton);
    };
    QTest::mouseClick(form->startButton(), Qt::LeftButton);
    QCOMPARE(whileRunning, QString("Zastavit kontrolu"));
    QCOMPARE(form->startButton()->text(), QString("Start"));
    QCOMPARE(std::count(f.files.opened.begin(), f.files.opened.end(), a), 1);
    QCOMPARE(std::count(f.files.opened.begin(), f.files.opened.end(), f.disc + "/b.bin"), 0);
    QCOMPARE(form->fileLabel()->text(), QString("---"));

    // Closed during the walk: the window goes away, but only once the walk
    // has returned.
    QPointer<TKontrolaForm> owned = new TKontrolaForm(f.drives, f.registry);
    owned->setAttribute(Qt::WA_DeleteOnClose);
    owned->surfaceFiles = &f.files;
    owned->show();
    Select(owned->driveList(), 0);
    f.files.opened.clear();
    bool alive = false;
    f.files.onOpen = [&](const std::string& path) {
      if (path != a)
        return;
      owned->close();
      QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
      alive = !owned.isNull();
    };
    QTest::mouseClick(owned->startButton(), Qt::LeftButton);
    QVERIFY(alive);
    QCOMPARE(std::count(f.files.opened.begin(), f.files.opened.end(), f.disc + "/b.bin"), 0);
    QTRY_VERIFY(owned.isNull());

    // Taken out: the first failure finds the disc gone.
    f.files.onOpen = nullptr;
    f.files.removed = true;
    f.files.opened.clear();
    auto again = f.open();
    Select(again->driveList(), 0);
    QTest::mouseClick(again->startButton(), Qt::LeftButton);
    QVERIFY(f.messages.first().startsWith("Kontrola byla zastavena."));  // the Stop above
    QCOMPARE(f.messages.last(), QString("Disk byl vyjmut, kontrola skončila."));
    QCOMPARE(again->errorList()->count(), 1);
  }

  void listFollowsTheMedia() {
    Fixture f;
    auto form = f.open();
    QTreeWidget* list = form->driveList();
    Select(list, 2);
    QTreeWidgetItem* first = list->topLevelItem(0);
    const int listCalls = f.drives.listCalls;
    form->refreshDrives();
    QVERIFY(f.drives.listCalls > listCalls);
    QCOMPARE(list->topLevelItem(0), first);  // nothing changed, nothing rebuilt
    QCOMPARE(Selected(list), QString::fromStdString(f.stick));

    // Another disc in the first drive: rebuilt, the choice kept.
    f.drives.Insert(f.disc, VolumeInfo{"NEW", 0xABCD0001, "iso9660"});
    form->refreshDrives();
    QVERIFY(list->topLevelItem(0) != first);
    QCOMPARE(RowTexts(list, 0).mid(1, 3), (QStringList{"", "", "ABCD-0001"}));
    QCOMPARE(Selected(list), QString::fromStdString(f.stick));

    // A drive that is no longer listed stays, without its medium; a new one
    // comes last.
    f.drives.drives.erase(f.drives.drives.begin());
    f.drives.media.erase(f.disc);
    f.drives.AddDrive("/media/dvd", DriveType::kCdRom, VolumeInfo{"DVD", 9, "udf"});
    form->refreshDrives();
    QCOMPARE(list->topLevelItemCount(), 4);
    QCOMPARE(RowTexts(list, 0).mid(0, 4),
             (QStringList{QString::fromStdString(f.disc), "", "", "nenalezeno"}));
    QCOMPARE(RowTexts(list, 3).mid(0, 4), (QStringList{"/media/dvd", "", "", "0000-0009"}));

    // "Jiná složka...": a folder of the user's, measured by its files.
    const std::string folder = f.path("folder");
    fs::create_directories(fs::path(folder) / "x");
    WriteFile(fs::path(folder) / "x" / "f.bin", 1234);
    WriteFile(fs::path(folder) / "g.bin", 66);
    f.drives.Insert(folder, VolumeInfo{"folder", 0x00770077, ""});
    form->chooseFolderHook = [&] { return QString::fromStdString(folder); };
    QTest::mouseClick(form->folderButton(), Qt::LeftButton);
    QCOMPARE(list->topLevelItemCount(), 5);
    QCOMPARE(Selected(list), QString::fromStdString(folder));
    form->surfaceFiles = nullptr;  // the real files
    QTest::mouseClick(form->startButton(), Qt::LeftButton);
    QCOMPARE(form->discMaximum(), std::uint64_t{1300});
    QCOMPARE(form->errorList()->count(), 0);

    // "Obraz disku…": an image of that folder is one more disc, its files
    // read from the image; a file that is no image is refused.
    if (std::system("command -v xorriso >/dev/null 2>&1") != 0)
      QSKIP("xorriso is not installed (scripts/setup installs it)");
    const std::string image = f.path("folder.iso");
    const std::string make =
        "xorriso -as mkisofs -J -quiet -o '" + image + "' '" + folder + "' 2>/dev/null";
    QCOMPARE(std::system(make.c_str()), 0);
    const qsizetype said = f.messages.size();
    form->chooseImageHook = [&] { return QString::fromStdString(folder + "/g.bin"); };
    QTest::mouseClick(form->imageButton(), Qt::LeftButton);
    QCOMPARE(f.messages.size(), said + 1);
    QVERIFY(f.messages.back().contains("není obraz disku"));
    QCOMPARE(list->topLevelItemCount(), 5);
    form->chooseImageHook = [&] { return QString::fromStdString(image); };
    QTest::mouseClick(form->imageButton(), Qt::LeftButton);
    QCOMPARE(list->topLevelItemCount(), 6);
    QCOMPARE(Selected(list), QString::fromStdString(image));
    QTest::mouseClick(form->startButton(), Qt::LeftButton);
    QCOMPARE(form->discMaximum(), std::uint64_t{1300});
    QCOMPARE(form->errorList()->count(), 0);
  }

  void openedFromTheMainAndTheAddDiscWindows() {
    Fixture f;
    f.registry.WriteText("VerzeProgramu", "QEL Rondotheka 4.4");
    f.registry.WriteBool("ZobrazovatMePujcene", false);
    gui::TMainForm window(f.registry);
    window.splashMilliseconds = 0;
    window.quitOnClose = false;
    window.messageHook = [&](const QString& text) { f.messages << text; };
    window.setDrives(&f.drives);
    window.start();
    QAction* action = window.command("actionSurfaceCheck");
    QVERIFY(action->isEnabled());
    int opened = 0;
    window.modalHook = [&](QDialog& dialog) {
      auto* form = qobject_cast<TKontrolaForm*>(&dialog);
      QVERIFY(form != nullptr);
      ++opened;
      QCOMPARE(form->driveList()->topLevelItemCount(), 3);
      QCOMPARE(form->driveList()->topLevelItem(0)->text(1), QString("Alfa"));
      QTest::mouseClick(form->startButton(), Qt::LeftButton);
    };
    action->trigger();
    QCOMPARE(opened, 1);
    // Its messages are the main window's.
    QCOMPARE(f.messages, QStringList{"Není vybrán disk!"});

    platform::LinuxFileTree tree;
    gui::TPridaniCDForm add(window.engine(), f.registry, f.drives, tree, &window);
    add.prepare();
    add.useFolder(QString::fromStdString(f.stick));
    QVERIFY(add.surfaceCheckButton()->isEnabled());
    QVERIFY(add.mediaTimer()->isActive());
    QString chosen;
    bool watched = true;
    add.surfaceCheckHook = [&](TKontrolaForm& form) {
      chosen = Selected(form.driveList());
      watched = add.mediaTimer()->isActive();
    };
    QTest::mouseClick(add.surfaceCheckButton(), Qt::LeftButton);
    QCOMPARE(chosen, QString::fromStdString(f.stick));
    QVERIFY(!watched);
    QVERIFY(add.mediaTimer()->isActive());
  }
};

QTEST_MAIN(SurfaceCheckTest)
#include "surface_check_test.moc"
