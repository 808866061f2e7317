// SPDX-License-Identifier: GPL-3.0-or-later
// The search window: its options and what they keep, the group lists,
// running and stopping a search, closing in the middle of one, the export,
// and how the main window opens it; the duplicates window, which shows its
// copies in their folders the same way.
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <QtTest>

#include "gui/QELControls.h"
#include "gui/TDuplicityForm.h"
#include "gui/TMainForm.h"
#include "gui/TRenameForm.h"
#include "gui/TSearchForm.h"
#include "settings/group_kinds.h"
#include "support/catalogue_builder.h"
#include "support/fake_host.h"

using namespace rondo;
using gui::TSearchForm;

namespace {

// Three discs: "Fotky" (group Rodina) with nested directories, "Hry abc"
// (group Hry, lent) and "Hudba" (group Rodina).
void WriteCatalogue(const QString& path) {
  test::CatalogueBytes catalogue;
  catalogue
      .AddDisc({.serial = "A-1",
                .description = "Fotky",
                .groups = "Rodina",
                .label = "FOTO",
                .files = 3,
                .dirs = 2},
               {test::Item(true, "Léto abc", 1, 0, "Dovolená^"), test::Item(true, "Moře", 2),
                test::Item(false, "abc.jpg", 3, 1234, "pláž^"), test::Item(false, "jiné.txt", 2),
                test::Item(false, "ABC.txt", 1, 500)})
      .AddDisc({.serial = "A-2",
                .description = "Hry abc",
                .groups = "Hry",
                .lending = "Petr",
                .lendDate = 45001.5,
                .files = 1},
               {test::Item(false, "abc.exe", 1, 1)})
      .AddDisc({.serial = "A-3", .description = "Hudba", .groups = "Rodina", .files = 1, .dirs = 1},
               {test::Item(true, "abc", 1), test::Item(false, "x.mp3", 2)});
  catalogue.Save(path.toStdString());
}

// The settings of a main window that opens that catalogue, written in dir.
void OpenCatalogueIn(const QTemporaryDir& dir, MemoryRegistry& registry) {
  WriteCatalogue(dir.path() + "/k.big");
  registry.WriteText("Cesta", (dir.path() + "/k.big").toStdString());
  registry.WriteText("VerzeProgramu", gui::kApplicationTitle);
}

const QStringList kAllHits = {"Léto abc", "abc.jpg", "ABC.txt", "Hry abc", "abc.exe", "abc"};

struct Fixture {
  QTemporaryDir dir;
  FileRegistry registry{(dir.path() + "/registry.ini").toStdString()};
  test::FakeHost host;
  Engine engine{host};

  Fixture() {
    engine.DatabasePath = (dir.path() + "/katalog.big").toStdString();
    WriteCatalogue(QString::fromStdString(engine.DatabasePath));
    RegisterGroup(registry, "Hry");
    RegisterGroup(registry, "Rodina");
  }
};

QStringList Column(TSearchForm& form, int column = 0) {
  QStringList texts;
  auto* model = form.resultView()->model();
  for (int r = 0; r < model->rowCount(); ++r)
    texts << model->index(r, column).data().toString();
  return texts;
}

QStringList Entries(QListWidget* list) {
  QStringList texts;
  for (int i = 0; i < list->count(); ++i)
    texts << list->item(i)->text();
  return texts;
}

void Search(TSearchForm& form, const QString& pattern) {
  form.patternEdit()->setText(pattern);
  QTest::mouseClick(form.startButton(), Qt::LeftButton);
}

void ClickEntry(QListWidget* list, const QString& text) {
  const auto found = list->findItems(text, Qt::MatchExactly);
  QVERIFY(!found.isEmpty());
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                    list->visualItemRect(found.first()).center());
}

void VerifyIdle(TSearchForm& form) {
  QCOMPARE(form.startButton()->text(), QString("Start"));
  QCOMPARE(form.currentDiscLabel()->text(), QString("---"));
  QCOMPARE(form.discCountLabel()->text(), QString("---"));
  QCOMPARE(form.itemCountLabel()->text(), QString("---"));
  QCOMPARE(form.gauge()->value(), 0);
  QVERIFY(form.maximumDepth()->isEnabled());
  QVERIFY(form.limitedDepth()->isEnabled());
  QVERIFY(form.useCache()->isEnabled());
}

}  // namespace

class SearchWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void searchingListsTheHitsWithTheirCells() {
    Fixture f;
    TSearchForm form(f.engine, f.registry);
    form.show();
    QCOMPARE(form.windowTitle(), QString("Vyhledávání..."));
    QVERIFY(!form.startButton()->isEnabled());
    form.patternEdit()->setText("abc");
    QVERIFY(form.startButton()->isEnabled());
    form.patternEdit()->clear();
    QVERIFY(!form.startButton()->isEnabled());

    const QSize size = form.size();
    Search(form, "abc");
    // The window keeps its size while it searches; the columns fit the hits.
    QCOMPARE(form.size(), size);
    const QFontMetrics metrics(form.resultView()->font());
    for (int c = 0; c < 10; ++c) {
      for (int r = 0; r < form.resultView()->model()->rowCount(); ++r)
        QVERIFY(
            form.resultView()->header()->sectionSize(c) >
            metrics.horizontalAdvance(form.resultView()->model()->index(r, c).data().toString()));
    }
    QCOMPARE(form.patternEdit()->text(), QString("*abc*"));
    QCOMPARE(Column(form), kAllHits);
    QCOMPARE(form.foundLabel()->text(), QString("6"));
    VerifyIdle(form);

    auto* model = form.resultView()->model();
    QCOMPARE(model->columnCount(), 10);
    QCOMPARE(model->headerData(1, Qt::Horizontal).toString(), QString("Velikost"));
    QCOMPARE(model->headerData(9, Qt::Horizontal).toString(), QString("Originální jméno"));
    QCOMPARE(model->index(1, 1).data(Qt::TextAlignmentRole).toInt(),
             int(Qt::AlignRight | Qt::AlignVCenter));
    QVERIFY(!model->index(1, 0).data(Qt::TextAlignmentRole).isValid());
    QStringList file;
    for (int c = 0; c < 10; ++c)
      file << model->index(1, c).data().toString();
    QCOMPARE(file, (QStringList{"abc.jpg", "    1.21 kB", "a", "06/18/20  06:00:00", "pláž",
                                "Léto abc\\Moře", "Fotky", "", "", "FOTO"}));
    QCOMPARE(model->index(2, 5).data().toString(), QString());
    QCOMPARE(model->index(4, 7).data().toString(), QString("Petr"));
    QCOMPARE(model->index(4, 8).data().toString(), QString("03/16/23  12:00:00"));
    // A disc row shows only its description.
    QCOMPARE(model->index(3, 0).data().toString(), QString("Hry abc"));
    QCOMPARE(model->index(3, 6).data().toString(), QString());
    for (int r = 0; r < model->rowCount(); ++r)
      QVERIFY(!model->index(r, 0).data(Qt::DecorationRole).value<QIcon>().isNull());
    QVERIFY(!model->index(1, 1).data(Qt::DecorationRole).isValid());
    // The rows come in the order they were found; only the engine sorts.
    QVERIFY(!form.resultView()->isSortingEnabled());
  }

  void kindsCaseAndWrapping() {
    Fixture f;
    TSearchForm form(f.engine, f.registry);
    form.show();
    QTest::mouseClick(form.filesOnly(), Qt::LeftButton);
    Search(form, "abc");
    QCOMPARE(Column(form), (QStringList{"abc.jpg", "ABC.txt", "abc.exe"}));
    QTest::mouseClick(form.directoriesOnly(), Qt::LeftButton);
    Search(form, "abc");
    QCOMPARE(Column(form), (QStringList{"Léto abc", "abc"}));
    QTest::mouseClick(form.allKinds(), Qt::LeftButton);

    // A pattern with a star of its own is searched as typed.
    Search(form, "abc*");
    QCOMPARE(form.patternEdit()->text(), QString("abc*"));
    QCOMPARE(Column(form), (QStringList{"abc.jpg", "ABC.txt", "abc.exe", "abc"}));

    QTest::mouseClick(form.matchCase(), Qt::LeftButton);
    Search(form, "ABC");
    QCOMPARE(Column(form), (QStringList{"ABC.txt"}));
    QTest::mouseClick(form.matchCase(), Qt::LeftButton);

    form.wrapPattern()->setChecked(false);
    Search(form, "abc");
    QCOMPARE(form.patternEdit()->text(), QString("abc"));
    QCOMPARE(Column(form), (QStringList{"abc"}));
    QCOMPARE(form.foundLabel()->text(), QString("1"));
  }

  void groupListsLimitTheDiscs() {
    Fixture f;
    TSearchForm form(f.engine, f.registry);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(Entries(form.chosenList()), QStringList{"Vše"});
    QCOMPARE(Entries(form.availableList()), (QStringList{"Půjčené", "Nepůjčené", "Hry", "Rodina"}));
    QVERIFY(form.availableList()->item(0)->isSelected());

    // "<" takes the selected entry and drops "Vše"; a click in "K výběru:"
    // does the same with the entry clicked.
    QTest::mouseClick(form.addGroupButton(), Qt::LeftButton);
    QCOMPARE(Entries(form.chosenList()), QStringList{"Půjčené"});
    ClickEntry(form.availableList(), "Rodina");
    QCOMPARE(Entries(form.chosenList()), (QStringList{"Půjčené", "Rodina"}));
    QCOMPARE(Entries(form.availableList()), (QStringList{"Nepůjčené", "Hry"}));

    // ">" gives the selected entry back; a click in "Vybrané:" likewise.
    form.chosenList()->setCurrentRow(0);
    QTest::mouseClick(form.removeGroupButton(), Qt::LeftButton);
    QCOMPARE(Entries(form.chosenList()), QStringList{"Rodina"});
    QCOMPARE(Entries(form.availableList()), (QStringList{"Nepůjčené", "Hry", "Půjčené"}));

    // Only the discs of "Rodina" are searched; "CD:" counts them as they
    // pass and "Aktuální CD:" names the disc being read.
    QStringList progress;
    form.recordHook = [&] {
      progress << form.currentDiscLabel()->text() + "/" + form.discCountLabel()->text();
    };
    Search(form, "abc");
    QCOMPARE(Column(form), (QStringList{"Léto abc", "abc.jpg", "ABC.txt", "abc"}));
    QVERIFY(!progress.isEmpty());
    QCOMPARE(progress.first(), QString("Fotky/1"));
    QCOMPARE(progress.last(), QString("Hudba/2"));
    QVERIFY(!progress.join(' ').contains("Hry"));
    VerifyIdle(form);

    ClickEntry(form.chosenList(), "Rodina");
    QCOMPARE(Entries(form.chosenList()), QStringList{"Vše"});
    // "Vše" clicked stays the only entry.
    ClickEntry(form.chosenList(), "Vše");
    QCOMPARE(Entries(form.chosenList()), QStringList{"Vše"});
    Search(form, "abc");
    QCOMPARE(Column(form), kAllHits);

    // "N" offers a new name for "K výběru:"; "Cancel" adds nothing.
    QCOMPARE(form.newGroupButton()->toolTip(), QString("Přidat skupinu"));
    const int before = form.availableList()->count();
    for (const bool ok : {true, false}) {
      QTimer::singleShot(0, qApp, [ok] {
        auto* prompt = qobject_cast<gui::TRenameForm*>(QApplication::activeModalWidget());
        QVERIFY(prompt != nullptr);
        QCOMPARE(prompt->windowTitle(), QString("Nové jméno..."));
        QCOMPARE(prompt->label()->text(), QString("Nové jméno:"));
        prompt->edit()->setText("Zálohy");
        QTest::mouseClick(ok ? prompt->okButton() : prompt->cancelButton(), Qt::LeftButton);
      });
      QTest::mouseClick(form.newGroupButton(), Qt::LeftButton);
    }
    QCOMPARE(form.availableList()->count(), before + 1);
    QCOMPARE(form.availableList()->item(before)->text(), QString("Zálohy"));
  }

  void stoppingKeepsTheRowsFoundSoFar() {
    Fixture f;
    TSearchForm form(f.engine, f.registry);
    form.show();
    Search(form, "*");
    const QStringList everything = Column(form);
    QCOMPARE(everything.size(), 11);

    int records = 0;
    form.recordHook = [&] {
      if (++records != 3)
        return;
      QCOMPARE(form.startButton()->text(), QString("Zastavit"));
      QVERIFY(!form.maximumDepth()->isEnabled());
      QVERIFY(!form.limitedDepth()->isEnabled());
      QVERIFY(!form.useCache()->isEnabled());
      QVERIFY(form.directoryGroups()->isEnabled());
      QCOMPARE(form.currentDiscLabel()->text(), QString("Fotky"));
      QCOMPARE(form.discCountLabel()->text(), QString("1"));
      QTest::mouseClick(form.startButton(), Qt::LeftButton);
      VerifyIdle(form);
      // Pressed again before the search has wound up: nothing starts.
      QTest::mouseClick(form.startButton(), Qt::LeftButton);
      QCOMPARE(form.startButton()->text(), QString("Start"));
    };
    Search(form, "*");
    VerifyIdle(form);
    const QStringList found = Column(form);
    QVERIFY(!found.isEmpty());
    QVERIFY(found.size() < everything.size());
    QCOMPARE(found, everything.mid(0, found.size()));
    QCOMPARE(form.foundLabel()->text(), QString::number(found.size()));
  }

  void closingDuringASearchWaitsForIt() {
    Fixture f;
    TSearchForm form(f.engine, f.registry);
    form.show();
    form.useCache()->setChecked(false);
    int records = 0;
    bool visibleAfterClose = false;
    form.recordHook = [&] {
      if (++records != 2)
        return;
      QTest::mouseClick(form.closeButton(), Qt::LeftButton);
      visibleAfterClose = form.isVisible();
    };
    Search(form, "*");
    QVERIFY(visibleAfterClose);
    QVERIFY(!form.isVisible());
    QCOMPARE(form.result(), int(QDialog::Rejected));
    // The rows found so far stay for the next opening.
    QVERIFY(f.engine.Found.size() > 0);
    QCOMPARE(std::size_t(form.resultView()->model()->rowCount()), f.engine.Found.size());
    QVERIFY(f.engine.Search == nullptr);
    QVERIFY(!f.registry.ReadBool("MeziPamet"));
  }

  void optionsKeepTheirValues() {
    Fixture f;
    {
      TSearchForm form(f.engine, f.registry);
      form.show();
      QVERIFY(form.maximumDepth()->isChecked());
      QVERIFY(!form.limitedDepth()->isChecked());
      QCOMPARE(form.depth()->value(), 3);
      QCOMPARE(form.depth()->minimum(), 1);
      QCOMPARE(form.depth()->maximum(), 250);
      QVERIFY(!form.depth()->isEnabled());
      QVERIFY(form.directoryGroups()->isChecked());
      QVERIFY(form.useCache()->isChecked());
      QVERIFY(form.wrapPattern()->isChecked());
      QVERIFY(!form.matchCase()->isChecked());
      QVERIFY(form.allKinds()->isChecked());

      QTest::mouseClick(form.limitedDepth(), Qt::LeftButton);
      QVERIFY(form.depth()->isEnabled());
      form.depth()->setValue(7);
      QTest::mouseClick(form.directoryGroups(), Qt::LeftButton);
      QTest::mouseClick(form.wrapPattern(), Qt::LeftButton);
      QTest::mouseClick(form.matchCase(), Qt::LeftButton);
      QTest::mouseClick(form.filesOnly(), Qt::LeftButton);
      Search(form, "abc*");
      QVERIFY(f.engine.Found.size() > 0);
      QTest::mouseClick(form.closeButton(), Qt::LeftButton);
      QVERIFY(!form.isVisible());
    }
    QVERIFY(!f.registry.ReadBool("MaxUroven"));
    QVERIFY(f.registry.ReadBool("Volitelna uroven"));
    QCOMPARE(f.registry.ReadInteger("UrovenCislo"), 7);
    QVERIFY(!f.registry.ReadBool("PouzivatSkupinyAdresaru"));
    QVERIFY(f.registry.ReadBool("MeziPamet"));
    QVERIFY(!f.registry.ReadBool("DoplnovatWild"));

    FileRegistry again(f.registry.Path());
    TSearchForm form(f.engine, again);
    QVERIFY(form.limitedDepth()->isChecked());
    QVERIFY(!form.maximumDepth()->isChecked());
    QCOMPARE(form.depth()->value(), 7);
    QVERIFY(form.depth()->isEnabled());
    QVERIFY(!form.directoryGroups()->isChecked());
    QVERIFY(!form.wrapPattern()->isChecked());
    // Not kept: the case and the kind of items.
    QVERIFY(!form.matchCase()->isChecked());
    QVERIFY(form.allKinds()->isChecked());
  }

  void exportWritesHledaniTxt() {
    Fixture f;
    TSearchForm form(f.engine, f.registry);
    form.show();
    form.exportFolder = f.dir.path();
    QStringList proposed, opened;
    QString answer = f.dir.path() + "/vysledky.txt";
    form.chooseExportFile = [&](const QString& path) {
      proposed << path;
      return answer;
    };
    bool viewer = true;
    form.openInViewer = [&](const QString& path) {
      opened << path;
      return viewer;
    };
    Search(form, "abc");

    QStringList items;
    QTimer::singleShot(0, qApp, [&items] {
      auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      QVERIFY(menu != nullptr);
      for (QAction* a : menu->actions())
        items << a->text();
      QTest::mouseClick(menu, Qt::LeftButton, {},
                        menu->actionGeometry(menu->actions().first()).center());
    });
    QTest::mouseClick(form.exportButton(), Qt::LeftButton);
    QCOMPARE(items, (QStringList{"> Notepad", "> &Tabulka CSV nebo HTML..."}));
    // Hledani.txt in the documents folder is proposed; the chosen file is
    // written and opened.
    QCOMPARE(proposed, QStringList{f.dir.path() + "/Hledani.txt"});
    QCOMPARE(opened, QStringList{answer});
    QFile file(answer);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QString("\\Léto abc\r\n\\Léto abc\\Moře\\abc.jpg\r\n\\ABC.txt\r\n"
                                     "\\Hry abc\r\n\\abc.exe\r\n\\abc\r\n")
                                 .toUtf8());
    QVERIFY(f.host.messages.empty());

    // No viewer: it says where the file is.
    viewer = false;
    form.exportToViewer();
    QCOMPARE(f.host.messages.size(), std::size_t{1});
    QVERIFY(QString::fromStdString(f.host.messages[0]).contains(answer));
    // Cancelled: nothing written or opened.
    answer.clear();
    form.exportToViewer();
    QCOMPARE(opened.size(), 2);
    // A folder that cannot take the file: the reason is shown, nothing opens.
    answer = f.dir.path() + "/chybí/x.txt";
    form.exportToViewer();
    QCOMPARE(opened.size(), 2);
    QCOMPARE(f.host.messages.size(), std::size_t{2});
    QVERIFY(QString::fromStdString(f.host.messages[1]).startsWith("Chyba: "));
  }

  void exportTableWritesCsvAndHtml() {
    Fixture f;
    TSearchForm form(f.engine, f.registry);
    form.show();
    Search(form, "abc");
    QStringList proposed;
    QString answer = f.dir.path() + "/výsledky.csv";
    form.chooseTableFile = [&](const QString& path) {
      proposed << path;
      return answer;
    };
    const auto read = [&] {
      QFile file(answer);
      return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    };
    form.exportTable();
    const QStringList csv = read().split("\r\n");
    QCOMPARE(csv.size(), kAllHits.size() + 2);  // the header, the rows, "" after the last CRLF
    QVERIFY(csv[0].startsWith("name,kind,size,attributes,attributeLetters,time,"));
    QCOMPARE(csv[2], QString("abc.jpg,file,1234,32,a,2020-06-18T06:00:00,pláž,Léto abc\\Moře,"
                             "Fotky,A-1,,,FOTO"));
    for (int r = 0; r < kAllHits.size(); ++r)
      QVERIFY2(csv[r + 1].startsWith(kAllHits[r] + ","), qPrintable(csv[r + 1]));

    // The folder of the last export is proposed next time.
    answer = f.dir.path() + "/výsledky.html";
    form.exportTable();
    QCOMPARE(proposed.last(), f.dir.path() + "/Hledani.csv");
    const QString html = read();
    QVERIFY(html.startsWith("<!DOCTYPE html>"));
    QCOMPARE(html.count("<tr>"), kAllHits.size() + 1);
    for (const QString& name : kAllHits)
      QVERIFY2(html.contains("<td>" + name + "</td>"), qPrintable(name));
    QVERIFY(html.contains("<script>") && html.contains("<style>"));
    QVERIFY(!html.contains("http", Qt::CaseInsensitive));
    QVERIFY(f.host.messages.empty());

    // A folder that cannot take the file: the reason is shown.
    answer = f.dir.path() + "/chybí/x.csv";
    form.exportTable();
    QCOMPARE(f.host.messages.size(), std::size_t{1});
    QVERIFY(QString::fromStdString(f.host.messages[0]).contains(answer));
  }

  void anUnreadableCatalogueIsReported() {
    Fixture f;
    f.engine.DatabasePath = (f.dir.path() + "/chybí/katalog.big").toStdString();
    TSearchForm form(f.engine, f.registry);
    form.show();
    Search(form, "abc");
    QCOMPARE(f.host.messages.size(), std::size_t{1});
    QVERIFY(QString::fromStdString(f.host.messages[0]).startsWith("Chyba: "));
    QCOMPARE(form.foundLabel()->text(), QString("0"));
    VerifyIdle(form);
    QVERIFY(f.engine.Search == nullptr);
  }

  void theMainWindowOpensIt() {
    for (const bool maximised : {true, false}) {
      QTemporaryDir dir;
      MemoryRegistry registry;
      OpenCatalogueIn(dir, registry);
      registry.WriteBool("MaximalizovatHledani", maximised);
      gui::TMainForm window(registry);
      window.splashMilliseconds = 0;
      window.quitOnClose = false;
      window.start();
      window.show();
      QVERIFY(window.command("actionSearch")->isEnabled());

      QStringList found;
      bool shownMaximised = !maximised;
      QTimer::singleShot(0, qApp, [&] {
        auto* form = qobject_cast<TSearchForm*>(QApplication::activeModalWidget());
        QVERIFY(form != nullptr);
        shownMaximised = form->isMaximized();
        Search(*form, "abc");
        found = Column(*form);
        QTest::mouseClick(form->closeButton(), Qt::LeftButton);
      });
      window.command("actionSearch")->trigger();
      QCOMPARE(shownMaximised, maximised);
      QCOMPARE(found, kAllHits);
      QVERIFY(window.isVisible());
    }
  }

  void aHitIsShownInItsPlaceAndTheResultsStay() {
    QTemporaryDir dir;
    MemoryRegistry registry;
    OpenCatalogueIn(dir, registry);
    gui::TMainForm window(registry);
    window.splashMilliseconds = 0;
    window.quitOnClose = false;
    window.start();
    window.show();

    QStringList sorted;
    bool descending = false;
    QTimer::singleShot(0, qApp, [&] {
      auto* form = qobject_cast<TSearchForm*>(QApplication::activeModalWidget());
      QVERIFY(form != nullptr);
      Search(*form, "abc");
      // Sizes by value; the second click reverses (a disc row has no size).
      QHeaderView* header = form->resultView()->header();
      const QPoint size(header->sectionViewportPosition(1) + 5, header->height() / 2);
      QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, size);
      QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, size);
      sorted = Column(*form);
      descending =
          header->isSortIndicatorShown() && header->sortIndicatorOrder() == Qt::DescendingOrder;
      QTreeView* view = form->resultView();
      view->setCurrentIndex(view->model()->index(int(sorted.indexOf("abc.jpg")), 0));
      QTest::keyClick(view, Qt::Key_Return);
    });
    window.command("actionSearch")->trigger();
    QCOMPARE(sorted, QStringList({"abc.jpg", "ABC.txt", "abc.exe", "Léto abc", "abc", "Hry abc"}));
    QVERIFY(descending);
    QVERIFY(window.browsing());
    QCOMPARE(window.pathLabel()->text(), QString("[Fotky] \\Léto abc\\Moře"));
    const QModelIndexList selected = window.dirView()->selectionModel()->selectedRows();
    QCOMPARE(selected.size(), 1);
    QCOMPARE(selected.first().data().toString(), QString("abc.jpg"));

    // Opened again, the window still holds its results in their order.
    QStringList again;
    QTimer::singleShot(0, qApp, [&] {
      auto* form = qobject_cast<TSearchForm*>(QApplication::activeModalWidget());
      QVERIFY(form != nullptr);
      again = Column(*form);
      QTest::mouseClick(form->closeButton(), Qt::LeftButton);
    });
    window.command("actionSearch")->trigger();
    QCOMPARE(again, sorted);

    // A new window, as in the next run: its search comes in the order last
    // chosen, with the indicator.
    TSearchForm fresh(window.engine(), registry);
    fresh.show();
    Search(fresh, "abc");
    QCOMPARE(Column(fresh), sorted);
    QVERIFY(fresh.resultView()->header()->isSortIndicatorShown());
    QCOMPARE(fresh.resultView()->header()->sortIndicatorSection(), 1);
  }

  void duplicatesAreGroupedAndACopyShownInItsFolder() {
    QTemporaryDir dir;
    MemoryRegistry registry;
    test::CatalogueBytes catalogue;
    catalogue
        .AddDisc({.serial = "D-1", .description = "Fotky", .files = 2, .dirs = 1},
                 {test::Item(true, "Léto", 1, 10), test::Item(false, "moře.jpg", 2, 10),
                  test::Item(false, "jiné.txt", 1, 3)})
        .AddDisc({.serial = "D-2", .description = "Záloha", .files = 2, .dirs = 1},
                 {test::Item(true, "Kopie", 1, 10), test::Item(false, "MOŘE.JPG", 2, 10),
                  test::Item(false, "jiné.txt", 1, 4)});
    catalogue.Save((dir.path() + "/k.big").toStdString());
    registry.WriteText("Cesta", (dir.path() + "/k.big").toStdString());
    registry.WriteText("VerzeProgramu", gui::kApplicationTitle);
    gui::TMainForm window(registry);
    window.splashMilliseconds = 0;
    window.quitOnClose = false;
    window.start();
    window.show();

    QStringList groups;
    QStringList byName;
    QStringList copies;
    QStringList exported;
    QString proposedTable;
    window.duplicatesHook = [&](gui::TDuplicityForm& form) {
      form.show();
      QAbstractItemModel* model = form.resultView()->model();
      const auto names = [model] {
        QStringList texts;
        for (int r = 0; r < model->rowCount(); ++r)
          texts << model->index(r, 0).data().toString() + " " +
                       model->index(r, 3).data().toString();
        return texts;
      };
      form.byName()->setChecked(true);
      form.startOrStop();
      byName = names();
      form.byNameSize()->setChecked(true);
      form.startOrStop();
      groups = names();
      // The groups as a table, one row per copy, with the fields of the
      // command line's "duplicates --format csv".
      form.chooseTableFile = [&](const QString& proposed) {
        proposedTable = QFileInfo(proposed).fileName();
        return dir.path() + "/duplicity.csv";
      };
      QTest::mouseClick(form.exportButton(), Qt::LeftButton);
      QFile table(dir.path() + "/duplicity.csv");
      if (table.open(QIODevice::ReadOnly))
        exported = QString::fromUtf8(table.readAll()).split("\r\n");
      const QModelIndex group = model->index(0, 0);
      for (int r = 0; r < model->rowCount(group); ++r)
        copies << model->index(r, 3, group).data().toString();
      QTreeView* view = form.resultView();
      view->setCurrentIndex(model->index(1, 0, group));
      QTest::keyClick(view, Qt::Key_Return);
    };
    window.command("actionDuplicates")->trigger();
    QCOMPARE(byName, QStringList({"moře.jpg 2 CD", "jiné.txt 2 CD"}));
    QCOMPARE(groups, QStringList{"moře.jpg 2 CD"});
    QCOMPARE(copies, QStringList({"Fotky", "Záloha"}));
    QCOMPARE(proposedTable, QString("Duplicity.csv"));
    QCOMPARE(exported, (QStringList{"group,size,name,serial,disc,location,time",
                                    "1,10,moře.jpg,D-1,Fotky,Léto,2020-06-18T06:00:00",
                                    "1,10,MOŘE.JPG,D-2,Záloha,Kopie,2020-06-18T06:00:00", ""}));
    QVERIFY(window.browsing());
    QCOMPARE(window.pathLabel()->text(), QString("[Záloha] \\Kopie"));
    const QModelIndexList selected = window.dirView()->selectionModel()->selectedRows();
    QCOMPARE(selected.size(), 1);
    QCOMPARE(selected.first().data().toString(), QString("MOŘE.JPG"));
  }

  void theSearchStartModeEndsWithTheWindow() {
    QTemporaryDir dir;
    MemoryRegistry registry;
    OpenCatalogueIn(dir, registry);
    gui::TMainForm window(registry);
    window.splashMilliseconds = 0;
    window.quitOnClose = false;
    window.startArgument = "search";
    bool searchWindowSeen = false;
    QTimer poll;
    connect(&poll, &QTimer::timeout, &window, [&] {
      auto* form = qobject_cast<TSearchForm*>(QApplication::activeModalWidget());
      if (form == nullptr)
        return;
      searchWindowSeen = true;
      QVERIFY(window.isVisible());
      QTest::mouseClick(form->closeButton(), Qt::LeftButton);
    });
    poll.start(5);
    window.start();
    window.show();
    QTRY_VERIFY(searchWindowSeen);
    QTRY_VERIFY(!window.isVisible());
  }
};

QTEST_MAIN(SearchWindowTest)
#include "search_test.moc"
