// SPDX-License-Identifier: GPL-3.0-or-later
// The main window over real catalogue files: the menus and tool bar,
// switching databases, closing, the settings it starts with, the
// command-line start and the failures the window has to survive.
#include <QAction>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSet>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QtTest>
#include <string>
#include <vector>

#include "catalogue/messages.h"
#include "gui/QELControls.h"
#include "gui/TMainForm.h"
#include "gui/TSearchForm.h"
#include "gui/dir_list_model.h"
#include "gui/disc_list_model.h"
#include "gui/mnemonics.h"
#include "settings/registry.h"
#include "support/sample_catalogue.h"

using namespace rondo::test::sample;
using rondo::gui::TMainForm;

namespace {

QByteArray ReadBytes(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    return {};
  return file.readAll();
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();

  void oldFormatRefusedLeavesFileUnchanged();
  void directoryAsDatabaseReportsAndWindowStaysUsable();
  void openAndNewDatabaseCommandsUseTheChooser();
  void quitClosesTheWindow();
  void menusHaveTheirCommandsInOrder();
  void toolBarAndDiscContextMenu();
  void checkboxSurvivesARestart();
  void badSettingsDoNotStopTheStart();
  void unusableCatalogueSettingLeavesTheWindowUsable();
  void closingSavesTheLanguageAndEmptiesTheLists();
  void commandLineArgumentsStartTheirCommands();

 private:
  QTemporaryDir homeDir_;
};

void MainWindowTest::initTestCase() {
  // Nothing here may reach the user's settings or data folder.
  QVERIFY(homeDir_.isValid());
  UseHome(homeDir_);
}

void MainWindowTest::oldFormatRefusedLeavesFileUnchanged() {
  Fixture f;
  f.useSampleCatalogue();
  QVERIFY(f.open());

  QByteArray old(75, '\0');
  const QByteArray magic("QEL Rondotheka Old Data");
  old.replace(0, magic.size(), magic);
  old.append(QByteArray(300, 'x'));
  const QString oldPath = f.path("stara.big");
  {
    QFile file(oldPath);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(old), qint64(old.size()));
  }

  f.answer = false;
  f.window->openDatabase(oldPath);
  QCOMPARE(f.questions.size(), 1);
  QCOMPARE(f.questions[0],
           QString::fromUtf8(rondo::msg::kOldFormatQuestion.data(),
                             static_cast<qsizetype>(rondo::msg::kOldFormatQuestion.size())));
  QCOMPARE(ReadBytes(oldPath), old);
  QVERIFY(f.window->windowTitle().endsWith("stara.big"));
  // Nothing of the previous catalogue is left in the list.
  QCOMPARE(f.model().rowCount(), 0);
  QCOMPARE(f.window->discCountLabel()->text(), QString("0"));
}

void MainWindowTest::directoryAsDatabaseReportsAndWindowStaysUsable() {
  Fixture f;
  f.useSampleCatalogue();
  f.registry.WriteText("Hry", "", "Druhy CD");
  QVERIFY(f.open());
  const QString folder = f.path("slozka");
  QVERIFY(QDir().mkpath(folder));

  f.window->openDatabase(folder);
  QCOMPARE(f.messages.size(), 1);
  QVERIFY2(f.messages[0].startsWith("Chyba: "), qPrintable(f.messages[0]));
  QVERIFY(f.window->isVisible());
  QCOMPARE(f.model().rowCount(), 0);
  QVERIFY(QFileInfo(folder).isDir());

  // Choosing a group on the broken path reports again and keeps going.
  QVERIFY(ChooseGroup(*f.window, "Hry"));
  QCOMPARE(f.messages.size(), 2);
  QVERIFY(f.messages[1].startsWith("Chyba: "));

  f.window->openDatabase(f.path("katalog.big"));
  QCOMPARE(f.messages.size(), 2);
  QCOMPARE(Captions(f.model()), (QSet<QString>{"Doom", "Quake"}));
  QVERIFY(f.window->windowTitle().endsWith("katalog.big"));
  QVERIFY(ChooseGroup(*f.window, "All"));
  QCOMPARE(f.model().rowCount(), 5);
}

void MainWindowTest::openAndNewDatabaseCommandsUseTheChooser() {
  Fixture f;
  f.useSampleCatalogue();
  QVERIFY(f.open());

  std::vector<Disc> other;
  other.push_back({"2222-0001", "Jiný disk", "Hry", "", "JINY", false, {}});
  const QString otherPath = f.path("jina.big");
  WriteCatalogue(otherPath, other);

  QList<bool> requests;
  QString answer = otherPath;
  f.window->chooseDatabaseFile = [&](bool newDatabase) {
    requests << newDatabase;
    return answer;
  };

  // Captions as written, with one letter of each underlined.
  QCOMPARE(f.window->programMenu()->title(), QString("[&Program]"));
  QCOMPARE(f.window->openDatabaseAction()->text(), QString("&Otevřít databázi..."));
  f.window->openDatabaseAction()->trigger();
  QCOMPARE(requests, QList<bool>{false});
  QCOMPARE(f.window->windowTitle(), QString("QEL Rondotheka - jina.big"));
  QCOMPARE(f.model().rowCount(), 1);
  QCOMPARE(Cell(f.model(), 0, 0), QString("Jiný disk"));
  QCOMPARE(f.window->discCountLabel()->text(), QString("1"));
  QCOMPARE(f.window->databaseSizeLabel()->text(), QString("303 B"));
  // The configured catalogue stays the one of the settings.
  QCOMPARE(QString::fromStdString(f.registry.ReadText("Cesta")), f.path("katalog.big"));

  // Cancelling the chooser changes nothing.
  answer.clear();
  f.window->newDatabaseAction()->trigger();
  QCOMPARE(requests, (QList<bool>{false, true}));
  QCOMPARE(f.window->windowTitle(), QString("QEL Rondotheka - jina.big"));

  const QString freshPath = f.path("nova.big");
  answer = freshPath;
  QCOMPARE(f.window->newDatabaseAction()->text(), QString("&Nová databáze..."));
  f.window->newDatabaseAction()->trigger();
  QCOMPARE(requests, (QList<bool>{false, true, true}));
  QCOMPARE(f.window->windowTitle(), QString("QEL Rondotheka - nova.big"));
  QCOMPARE(QFileInfo(freshPath).size(), qint64(75));
  QCOMPARE(ReadBytes(freshPath).left(23), QByteArray("QEL Rondotheka Database"));
  QCOMPARE(f.model().rowCount(), 0);
  QCOMPARE(f.window->databaseSizeLabel()->text(), QString("75 B"));
  QVERIFY(f.messages.isEmpty());
}

void MainWindowTest::quitClosesTheWindow() {
  Fixture f;
  f.useSampleCatalogue();
  QVERIFY(f.open());
  QCOMPARE(f.window->quitAction()->text(), QString("&Konec"));
  f.window->quitAction()->trigger();
  QVERIFY(!f.window->isVisible());
}

void MainWindowTest::menusHaveTheirCommandsInOrder() {
  Fixture f;
  f.useSampleCatalogue();
  QVERIFY(f.open());
  // "-" stands for a separator.
  const QList<QPair<QString, QStringList>> expected = {
      {"[Program]", {"Nová databáze...", "Otevřít databázi...", "Konec"}},
      {"[Hledat]", {"V obsahu databáze..."}},
      {"[CD]",
       {"Přidat...", "Ubrat, zrušit multiskupinu...", "Půjčit...", "Vráceno", "Vyčistit",
        "Přejmenovat...", "Aktualizovat CD...", "Změnit skupinu...", "Kontrola povrchu CD...",
        "Mé půjčené...", "Exportovat seznam CD..."}},
      {"[Skupiny]",
       {"Správa skupin...", "-", "Vytvořit multi skupinu z vybraných CD...",
        "Importovat skupiny z této databáze..."}},
      {"[Databáze]",
       {"Informace o databázi...", "Převody verzí...",
        "Přepočítat adresářovou strukturu u všech CD...", "Duplicity..."}},
      {"[Soubory a Adresáře]", {"Změnit komentář...", "Změnit skupinu...", "Exportovat seznam..."}},
      {"[Nastavení]", {"Aplikace..."}},
      {"[Nápověda]", {"Co je nového...", "O aplikaci..."}},
      // The language files beside the program, named by their language.
      {"Jazyk", {"Čeština [QEL Rondotheka]", "English [QEL Rondotheka]"}},
  };
  // Every command has its window.
  const QList<QAction*> menus = f.window->menuBar()->actions();
  QCOMPARE(menus.size(), expected.size());
  QSet<QString> names;
  for (int m = 0; m < menus.size(); ++m) {
    QMenu* menu = menus[m]->menu();
    QVERIFY(menu != nullptr);
    QCOMPARE(rondo::gui::WithoutMnemonic(menu->title()), expected[m].first);
    QStringList entries;
    QSet<QChar> letters;  // each entry has its own underlined letter
    for (QAction* action : menu->actions()) {
      if (action->isSeparator()) {
        entries << "-";
        continue;
      }
      entries << rondo::gui::WithoutMnemonic(action->text());
      const qsizetype amp = action->text().indexOf('&');
      QVERIFY2(amp >= 0 && amp + 1 < action->text().size(), qPrintable(action->text()));
      const QChar letter = action->text()[amp + 1].toLower();
      QVERIFY2(!letters.contains(letter), qPrintable(action->text()));
      letters.insert(letter);
      QVERIFY2(action->isEnabled(), qPrintable(action->text()));
      QVERIFY(!action->objectName().isEmpty());
      QVERIFY2(!names.contains(action->objectName()), qPrintable(action->objectName()));
      names.insert(action->objectName());
      QCOMPARE(f.window->command(action->objectName()), action);
    }
    QCOMPARE(entries, expected[m].second);
  }
  // The menu of browsed items shows only while a disc is browsed.
  QVERIFY(!f.window->itemsMenu()->menuAction()->isVisible());
  QCOMPARE(f.window->itemsMenu()->menuAction(), menus[5]);
}

void MainWindowTest::toolBarAndDiscContextMenu() {
  Fixture f;
  f.useSampleCatalogue();
  QVERIFY(f.open());
  QCOMPARE(f.window->pathLabel()->toolTip(),
           QString("Cesta v níž se při prozkoumávání právě nacházíme"));
  QLabel* groupLabel = nullptr;
  for (QLabel* label : f.window->findChildren<QLabel*>()) {
    if (label->text() == "Skupina:")
      groupLabel = label;
  }
  QVERIFY(groupLabel != nullptr);
  QVERIFY(groupLabel->font().bold());

  const QList<QPair<QString, QString>> tools = {
      {"actionAddCd", "Přidat nové CD do databáze"},
      {"actionRemoveCds", "Ubrat vybraná CD nebo zrušit multiskupinu"},
      {"actionSearch", "Hledat v obsahu CD"},
      {"actionLendCds", "Půjčit vybraná CD"},
  };
  QCOMPARE(f.window->commandBar()->actions().size(), tools.size());
  for (int i = 0; i < tools.size(); ++i) {
    QCOMPARE(f.window->commandBar()->actions()[i]->objectName(), tools[i].first);
    QToolButton* button = f.window->toolButton(tools[i].first);
    QVERIFY(button != nullptr);
    QVERIFY(button->isVisible());
    QCOMPARE(button->toolTip(), tools[i].second);
    QVERIFY(button->isEnabled());
    QVERIFY(!button->icon().isNull());
    // Drawn for the screen's scale: sharp at 150 % and 200 %.
    for (const qreal scale : {1.5, 2.0}) {
      const QPixmap picture = button->icon().pixmap(QSize(24, 24), scale);
      QCOMPARE(picture.size(), QSize(24, 24) * scale);
    }
  }

  // The right button on the disc list: the menu at the mouse position.
  const int row = RowOf(f.model(), "Matrix");
  const QPoint at = f.view().visualRect(f.model().index(row, 0)).center();
  const QPoint global = f.view().viewport()->mapToGlobal(at);
  QContextMenuEvent event(QContextMenuEvent::Mouse, at, global);
  QCoreApplication::sendEvent(f.view().viewport(), &event);
  QMenu* menu = f.window->discContextMenu();
  QTRY_VERIFY(menu->isVisible());
  QCOMPARE(menu->pos(), global);
  QStringList entries;
  for (QAction* action : menu->actions()) {
    entries << rondo::gui::WithoutMnemonic(action->text());
    QVERIFY(action->isEnabled());
  }
  QCOMPARE(entries, (QStringList{"Přidat...", "Ubrat, zrušit multiskupinu...", "Půjčit...",
                                 "Vráceno", "Vyčistit", "Přejmenovat...", "Aktualizovat CD...",
                                 "Změnit skupinu...", "Vytvořit multi skupinu z vybraných CD...",
                                 "Exportovat seznam CD...", "Konec"}));
  menu->actions().last()->trigger();
  QVERIFY(!f.window->isVisible());
}

void MainWindowTest::checkboxSurvivesARestart() {
  QTemporaryDir dir;
  const std::string settings = dir.filePath("registry.ini").toStdString();
  WriteCatalogue(dir.filePath("katalog.big"), SampleDiscs());
  {
    rondo::FileRegistry registry(settings);
    registry.WriteText("Cesta", dir.filePath("katalog.big").toStdString());
    registry.WriteText("VerzeProgramu", "QEL Rondotheka 4.4");
    TMainForm window(registry);
    window.splashMilliseconds = 0;
    window.quitOnClose = false;
    window.start();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(!window.foreignDirectoriesBox()->isChecked());
    QTest::mouseClick(window.foreignDirectoriesBox(), Qt::LeftButton);
    QVERIFY(window.foreignDirectoriesBox()->isChecked());
    window.close();
  }
  rondo::FileRegistry registry(settings);
  TMainForm window(registry);
  window.splashMilliseconds = 0;
  window.quitOnClose = false;
  window.start();
  QVERIFY(window.foreignDirectoriesBox()->isChecked());
  QVERIFY(window.engine().ShowForeignItems);
  QCOMPARE(window.discModel()->rowCount(), 5);
}

void MainWindowTest::badSettingsDoNotStopTheStart() {
  const int defaultSize = QTreeView().font().pointSize();
  for (const char* size : {"500", "0", "-3", "abc", "12x", "201"}) {
    Fixture f;
    f.useSampleCatalogue();
    f.registry.WriteText("Spusteni", "abc");
    f.registry.WriteText("VelikostFontu", size);
    QVERIFY(f.open());
    QCOMPARE(f.registry.ReadText("Spusteni"), std::string("1"));
    QCOMPARE(f.view().font().pointSize(), defaultSize);
    QCOMPARE(f.window->dirView()->font().pointSize(), defaultSize);
    QCOMPARE(f.model().rowCount(), 5);
    QVERIFY(f.messages.isEmpty());
  }
  Fixture f;
  f.useSampleCatalogue();
  f.registry.WriteText("VelikostFontu", "200");
  QVERIFY(f.open());
  QCOMPARE(f.view().font().pointSize(), 200);
}

void MainWindowTest::unusableCatalogueSettingLeavesTheWindowUsable() {
  Fixture f;
  QVERIFY(QDir().mkpath(f.path("slozka")));
  f.registry.WriteText("Cesta", f.path("slozka").toStdString());
  QVERIFY(f.open());
  QCOMPARE(f.messages.size(), 1);
  QVERIFY2(f.messages[0].startsWith("Chyba: "), qPrintable(f.messages[0]));
  QCOMPARE(f.model().rowCount(), 0);
  QVERIFY(f.window->isVisible());

  // A damaged catalogue: a sound disc, then bytes that are no disc.
  WriteCatalogue(f.path("poskozena.big"), {{"3333-0001", "Dobrý", "", "", "DOBRY", false, {}}});
  {
    QFile file(f.path("poskozena.big"));
    QVERIFY(file.open(QIODevice::Append));
    file.write(QByteArray(100, '\x7f'));
  }
  f.window->chooseDatabaseFile = [&f](bool) { return f.path("poskozena.big"); };
  f.window->openDatabaseAction()->trigger();
  QCOMPARE(f.messages.size(), 2);
  QVERIFY2(f.messages[1].startsWith("Nastala chyba! - "), qPrintable(f.messages[1]));
  QCOMPARE(Captions(f.model()), QSet<QString>{"Dobrý"});

  // The open command still gets to a sound catalogue.
  f.useSampleCatalogue();
  f.window->chooseDatabaseFile = [&f](bool) { return f.path("katalog.big"); };
  f.window->openDatabaseAction()->trigger();
  QCOMPARE(f.messages.size(), 2);
  QCOMPARE(f.model().rowCount(), 5);
  QCOMPARE(f.window->windowTitle(), QString("QEL Rondotheka - katalog.big"));
}

void MainWindowTest::closingSavesTheLanguageAndEmptiesTheLists() {
  Fixture f;
  f.useSampleCatalogue();
  f.registry.WriteText("Language", "english.lng");
  QVERIFY(f.open());
  QCOMPARE(f.window->languageFile(), std::string("english.lng"));
  f.doubleClickRow(RowOf(f.model(), "Doom"));
  QVERIFY(f.window->browsing());
  QVERIFY(f.window->dirModel()->rowCount() > 0);
  f.registry.Delete("", "Language");

  f.window->close();
  QVERIFY(!f.window->isVisible());
  QCOMPARE(f.registry.ReadText("Language"), std::string("english.lng"));
  QCOMPARE(f.model().rowCount(), 0);
  QCOMPARE(f.window->dirModel()->rowCount(), 0);
  QVERIFY(f.window->engine().Discs.rows.empty());
  QVERIFY(f.window->engine().Dirs.rows.empty());
  QCOMPARE(f.window->engine().BlockCache.Size(), std::uint64_t{0});
  // A window that is not the program's own does not end the application.
  QVERIFY(!f.window->timerProKonec()->isActive());

  Fixture own;
  own.useSampleCatalogue();
  QVERIFY(own.open());
  QCOMPARE(own.window->languageFile(), std::string("czech.lng"));
  own.window->quitOnClose = true;
  own.window->close();
  QCOMPARE(own.registry.ReadText("Language"), std::string("czech.lng"));
  QTimer* ending = own.window->timerProKonec();
  QVERIFY(ending->isActive());
  ending->stop();  // this test application goes on
  QCOMPARE(ending->interval(), 100);
  QVERIFY(ending->isSingleShot());
}

void MainWindowTest::commandLineArgumentsStartTheirCommands() {
  {
    Fixture f;
    f.useSampleCatalogue();
    f.createWindow();
    f.window->startArgument = "add";
    QTimer* add = f.window->findChild<QTimer*>("TimerProPridaniCD");
    QVERIFY(add != nullptr);
    QCOMPARE(add->interval(), 10);
    QVERIFY(add->isSingleShot());
    f.window->start();
    QVERIFY(!add->isActive());
    f.window->show();
    QVERIFY(add->isActive());
    QTRY_VERIFY(!add->isActive());
    QVERIFY(f.window->isVisible());
    QVERIFY(f.messages.isEmpty());
  }
  {
    Fixture f;
    f.useSampleCatalogue();
    f.createWindow();
    f.window->startArgument = "search";
    bool searched = false;
    f.window->searchHook = [&searched](rondo::gui::TSearchForm&) { searched = true; };
    QTimer* end = f.window->findChild<QTimer*>("TimerProKonecProgramu");
    QVERIFY(end != nullptr);
    QCOMPARE(end->interval(), 1);
    f.window->start();
    f.window->show();
    // Started only to search: the search window is shown, and once it
    // closes the main window closes by itself.
    QTRY_VERIFY(!f.window->isVisible());
    QVERIFY(searched);
    QCOMPARE(f.registry.ReadText("Language"), std::string("czech.lng"));
  }
}

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
