// SPDX-License-Identifier: GPL-3.0-or-later
// The disc commands of the main window on a real catalogue: remove (with its
// question), lend, return, clear, rename, change groups, create a multigroup
// and import groups.
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>

#include <QMessageBox>
#include <QPushButton>
#include <QToolButton>
#include <filesystem>
#include <fstream>

#include "catalogue/format/entry_walker.h"
#include "catalogue/format/write_lock.h"
#include "gui/TMainForm.h"
#include "settings/group_kinds.h"
#include "support/catalogue_builder.h"
#include "support/fake_drives.h"
#include "support/main_window_fixture.h"

using namespace rondo;

// Notes what the data-shift progress window showed while it was up.
class ShiftWatcher : public QObject {
 public:
  QString title;
  QStringList frames;
  QList<int> lastValues{0, 0};
  bool menusLocked = false;
  int shown = 0;

 protected:
  bool eventFilter(QObject* object, QEvent* event) override {
    auto* w = qobject_cast<QWidget*>(object);
    if (event->type() == QEvent::Show && w != nullptr && w->objectName() == "TPosunDatForm") {
      ++shown;
      title = w->windowTitle();
      for (auto* box : w->findChildren<QGroupBox*>())
        frames << box->title();
      auto* main = qobject_cast<QMainWindow*>(w->parentWidget());
      menusLocked = main != nullptr && !main->menuBar()->isEnabled();
      const auto bars = w->findChildren<QProgressBar*>();
      for (int i = 0; i < bars.size() && i < 2; ++i) {
        connect(bars[i], &QProgressBar::valueChanged, this,
                [this, i](int v) { lastValues[i] = v; });
      }
    }
    return false;
  }
};

class DiscCommandsTest : public QObject {
  Q_OBJECT

 private:
  struct Fixture : test::MainWindowFixture {
    Fixture() {
      test::CatalogueBytes catalogue;
      catalogue
          .AddDisc(
              {.serial = "AAAA-0001", .description = "Alfa", .groups = "Hry;Filmy", .files = 1},
              {test::Item(false, "hra.exe", 1, 10, "^Hry;All")})
          .AddDisc({.serial = "AAAA-0002", .description = "Beta"})
          .AddDisc({.serial = "AAAA-0003", .description = "Gama"});
      catalogue.Save(path);
      Start();
    }
    int Row(const QString& caption) {
      auto& rows = window->engine().Discs.rows;
      for (std::size_t i = 0; i < rows.size(); ++i) {
        if (QString::fromStdString(rows[i].Caption()) == caption)
          return static_cast<int>(i);
      }
      return -1;
    }
    // Selects rows through the view, as a user's clicks would.
    void Select(const QStringList& captions) {
      QTreeView* view = window->discView();
      view->clearSelection();
      for (const QString& caption : captions) {
        const QModelIndex index = view->model()->index(Row(caption), 0);
        view->selectionModel()->select(index,
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
      }
    }
    CdHeader Header(const std::string& serial) {
      FileStream file(path, FileStream::Mode::kReadOnly);
      EntryWalker walker(file);
      CdHeader h;
      while (walker.Next(h)) {
        if (h.Serial.Text().bytes == serial)
          return h;
      }
      return {};
    }
  };

 private slots:
  void lendingRenamingAndGroups() {
    Fixture f;
    f.Select({"Alfa", "Beta"});
    f.window->textHook = [](const EngineHost::TextPrompt& p) -> std::optional<QString> {
      return p.caption == "Pujčit komu?" ? std::optional<QString>("Pepa") : std::nullopt;
    };
    f.Trigger("actionLendCds");
    QCOMPARE(QString::fromStdString(ToUtf8(f.Header("AAAA-0001").Lending.Text())), QString("Pepa"));
    QCOMPARE(QString::fromStdString(ToUtf8(f.Header("AAAA-0002").Lending.Text())), QString("Pepa"));

    f.Select({"Alfa"});
    f.Trigger("actionReturnCds");
    QCOMPARE(QString::fromStdString(ToUtf8(f.Header("AAAA-0001").Lending.Text())),
             QString("Vráceno: Pepa"));
    f.Select({"Beta"});
    f.Trigger("actionClearLending");
    QCOMPARE(f.Header("AAAA-0002").LendDate, 0.0);

    f.window->textHook = [](const EngineHost::TextPrompt& p) -> std::optional<QString> {
      if (p.label != "Nový popis:")
        return std::nullopt;
      return QString::fromStdString(p.text) + " II";
    };
    f.Select({"Gama"});
    f.Trigger("actionRenameCd");
    QVERIFY(f.Row("Gama II") >= 0);

    QStringList offered;
    f.window->groupsHook = [&offered](const QStringList& chosen) -> std::optional<QStringList> {
      offered = chosen;
      return QStringList{"Hudba", "Nový"};
    };
    f.Select({"Alfa"});
    f.Trigger("actionChangeCdGroups");
    QCOMPARE(offered, (QStringList{"Hry", "Filmy"}));
    QCOMPARE(QString::fromStdString(ToUtf8(f.Header("AAAA-0001").Groups.Text())),
             QString("Hudba;Nový"));
    // The new group is in the selector's menu right away.
    bool listed = false;
    for (QAction* a : f.window->groupMenu()->actions())
      listed |= a->text() == "Nový";
    QVERIFY(listed);
  }

  void itemCommentsFromTheDirectoryList() {
    Fixture f;
    f.Select({"Alfa"});
    f.window->openSelectedDisc();
    QTreeView* dirs = f.window->dirView();
    QVERIFY(dirs->isVisible());
    int row = -1;
    for (int r = 0; r < dirs->model()->rowCount(); ++r) {
      if (dirs->model()->index(r, 0).data().toString() == "hra.exe")
        row = r;
    }
    QVERIFY(row >= 0);
    dirs->selectionModel()->select(dirs->model()->index(row, 0),
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    f.window->textHook = [](const EngineHost::TextPrompt& p) -> std::optional<QString> {
      return p.label == "Nový popis:" ? std::optional<QString>("Nejlepší") : std::nullopt;
    };
    ShiftWatcher watcher;
    qApp->installEventFilter(&watcher);
    f.Trigger("actionItemComment");
    qApp->removeEventFilter(&watcher);
    // The progress window was up while the rest of the file moved, both
    // bars ran full, and it is gone again with the menus unlocked.
    QCOMPARE(watcher.shown, 1);
    QCOMPARE(watcher.title, QString("Posunutí datového bloku"));
    QCOMPARE(watcher.frames, (QStringList{"Načítání dat", "Ukládání dat"}));
    QVERIFY(watcher.menusLocked);
    QCOMPARE(watcher.lastValues, (QList<int>{1000, 1000}));
    QVERIFY(f.window->shiftWindow() == nullptr);
    QVERIFY(f.window->menuBar()->isEnabled());
    QString comment;
    for (int r = 0; r < dirs->model()->rowCount(); ++r) {
      if (dirs->model()->index(r, 0).data().toString() == "hra.exe") {
        comment = dirs->model()->index(r, 4).data().toString();
      }
    }
    QCOMPARE(comment, QString("Nejlepší"));
    QVERIFY(dirs->isVisible());  // still browsing the same directory
  }

  void multigroupsRemovalAndImport() {
    Fixture f;
    f.window->textHook = [](const EngineHost::TextPrompt& p) -> std::optional<QString> {
      return p.caption == "Nová multi skupina..." ? std::optional<QString>("Sada") : std::nullopt;
    };
    f.Select({"Alfa", "Beta"});
    f.Trigger("actionCreateMultigroup");
    QCOMPARE(f.window->engine().Discs.rows.size(), std::size_t(2));  // Gama and the new set
    QVERIFY(f.Row("Sada") >= 0);
    QCOMPARE(f.window->discCountLabel()->text(), QString("2"));

    // Removing the set asks first, then brings its members back.
    f.Select({"Sada"});
    f.Trigger("actionRemoveCds");
    QCOMPARE(f.questions, QStringList{"Opravdu chcete vybrané položky odstranit?\r\n\r\nSada"});
    QCOMPARE(f.window->engine().Discs.rows.size(), std::size_t(3));
    QCOMPARE(f.window->discCountLabel()->text(), QString("3"));

    // Answering No removes nothing.
    f.window->confirmHook = [](const QString&) { return false; };
    f.Select({"Gama"});
    f.Trigger("actionRemoveCds");
    QVERIFY(f.Row("Gama") >= 0);

    f.Trigger("actionImportGroups");
    QCOMPARE(f.messages.last(), QString("Import skupin proveden."));
    const auto groups = ReadGroupList(f.registry);
    QVERIFY(std::find(groups.begin(), groups.end(), "Filmy") != groups.end());
  }

  void discCommandsWaitWhileADiscIsBrowsed() {
    Fixture f;
    const auto before = test::ReadAll(f.path);
    const QStringList commands{"actionRemoveCds",       "actionLendCds",  "actionReturnCds",
                               "actionClearLending",    "actionRenameCd", "actionChangeCdGroups",
                               "actionCreateMultigroup"};
    auto enabled = [&f, &commands] {
      QStringList on;
      for (const QString& name : commands) {
        if (f.window->command(name)->isEnabled())
          on << name;
      }
      return on;
    };
    QCOMPARE(enabled(), commands);
    f.Select({"Alfa"});
    f.window->openSelectedDisc();
    QVERIFY(f.window->browsing());
    QCOMPARE(enabled(), QStringList());
    QVERIFY(!f.window->toolButton("actionRemoveCds")->isEnabled());
    QVERIFY(!f.window->toolButton("actionLendCds")->isEnabled());
    QVERIFY(f.window->toolButton("actionAddCd")->isEnabled());
    // The browsed disc, selected in the hidden list, is not removed by any
    // way in: the menu, the tool bar or the command itself.
    QTest::mouseClick(f.window->toolButton("actionRemoveCds"), Qt::LeftButton);
    f.Trigger("actionRemoveCds");
    f.window->removeCds();
    QVERIFY(f.questions.isEmpty());
    QCOMPARE(test::ReadAll(f.path), before);

    // Back up from the root: the disc list and its commands return.
    f.window->dirView()->setCurrentIndex(f.window->dirView()->model()->index(0, 0));
    f.window->openSelectedItem();
    QVERIFY(!f.window->browsing());
    QCOMPARE(enabled(), commands);
    // Choosing a group ends browsing too.
    f.window->openSelectedDisc();
    QCOMPARE(enabled(), QStringList());
    f.window->chooseGroup("All");
    QCOMPARE(enabled(), commands);
  }

  void removalQuestionNamesTheDiscsAndDefaultsToNo() {
    test::MainWindowFixture f;
    test::CatalogueBytes catalogue;
    QStringList names;
    for (int i = 1; i <= 13; ++i) {
      // Two digits: "01" to "13".
      std::string number(1, static_cast<char>('0' + i / 10));
      number += static_cast<char>('0' + i % 10);
      catalogue.AddDisc({.serial = "BBBB-00" + number, .description = "Disk " + number});
      names << QString::fromStdString("Disk " + number);
    }
    catalogue.Save(f.path);
    f.Start();
    QTreeView* view = f.window->discView();
    view->selectAll();
    f.answer = false;
    f.Trigger("actionRemoveCds");
    QCOMPARE(f.questions.size(), 1);
    QCOMPARE(f.questions[0], "Opravdu chcete vybrané položky odstranit?\r\n\r\n" +
                                 names.mid(0, 10).join("\r\n") + "\r\n… a další 3");
    QCOMPARE(f.window->engine().Discs.rows.size(), 13u);

    // The real question: Enter answers "Ne".
    f.window->confirmHook = nullptr;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr)
        return;
      answer.stop();
      defaultButton = box->standardButton(box->defaultButton());
      QTest::keyClick(box, Qt::Key_Return);
    });
    answer.start(5);
    view->selectAll();
    f.Trigger("actionRemoveCds");
    QCOMPARE(defaultButton, QMessageBox::No);
    QCOMPARE(f.window->engine().Discs.rows.size(), 13u);
  }

  void rescanFromTheContextMenuShowsWhatChanged() {
    Fixture f;
    const QString folder = f.dir.path() + "/medium";
    QVERIFY(QDir().mkpath(folder));
    std::ofstream((folder + "/hra.exe").toStdString()) << "0123456789";
    std::ofstream((folder + "/nový.txt").toStdString()) << "abc";
    f.Select({"Alfa"});
    f.window->rescanRootHook = [&](const QString& description) {
      return description == "Alfa" ? folder : QString();
    };
    QString summary;
    f.window->modalHook = [&](QDialog& dialog) {
      summary = static_cast<QMessageBox&>(dialog).text();
    };
    QAction* rescan = f.window->command("actionRescanCd");
    QVERIFY(f.window->discContextMenu()->actions().contains(rescan) && rescan->isEnabled());
    rescan->trigger();
    QVERIFY2(summary.contains("Přidané soubory: 1\nOdebrané soubory: 0"), qPrintable(summary));
    QVERIFY(summary.contains("Ztracené komentáře: 0") && summary.contains("Bajtů nyní: 13"));
    QCOMPARE(f.Header("AAAA-0001").FileCount, 2);
  }

  void rescanAsksWhereFromInItsDialog() {
    Fixture f;
    test::FakeDrives drives;
    drives.AddDrive("/media/cdrom", DriveType::kCdRom, std::nullopt);
    f.window->setDrives(&drives);
    const QString folder = f.dir.path() + "/medium";
    QVERIFY(QDir().mkpath(folder));
    std::ofstream((folder + "/hra.exe").toStdString()) << "0123456789";
    std::ofstream((folder + "/nový.txt").toStdString()) << "abc";
    f.Select({"Alfa"});
    QStringList asked;
    f.window->chooseRescanSource = [&](QWidget* over, bool image) {
      asked << over->objectName() + (image ? " obraz" : " složka");
      return image ? QString() : folder;  // the image chooser is cancelled
    };
    QString summary;
    f.window->modalHook = [&](QDialog& dialog) {
      summary = static_cast<QMessageBox&>(dialog).text();
    };
    // Once the dialog is up, notes the drives it offers and clicks buttons.
    QStringList offered;
    const auto answer = [&](const QStringList& clicks) {
      auto* timer = new QTimer(f.window.get());
      QObject::connect(timer, &QTimer::timeout, [&offered, timer, clicks] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (dialog == nullptr || dialog->objectName() != "rescanRootDialog")
          return;
        timer->deleteLater();
        timer->stop();
        auto* list = dialog->findChild<QListWidget*>("rescanDrives");
        for (int row = 0; row < list->count(); ++row)
          offered << list->item(row)->text();
        for (const QString& name : clicks)
          QTest::mouseClick(dialog->findChild<QPushButton*>(name), Qt::LeftButton);
      });
      timer->start(5);
      f.Trigger("actionRescanCd");
    };

    // "Storno" leaves the catalogue as it was.
    const auto before = test::ReadAll(f.path);
    answer({"rescanCancel"});
    QCOMPARE(offered, QStringList{"/media/cdrom"});
    QVERIFY(asked.isEmpty() && summary.isEmpty() && f.messages.isEmpty());
    QVERIFY(test::ReadAll(f.path) == before);

    // An image chooser left without a file keeps the dialog open; the
    // folder chosen next is read.
    answer({"rescanImage", "rescanFolder"});
    QCOMPARE(asked, (QStringList{"rescanRootDialog obraz", "rescanRootDialog složka"}));
    QVERIFY2(summary.contains("Přidané soubory: 1\nOdebrané soubory: 0"), qPrintable(summary));
    QCOMPARE(f.Header("AAAA-0001").FileCount, 2);
    QVERIFY(test::ReadAll(f.path) != before);
  }

  void anotherProgramsChangesAreShownAndWaitedFor() {
    Fixture f;
    f.Select({"Beta"});
    // Another program replaces the catalogue: the list follows, Beta (now
    // renamed) stays selected.
    test::CatalogueBytes changed;
    changed.AddDisc({.serial = "AAAA-0002", .description = "Beta venku"})
        .AddDisc({.serial = "AAAA-0003", .description = "Gama"});
    changed.Save(f.path + ".jiny");
    std::filesystem::rename(f.path + ".jiny", f.path);
    QTRY_VERIFY_WITH_TIMEOUT(f.Row("Beta venku") >= 0, 5000);
    QCOMPARE(f.window->engine().Discs.rows.size(), 2u);
    QVERIFY(f.window->engine().Discs.rows[static_cast<std::size_t>(f.Row("Beta venku"))].selected);

    // While another program holds the lock, a change waits in a window
    // whose button gives up; nothing is changed.
    auto lock = std::make_unique<WriteLock>(f.path, WaitAtMost({}));
    const auto before = test::ReadAll(f.path);
    f.Select({"Gama"});
    f.window->textHook = [](const EngineHost::TextPrompt&) -> std::optional<QString> {
      return QString("Nová Gama");
    };
    bool shown = false;
    QTimer::singleShot(800, [&shown] {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == "LockWaitWindow" && w->isVisible()) {
          shown = true;
          QTest::mouseClick(w->findChild<QPushButton*>("GiveUp"), Qt::LeftButton);
        }
      }
    });
    f.Trigger("actionRenameCd");
    QVERIFY(shown);
    QCOMPARE(test::ReadAll(f.path), before);
    QVERIFY(!f.messages.isEmpty() && f.messages.last().contains("právě mění jiný program"));
    // Once the other program is done, the same command goes through.
    lock.reset();
    f.Trigger("actionRenameCd");
    QVERIFY(f.Row("Nová Gama") >= 0);
  }
};

QTEST_MAIN(DiscCommandsTest)
#include "disc_commands_test.moc"
