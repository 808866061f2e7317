// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's lists over a real catalogue: the discs listed, the
// group menu and what choosing a group shows, selection, sorting and the
// filter, opening multigroups with real clicks, and the columns.
#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSet>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>
#include <string>

#include "catalogue/disc_list.h"
#include "gui/QELControls.h"
#include "gui/TMainForm.h"
#include "gui/disc_list_model.h"
#include "support/sample_catalogue.h"

using namespace rondo::test::sample;
using rondo::gui::DiscListModel;
using rondo::gui::TMainForm;

class MainWindowListsTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();

  void startListsTheDiscsOfAllGroups();
  void rowsCarryTheirIcons();
  void groupMenuStartsWithTheFixedEntries();
  void groupMenuListsKindsSortedAndCountsStarts();
  void groupButtonPopsUpTheMenu();
  void choosingAGroupListsOnlyItsDiscs();
  void lentGroupListsTheLentDisc();
  void shownGroupAndSettingsAreTakenFromTheRegistry();
  void checkboxStoresItsState();
  void viewSelectionReachesTheEngineRows();
  void headerSortAndFilterKeepWhatTheCommandsActOn();
  void doubleClickOpensMultigroupAndUpRowReturns();
  void spaceKeyOpensTheSelectedMultigroup();
  void modelServesLargeLists();
  void columnsFitTheFontAndAreRemembered();

 private:
  QTemporaryDir homeDir_;
};

void MainWindowListsTest::initTestCase() {
  // Nothing here may reach the user's settings or data folder.
  QVERIFY(homeDir_.isValid());
  UseHome(homeDir_);
}

void MainWindowListsTest::startListsTheDiscsOfAllGroups() {
  Fixture f;
  QVERIFY(f.dir.isValid());
  f.useSampleCatalogue();
  QVERIFY(f.open());
  QAbstractItemModelTester tester(&f.model(),
                                  QAbstractItemModelTester::FailureReportingMode::QtTest);

  QVERIFY2(f.messages.isEmpty(), qPrintable(f.messages.join('|')));
  // The multigroup's members are listed only inside it.
  QCOMPARE(f.model().rowCount(), 5);
  QCOMPARE(Captions(f.model()), (QSet<QString>{"Doom", "Matrix", "Quake", "Hudba", "Archiv"}));
  QCOMPARE(f.model().columnCount(), 12);
  QCOMPARE(f.model().headerData(0, Qt::Horizontal).toString(), QString("CD - Popis"));
  QCOMPARE(f.model().headerData(3, Qt::Horizontal).toString(), QString("Půjčeno"));
  QCOMPARE(f.model().headerData(8, Qt::Horizontal).toString(), QString("Velikost CD"));
  // The usual widths are the least a column gets.
  QVERIFY(f.view().header()->sectionSize(0) >= 180);
  QVERIFY(f.view().header()->sectionSize(9) >= 150);

  const int matrix = RowOf(f.model(), "Matrix");
  QVERIFY(matrix >= 0);
  QCOMPARE(Cell(f.model(), matrix, rondo::kColLending), QString("Pepa"));
  QCOMPARE(Cell(f.model(), matrix, rondo::kColSerial), QString("1111-0002"));
  QCOMPARE(Cell(f.model(), matrix, rondo::kColFileCount), QString("12"));
  const QVariant alignment =
      f.model().data(f.model().index(matrix, rondo::kColFileCount), Qt::TextAlignmentRole);
  QCOMPARE(alignment.value<Qt::Alignment>(), Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
  QVERIFY(
      !f.model().data(f.model().index(matrix, rondo::kColSerial), Qt::TextAlignmentRole).isValid());

  QVERIFY(f.window->windowTitle().startsWith("QEL Rondotheka - "));
  QVERIFY(f.window->windowTitle().endsWith("katalog.big"));
  const qint64 size = QFileInfo(f.path("katalog.big")).size();
  QCOMPARE(size, qint64(75 + 6 * 228 + 408));
  QCOMPARE(f.window->databaseSizeLabel()->text(), QString("1 kB"));
  QCOMPARE(f.window->discCountLabel()->text(), QString("5"));
  QCOMPARE(f.window->groupButton()->text(), QString("All"));
  QVERIFY(f.window->isVisible());
}

void MainWindowListsTest::rowsCarryTheirIcons() {
  Fixture f;
  f.useSampleCatalogue();
  QVERIFY(f.open());
  auto* model = f.window->discModel();
  auto iconKey = [&](const QString& caption) {
    const int row = RowOf(*model, caption);
    return model->data(model->index(row, 0), Qt::DecorationRole).value<QIcon>().cacheKey();
  };
  const qint64 disc = model->IconFor(rondo::kDiscIconIndex).cacheKey();
  const qint64 audio = model->IconFor(rondo::kAudioCdIconIndex).cacheKey();
  const qint64 multigroup = model->IconFor(rondo::kMultigroupIconIndex).cacheKey();
  QVERIFY(disc != audio && disc != multigroup && audio != multigroup);
  QCOMPARE(iconKey("Doom"), disc);
  QCOMPARE(iconKey("Hudba"), audio);
  QCOMPARE(iconKey("Archiv"), multigroup);
  // Only the first column carries the icon.
  QVERIFY(!model->data(model->index(0, 1), Qt::DecorationRole).isValid());
}

void MainWindowListsTest::groupMenuStartsWithTheFixedEntries() {
  Fixture f;
  f.useSampleCatalogue();
  QVERIFY(f.open());
  const QList<QAction*> actions = f.window->groupMenu()->actions();
  QVERIFY(actions.size() >= 5);
  QCOMPARE(actions.size(), 5);
  QCOMPARE(actions[0]->text(), QString("All"));
  QCOMPARE(actions[1]->text(), QString("Půjčené"));
  QCOMPARE(actions[2]->text(), QString("Nepůjčené"));
  QVERIFY(actions[3]->isSeparator());
  // A fresh registry still offers "Audio CD", and now holds it.
  QCOMPARE(actions[4]->text(), QString("Audio CD"));
  const std::vector<std::string> kinds = f.registry.ValueNames("Druhy CD");
  QCOMPARE(kinds.size(), std::size_t{1});
  QCOMPARE(kinds[0], std::string("Audio CD"));
}

void MainWindowListsTest::groupMenuListsKindsSortedAndCountsStarts() {
  Fixture f;
  f.useSampleCatalogue();
  f.registry.WriteText("Zálohy", "", "Druhy CD");
  f.registry.WriteText("Hry", "", "Druhy CD");
  f.registry.WriteText("Filmy", "", "Druhy CD");
  QVERIFY(f.open());
  QCOMPARE(f.registry.ReadText("Spusteni"), std::string("1"));
  QCOMPARE(QString::fromStdString(f.registry.ReadText("AppPath")),
           QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath());

  QStringList kinds;
  const QList<QAction*> actions = f.window->groupMenu()->actions();
  for (int i = 4; i < actions.size(); ++i)
    kinds << actions[i]->text();
  QCOMPARE(kinds, (QStringList{"Audio CD", "Filmy", "Hry", "Zálohy"}));

  // A second start counts on.
  f.window.reset();
  QVERIFY(f.open());
  QCOMPARE(f.registry.ReadText("Spusteni"), std::string("2"));
  f.registry.WriteText("Spusteni", "41");
  f.window.reset();
  QVERIFY(f.open());
  QCOMPARE(f.registry.ReadText("Spusteni"), std::string("42"));
}

void MainWindowListsTest::groupButtonPopsUpTheMenu() {
  Fixture f;
  f.useSampleCatalogue();
  f.registry.WriteText("Hry", "", "Druhy CD");
  QVERIFY(f.open());
  QMenu* menu = f.window->groupMenu();
  QVERIFY(!menu->isVisible());
  QTest::mouseClick(f.window->groupButton(), Qt::LeftButton);
  QTRY_VERIFY(menu->isVisible());
  QVERIFY(ChooseGroup(*f.window, "Hry"));
  menu->hide();
  QCOMPARE(f.window->groupButton()->text(), QString("Hry"));
  QCOMPARE(f.model().rowCount(), 2);
}

void MainWindowListsTest::choosingAGroupListsOnlyItsDiscs() {
  Fixture f;
  f.useSampleCatalogue();
  f.registry.WriteText("Hry", "", "Druhy CD");
  QVERIFY(f.open());
  QAbstractItemModelTester tester(&f.model(),
                                  QAbstractItemModelTester::FailureReportingMode::QtTest);

  QVERIFY(ChooseGroup(*f.window, "Hry"));
  QCOMPARE(f.window->groupButton()->text(), QString("Hry"));
  QCOMPARE(f.window->engine().GroupFilter, std::string("Hry"));
  QCOMPARE(Captions(f.model()), (QSet<QString>{"Doom", "Quake"}));
  QCOMPARE(f.window->discCountLabel()->text(), QString("2"));

  QVERIFY(ChooseGroup(*f.window, "Nepůjčené"));
  QCOMPARE(Captions(f.model()), (QSet<QString>{"Doom", "Quake", "Hudba", "Archiv"}));
  QCOMPARE(f.window->discCountLabel()->text(), QString("4"));

  QVERIFY(ChooseGroup(*f.window, "All"));
  QCOMPARE(f.model().rowCount(), 5);
  QCOMPARE(f.window->discCountLabel()->text(), QString("5"));
  QVERIFY(f.messages.isEmpty());
}

void MainWindowListsTest::lentGroupListsTheLentDisc() {
  Fixture f;
  f.useSampleCatalogue();
  QVERIFY(f.open());
  QVERIFY(ChooseGroup(*f.window, "Půjčené"));
  QCOMPARE(f.window->groupButton()->text(), QString("Půjčené"));
  QCOMPARE(f.model().rowCount(), 1);
  QCOMPARE(Cell(f.model(), 0, 0), QString("Matrix"));
  QCOMPARE(f.window->discCountLabel()->text(), QString("1"));
}

void MainWindowListsTest::shownGroupAndSettingsAreTakenFromTheRegistry() {
  Fixture f;
  f.useSampleCatalogue();
  f.registry.WriteText("ZobrazitSkupinu", "Filmy");
  f.registry.WriteInteger("VelikostFontu", 17);
  QVERIFY(f.open());
  QCOMPARE(f.window->groupButton()->text(), QString("Filmy"));
  QCOMPARE(Captions(f.model()), (QSet<QString>{"Doom", "Matrix"}));
  QCOMPARE(f.window->discCountLabel()->text(), QString("2"));
  QCOMPARE(f.view().font().pointSize(), 17);
  QCOMPARE(f.window->dirView()->font().pointSize(), 17);
  // Choosing a group does not rewrite the setting.
  QVERIFY(ChooseGroup(*f.window, "All"));
  QCOMPARE(f.registry.ReadText("ZobrazitSkupinu"), std::string("Filmy"));
}

void MainWindowListsTest::checkboxStoresItsState() {
  Fixture f;
  f.useSampleCatalogue();
  f.registry.WriteBool("ZobrAdresare", true);
  QVERIFY(f.open());
  QCheckBox* box = f.window->foreignDirectoriesBox();
  QCOMPARE(box->text(), QString("Zobrazovat adresáře nepatřící do skupiny"));
  QVERIFY(box->isChecked());
  QVERIFY(f.window->engine().ShowForeignItems);
  QTest::mouseClick(box, Qt::LeftButton);
  QVERIFY(!box->isChecked());
  QVERIFY(!f.window->engine().ShowForeignItems);
  QCOMPARE(f.registry.ReadBool("ZobrAdresare"), false);
  QTest::mouseClick(box, Qt::LeftButton);
  QVERIFY(box->isChecked());
  QVERIFY(f.window->engine().ShowForeignItems);
  QCOMPARE(f.registry.ReadBool("ZobrAdresare"), true);
}

void MainWindowListsTest::viewSelectionReachesTheEngineRows() {
  Fixture f;
  f.useSampleCatalogue();
  QVERIFY(f.open());
  const auto& rows = f.window->engine().Discs.rows;
  auto selectedCaptions = [&rows] {
    QSet<QString> captions;
    for (const auto& row : rows) {
      if (row.selected)
        captions.insert(QString::fromStdString(row.Caption()));
    }
    return captions;
  };
  const int doom = RowOf(f.model(), "Doom");
  const int quake = RowOf(f.model(), "Quake");
  f.clickRow(doom);
  QCOMPARE(selectedCaptions(), QSet<QString>{"Doom"});
  f.clickRow(quake, Qt::ControlModifier);
  QCOMPARE(selectedCaptions(), (QSet<QString>{"Doom", "Quake"}));
  f.clickRow(quake);
  QCOMPARE(selectedCaptions(), QSet<QString>{"Quake"});
  f.view().selectAll();
  QCOMPARE(selectedCaptions().size(), 5);
  f.view().clearSelection();
  QVERIFY(selectedCaptions().isEmpty());
}

void MainWindowListsTest::headerSortAndFilterKeepWhatTheCommandsActOn() {
  Fixture f;
  f.useSampleCatalogue();
  QVERIFY(f.open());
  QHeaderView* header = f.view().header();
  const QPoint serial(header->sectionViewportPosition(2) + 5, header->height() / 2);
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, serial);
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, serial);
  QCOMPARE(Cell(f.model(), 0, 0), QString("Archiv"));  // serials from the highest
  QCOMPARE(Cell(f.model(), 4, 0), QString("Doom"));
  QCOMPARE(header->sortIndicatorSection(), 2);
  QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);

  // The filter shows the matching rows only; a hidden row is no longer
  // selected, so no command acts on it, and no row leaves the engine.
  f.clickRow(RowOf(f.model(), "Matrix"));
  f.clickRow(RowOf(f.model(), "Quake"), Qt::ControlModifier);
  QVERIFY(f.window->discFilter()->isVisible());
  QTest::keyClicks(f.window->discFilter(), "QUA");
  QCOMPARE(f.model().rowCount(), 1);
  QCOMPARE(Cell(f.model(), 0, 0), QString("Quake"));
  QCOMPARE(f.window->engine().Discs.rows.size(), std::size_t{5});
  QCOMPARE(QString::fromStdString(f.window->engine().Discs.FirstSelected()->Caption()),
           QString("Quake"));
  QCOMPARE(f.view().selectionModel()->selectedRows().size(), 1);
  f.window->discFilter()->clear();
  QCOMPARE(f.model().rowCount(), 5);
  QCOMPARE(f.view().selectionModel()->selectedRows().value(0).data().toString(), QString("Quake"));
}

void MainWindowListsTest::doubleClickOpensMultigroupAndUpRowReturns() {
  Fixture f;
  f.useSampleCatalogue();
  QVERIFY(f.open());
  QAbstractItemModelTester tester(&f.model(),
                                  QAbstractItemModelTester::FailureReportingMode::QtTest);
  const int archive = RowOf(f.model(), "Archiv");
  QVERIFY(archive >= 0);
  f.view().selectionModel()->select(
      f.model().index(archive, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  QVERIFY(f.window->engine().Discs.rows[static_cast<std::size_t>(archive)].selected);

  f.doubleClickRow(archive);
  QCOMPARE(f.model().rowCount(), 3);
  QCOMPARE(Cell(f.model(), 0, 0), QString(".."));
  QCOMPARE(Captions(f.model()), (QSet<QString>{"..", "Archiv díl 1", "Archiv díl 2"}));
  QCOMPARE(f.window->discCountLabel()->text(), QString("3"));
  // The ".." row has a blank picture, so the members' icons keep their
  // room; the members show plain sizes.
  QCOMPARE(f.model().data(f.model().index(0, 0), Qt::DecorationRole).value<QIcon>().cacheKey(),
           f.window->discModel()->IconFor(rondo::kNoIcon).cacheKey());
  QTreeView* view = f.window->discView();
  QVERIFY(view->visualRect(f.model().index(0, 0)).height() >=
          view->style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, view));
  const int member = RowOf(f.model(), "Archiv díl 1");
  QCOMPARE(Cell(f.model(), member, rondo::kColCdSize), QString("650000"));

  f.doubleClickRow(0);
  QCOMPARE(f.model().rowCount(), 5);
  QCOMPARE(Captions(f.model()), (QSet<QString>{"Doom", "Matrix", "Quake", "Hudba", "Archiv"}));
  QCOMPARE(f.window->discCountLabel()->text(), QString("5"));

  // A double click on an ordinary disc browses it; the disc list stays
  // behind the directory list.
  QVERIFY(!f.window->browsing());
  const int doom = RowOf(f.model(), "Doom");
  f.doubleClickRow(doom);
  QVERIFY(f.window->browsing());
  QCOMPARE(f.model().rowCount(), 5);
  QCOMPARE(f.window->engine().LoadedSerial, std::string("1111-0001"));
  QCOMPARE(f.window->pathLabel()->text(), QString("[Doom] "));
  QVERIFY(f.messages.isEmpty());
}

void MainWindowListsTest::spaceKeyOpensTheSelectedMultigroup() {
  Fixture f;
  f.useSampleCatalogue();
  QVERIFY(f.open());
  f.clickRow(RowOf(f.model(), "Archiv"));
  f.view().setFocus();
  QTest::keyClick(&f.view(), Qt::Key_Space);
  QCOMPARE(f.model().rowCount(), 3);
  QCOMPARE(Cell(f.model(), 0, 0), QString(".."));
  f.clickRow(0);
  QTest::keyClick(&f.view(), Qt::Key_Space);
  QCOMPARE(f.model().rowCount(), 5);
}

void MainWindowListsTest::modelServesLargeLists() {
  rondo::DiscList list;
  DiscListModel model(list);
  QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
  model.BeginReset();
  QCOMPARE(model.rowCount(), 0);
  constexpr int kRows = 100000;
  list.rows.resize(kRows);
  for (int i = 0; i < kRows; ++i) {
    list.rows[static_cast<std::size_t>(i)].cells[0] = "Disk č. " + std::to_string(i);
  }
  model.EndReset();
  QCOMPARE(model.rowCount(), kRows);
  QCOMPARE(model.data(model.index(kRows - 1, 0)).toString(), QString("Disk č. 99999"));
  QVERIFY(!model.data(model.index(kRows, 0)).isValid());

  QTreeView view;
  view.setUniformRowHeights(true);
  view.setModel(&model);
  view.show();
  QVERIFY(QTest::qWaitForWindowExposed(&view));
  view.scrollToBottom();
  const QRect last = view.visualRect(model.index(kRows - 1, 0));
  QVERIFY(view.viewport()->rect().contains(last.center()));
  QCOMPARE(view.indexAt(last.center()).row(), kRows - 1);
}

void MainWindowListsTest::columnsFitTheFontAndAreRemembered() {
  Fixture f;
  f.useSampleCatalogue();
  f.registry.WriteText("VelikostFontu", "16");
  QVERIFY(f.open());
  QHeaderView* header = f.view().header();
  QCOMPARE(f.view().font().pointSize(), 16);
  const QFontMetrics metrics(f.view().font());
  for (int c = 0; c < f.model().columnCount(); ++c) {
    const QString caption = f.model().headerData(c, Qt::Horizontal).toString();
    QVERIFY2(header->sectionSize(c) > metrics.horizontalAdvance(caption), qPrintable(caption));
    for (int r = 0; r < f.model().rowCount(); ++r)
      QVERIFY(header->sectionSize(c) > metrics.horizontalAdvance(Cell(f.model(), r, c)));
  }

  // The user's width, the order chosen and the window's size stay for the
  // next run.
  header->resizeSection(1, 333);
  const QPoint serial(header->sectionViewportPosition(2) + 5, header->height() / 2);
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, serial);
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, serial);
  f.window->resize(640, 430);
  f.window->close();
  QVERIFY(f.open());
  QCOMPARE(f.view().header()->sectionSize(1), 333);
  QCOMPARE(f.window->engine().DiscSortColumn, 2);
  QVERIFY(f.window->engine().DiscSortDescending);
  QCOMPARE(f.view().header()->sortIndicatorSection(), 2);
  QCOMPARE(f.window->size(), QSize(640, 430));
  // A window is never larger than the screen's free area.
  f.window->close();
  f.registry.WriteText("OknoTMainForm", "");
  f.createWindow();
  f.window->resize(5000, 4000);
  f.window->start();
  f.window->show();
  QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
  const QRect free = f.window->screen()->availableGeometry();
  QVERIFY(free.contains(f.window->frameGeometry()));
}

QTEST_MAIN(MainWindowListsTest)
#include "main_window_lists_test.moc"
