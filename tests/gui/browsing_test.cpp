// SPDX-License-Identifier: GPL-3.0-or-later
// Browsing a stored disc in the main window with real clicks: the
// directory list in the disc list's place, entering directories and going
// back up, the path label, hidden items, column sorting, the check box
// that shows every group's items, and a disc whose stored tree breaks off.
#include <QAbstractItemModelTester>
#include <QAction>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/dir_list.h"
#include "catalogue/format/byte_stream.h"
#include "catalogue/format/entry_builder.h"
#include "gui/QELControls.h"
#include "gui/TMainForm.h"
#include "gui/dir_list_model.h"
#include "gui/icon_cache.h"
#include "settings/registry.h"
#include "support/catalogue_builder.h"

using rondo::gui::DirListModel;
using rondo::gui::IconCache;
using rondo::gui::TMainForm;
using rondo::test::Item;

namespace {

QString Cell(const QAbstractItemModel& model, int row, int column) {
  return model.data(model.index(row, column)).toString();
}

QStringList Column(const QAbstractItemModel& model, int column) {
  QStringList cells;
  for (int row = 0; row < model.rowCount(); ++row)
    cells << Cell(model, row, column);
  return cells;
}

int RowOf(const QAbstractItemModel& model, const QString& caption) {
  return static_cast<int>(Column(model, 0).indexOf(caption));
}

rondo::test::DiscSpec Disc(const std::string& serial, const std::string& description) {
  rondo::test::DiscSpec disc;
  disc.serial = serial;
  disc.description = description;
  disc.label = description;
  return disc;
}

// The disc "CD1": two root directories, a nested one, files of several
// kinds, and two items that belong to the group "Filmy" only.
std::vector<rondo::CatalogueItem> Cd1Items() {
  return {
      Item(true, "Archiv", 1, 3000),
      Item(true, "Hluboko", 2, 1000),
      Item(false, "dno.txt", 3, 1000),
      Item(false, "x.txt", 2, 2000),
      Item(false, "readme.TXT", 1, 500, "Přečti mě^"),
      Item(false, "data.bin", 1, 90000),
      Item(true, "Fotky", 1, 0),
      Item(false, "film.avi", 1, 700000, "^Filmy"),
      Item(true, "Filmy", 1, 0, "Jen filmy^Filmy"),
  };
}

// An entry whose block ends in the middle of its third item.
std::vector<std::uint8_t> BrokenEntry() {
  std::vector<std::uint8_t> bytes =
      rondo::BuildCdEntry(rondo::test::MakeHeader(Disc("1111-0003", "Poškozené")),
                          {Item(false, "prvni.txt", 1, 10), Item(false, "druhy.txt", 1, 20),
                           Item(false, "treti-s-dlouhym-jmenem.txt", 1, 30)},
                          true);
  bytes.resize(bytes.size() - 12);
  rondo::MemoryStream stream(bytes);
  rondo::CdHeader header = rondo::ReadCdHeader(stream);
  header.BlockSize = static_cast<std::uint32_t>(bytes.size());
  stream.Seek(0);
  rondo::WriteCdHeader(stream, header);
  return stream.Bytes();
}

struct Fixture {
  QTemporaryDir dir;
  rondo::MemoryRegistry registry;
  std::unique_ptr<TMainForm> window;
  QStringList messages;

  Fixture() {
    rondo::test::CatalogueBytes catalogue;
    catalogue.AddDisc(Disc("1111-0001", "CD1"), Cd1Items());
    catalogue.AddDisc(Disc("1111-0002", "Prázdné"));
    catalogue.AddRaw(BrokenEntry());
    catalogue.Save(dir.filePath("katalog.big").toStdString());
    registry.WriteText("Cesta", dir.filePath("katalog.big").toStdString());
    registry.WriteText("VerzeProgramu", rondo::gui::kApplicationTitle);
  }

  bool open() {
    window = std::make_unique<TMainForm>(registry);
    window->splashMilliseconds = 0;
    window->quitOnClose = false;
    window->messageHook = [this](const QString& text) { messages << text; };
    window->start();
    window->show();
    return QTest::qWaitForWindowExposed(window.get());
  }

  QAbstractItemModel& discs() const { return *window->discView()->model(); }
  QAbstractItemModel& dirs() const { return *window->dirView()->model(); }

  static void doubleClick(QTreeView* view, int row) {
    const QModelIndex index = view->model()->index(row, 0);
    view->scrollTo(index);
    const QPoint centre = view->visualRect(index).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, centre);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, centre);
  }

  // Double clicks the disc of that caption; false when it is not listed.
  bool openDisc(const QString& caption) {
    const int row = RowOf(discs(), caption);
    if (row < 0)
      return false;
    doubleClick(window->discView(), row);
    return true;
  }

  bool openItem(const QString& caption) {
    const int row = RowOf(dirs(), caption);
    if (row < 0)
      return false;
    doubleClick(window->dirView(), row);
    return true;
  }

  void clickHeader(int section) {
    QHeaderView* header = window->dirView()->header();
    const QPoint at(header->sectionViewportPosition(section) + header->sectionSize(section) / 2,
                    header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, at);
  }
};

}  // namespace

class BrowsingTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void enteringAndLeavingADiscWithRealClicks();
  void directoryListHasItsColumnsAndIcons();
  void spaceKeyAndSelectionFollowTheEngine();
  void hiddenItemsAndTheForeignItemsBox();
  void discWithoutStructureSaysSo();
  void headerClickSortsTheDirectoryList();
  void choosingAGroupEndsBrowsing();
  void brokenBlockShowsTheRowsReadAndTheError();
  void contextMenuOfTheDirectoryList();
  void iconCacheLooksUpEachExtensionOnce();
  void directoryModelServesLargeLists();

 private:
  QTemporaryDir settingsDir_;
};

void BrowsingTest::initTestCase() {
  QVERIFY(settingsDir_.isValid());
  qputenv("RONDOTHEKA_REGISTRY", settingsDir_.filePath("registry.ini").toUtf8());
}

void BrowsingTest::enteringAndLeavingADiscWithRealClicks() {
  Fixture f;
  QVERIFY(f.open());
  QAbstractItemModelTester tester(&f.dirs(),
                                  QAbstractItemModelTester::FailureReportingMode::QtTest);
  TMainForm& w = *f.window;
  QVERIFY(w.discView()->isVisible());
  QVERIFY(!w.dirView()->isVisible());
  QVERIFY(!w.itemsMenu()->menuAction()->isVisible());

  QVERIFY(f.openDisc("CD1"));
  QVERIFY(w.browsing());
  QVERIFY(w.dirView()->isVisible());
  QVERIFY(!w.discView()->isVisible());
  QVERIFY(!w.foreignDirectoriesBox()->isEnabled());
  QVERIFY(w.itemsMenu()->menuAction()->isVisible());
  QCOMPARE(w.pathLabel()->text(), QString("[CD1] "));
  QVERIFY(RowOf(f.dirs(), "..") >= 0);
  QVERIFY(RowOf(f.dirs(), "Archiv") >= 0);
  QVERIFY(RowOf(f.dirs(), "readme.TXT") > 0);
  QCOMPARE(RowOf(f.dirs(), "dno.txt"), -1);
  // The disc list is still there behind it, with its count.
  QCOMPARE(w.discCountLabel()->text(), QString("3"));

  QVERIFY(f.openItem("Archiv"));
  QCOMPARE(w.pathLabel()->text(), QString("[CD1] \\Archiv"));
  QCOMPARE(Column(f.dirs(), 0), (QStringList{"..", "Hluboko", "x.txt"}));
  QVERIFY(f.openItem("Hluboko"));
  QCOMPARE(w.pathLabel()->text(), QString("[CD1] \\Archiv\\Hluboko"));
  QCOMPARE(Column(f.dirs(), 0), (QStringList{"..", "dno.txt"}));
  // A file opens nothing.
  QVERIFY(f.openItem("dno.txt"));
  QCOMPARE(w.pathLabel()->text(), QString("[CD1] \\Archiv\\Hluboko"));

  QVERIFY(f.openItem(".."));
  QVERIFY(f.openItem(".."));
  QCOMPARE(w.pathLabel()->text(), QString("[CD1] "));
  QVERIFY(w.browsing());

  // ".." at the root: back to the disc list.
  QVERIFY(f.openItem(".."));
  QVERIFY(!w.browsing());
  QVERIFY(w.discView()->isVisible());
  QVERIFY(!w.dirView()->isVisible());
  QVERIFY(w.foreignDirectoriesBox()->isEnabled());
  QVERIFY(!w.itemsMenu()->menuAction()->isVisible());
  QCOMPARE(w.pathLabel()->text(), QString());
  QCOMPARE(f.dirs().rowCount(), 0);
  QVERIFY(w.engine().DirStack.empty());

  // The same disc again, now from the cached block.
  QVERIFY(f.openDisc("CD1"));
  QVERIFY(w.browsing());
  QCOMPARE(w.pathLabel()->text(), QString("[CD1] "));
  QVERIFY(f.messages.isEmpty());
}

void BrowsingTest::directoryListHasItsColumnsAndIcons() {
  Fixture f;
  QVERIFY(f.open());
  QVERIFY(f.openDisc("CD1"));
  QAbstractItemModel& dirs = f.dirs();
  QTreeView* view = f.window->dirView();
  QCOMPARE(dirs.columnCount(), 6);
  const QStringList headers = {"Jméno", "Velikost", "Atributy", "Vytvořeno", "Komentář", "Skupina"};
  const int widths[] = {200, 80, 50, 120, 130, 100};
  for (int i = 0; i < 6; ++i) {
    QCOMPARE(dirs.headerData(i, Qt::Horizontal).toString(), headers[i]);
    QVERIFY(view->header()->sectionSize(i) >= widths[i]);
  }
  QCOMPARE(view->selectionMode(), QAbstractItemView::SingleSelection);
  QCOMPARE(view->selectionBehavior(), QAbstractItemView::SelectRows);

  const int readme = RowOf(dirs, "readme.TXT");
  QCOMPARE(Cell(dirs, readme, 4), QString("Přečti mě"));
  QCOMPARE(dirs.data(dirs.index(readme, 1), Qt::TextAlignmentRole).value<Qt::Alignment>(),
           Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
  QVERIFY(!dirs.data(dirs.index(readme, 0), Qt::TextAlignmentRole).isValid());

  auto icon = [&dirs](const QString& caption) {
    return dirs.data(dirs.index(RowOf(dirs, caption), 0), Qt::DecorationRole).value<QIcon>();
  };
  IconCache& icons = f.window->iconCache();
  QCOMPARE(icon("..").cacheKey(), icons.folderIcon().cacheKey());
  QCOMPARE(icon("Archiv").cacheKey(), icons.folderIcon().cacheKey());
  QVERIFY(!icon("data.bin").isNull());
  QVERIFY(icon("data.bin").cacheKey() != icons.folderIcon().cacheKey());
  QCOMPARE(icon("readme.TXT").cacheKey(), icons.fileIcon("notes.txt").cacheKey());
  // Only the name column carries icons.
  QVERIFY(!dirs.data(dirs.index(readme, 1), Qt::DecorationRole).isValid());
}

void BrowsingTest::spaceKeyAndSelectionFollowTheEngine() {
  Fixture f;
  QVERIFY(f.open());
  TMainForm& w = *f.window;
  QTreeView* discs = w.discView();
  QTest::mouseClick(discs->viewport(), Qt::LeftButton, Qt::NoModifier,
                    discs->visualRect(f.discs().index(RowOf(f.discs(), "CD1"), 0)).center());
  discs->setFocus();
  QTest::keyClick(discs, Qt::Key_Return);  // Enter opens, as Space does
  QVERIFY(w.browsing());

  QTreeView* dirs = w.dirView();
  auto selectedCaptions = [&w] {
    QStringList captions;
    for (const auto& row : w.engine().Dirs.rows) {
      if (row.selected)
        captions << QString::fromStdString(row.Caption());
    }
    return captions;
  };
  const int archive = RowOf(f.dirs(), "Archiv");
  QTest::mouseClick(dirs->viewport(), Qt::LeftButton, Qt::NoModifier,
                    dirs->visualRect(f.dirs().index(archive, 0)).center());
  QCOMPARE(selectedCaptions(), QStringList{"Archiv"});
  const int data = RowOf(f.dirs(), "data.bin");
  QTest::mouseClick(dirs->viewport(), Qt::LeftButton, Qt::NoModifier,
                    dirs->visualRect(f.dirs().index(data, 0)).center());
  QCOMPARE(selectedCaptions(), QStringList{"data.bin"});
  QTest::mouseClick(dirs->viewport(), Qt::LeftButton, Qt::NoModifier,
                    dirs->visualRect(f.dirs().index(archive, 0)).center());
  QTest::keyClick(dirs, Qt::Key_Space);
  QCOMPARE(w.pathLabel()->text(), QString("[CD1] \\Archiv"));
  // Fresh rows start unselected, in the view as in the engine.
  QVERIFY(selectedCaptions().isEmpty());
  QVERIFY(dirs->selectionModel()->selectedRows().isEmpty());
  // Backspace goes one level up, and from the root back to the discs.
  QTest::keyClick(dirs, Qt::Key_Backspace);
  QCOMPARE(w.pathLabel()->text(), QString("[CD1] "));
  QTest::keyClick(dirs, Qt::Key_Backspace);
  QVERIFY(!w.browsing());
}

void BrowsingTest::hiddenItemsAndTheForeignItemsBox() {
  Fixture f;
  QVERIFY(f.open());
  QVERIFY(f.openDisc("CD1"));
  const int hidden = RowOf(f.dirs(), "Skryté položky!");
  QVERIFY(hidden >= 0);
  QCOMPARE(Cell(f.dirs(), hidden, 1), QString("2"));
  // A blank picture: the row, first of the listing, gives every row the
  // height of a row with an icon.
  QCOMPARE(hidden, 0);
  QCOMPARE(f.dirs().data(f.dirs().index(hidden, 0), Qt::DecorationRole).value<QIcon>().cacheKey(),
           f.window->iconCache().blankIcon().cacheKey());
  QTreeView* view = f.window->dirView();
  const int iconSide = view->style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, view);
  QVERIFY(view->visualRect(f.dirs().index(hidden, 0)).height() >= iconSide);
  QVERIFY(view->visualRect(f.dirs().index(RowOf(f.dirs(), ".."), 0)).height() >= iconSide);
  QCOMPARE(RowOf(f.dirs(), "film.avi"), -1);
  QVERIFY(f.openItem(".."));

  // Items of every group, remembered in the settings.
  QCheckBox* box = f.window->foreignDirectoriesBox();
  QTest::mouseClick(box, Qt::LeftButton);
  QVERIFY(box->isChecked());
  QVERIFY(f.window->engine().ShowForeignItems);
  QCOMPARE(f.registry.ReadBool("ZobrAdresare"), true);
  QVERIFY(f.openDisc("CD1"));
  QCOMPARE(RowOf(f.dirs(), "Skryté položky!"), -1);
  QVERIFY(RowOf(f.dirs(), "film.avi") > 0);
  QCOMPARE(Cell(f.dirs(), RowOf(f.dirs(), "Filmy"), 5), QString("Filmy"));
  QVERIFY(f.messages.isEmpty());
}

void BrowsingTest::discWithoutStructureSaysSo() {
  Fixture f;
  QVERIFY(f.open());
  QVERIFY(f.openDisc("Prázdné"));
  QVERIFY(f.window->browsing());
  QCOMPARE(Column(f.dirs(), 0),
           (QStringList{"..", "Toto CD nebylo vytvořeno s popisem struktury."}));
  QCOMPARE(f.window->pathLabel()->text(), QString("[Prázdné] "));
  QVERIFY(!f.dirs().data(f.dirs().index(1, 0), Qt::DecorationRole).value<QIcon>().isNull());
  // The notice is not a directory.
  QVERIFY(f.openItem("Toto CD nebylo vytvořeno s popisem struktury."));
  QCOMPARE(f.dirs().rowCount(), 2);
  QVERIFY(f.openItem(".."));
  QVERIFY(!f.window->browsing());
}

void BrowsingTest::headerClickSortsTheDirectoryList() {
  Fixture f;
  f.registry.WriteBool("ZobrAdresare", true);
  QVERIFY(f.open());
  QVERIFY(f.openDisc("CD1"));
  const int rows = f.dirs().rowCount();

  f.clickHeader(1);
  QCOMPARE(f.window->engine().SortColumn, 1);
  QCOMPARE(f.dirs().rowCount(), rows);
  QStringList byName = Column(f.dirs(), 0);
  // Directories first, then the files from the smallest.
  QCOMPARE(byName.mid(4), (QStringList{"readme.TXT", "data.bin", "film.avi"}));

  // The selected row stays selected through a re-sort.
  QTreeView* view = f.window->dirView();
  const int readme = RowOf(f.dirs(), "readme.TXT");
  QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier,
                    view->visualRect(f.dirs().index(readme, 0)).center());
  f.clickHeader(0);
  QCOMPARE(f.window->engine().SortColumn, 0);
  byName = Column(f.dirs(), 0);
  QCOMPARE(byName.mid(4), (QStringList{"data.bin", "film.avi", "readme.TXT"}));
  const QModelIndexList selected = view->selectionModel()->selectedRows();
  QCOMPARE(selected.size(), 1);
  QCOMPARE(Cell(f.dirs(), selected[0].row(), 0), QString("readme.TXT"));
  QVERIFY(f.window->engine().Dirs.rows[static_cast<std::size_t>(selected[0].row())].selected);

  // A second click reverses the order, which the indicator shows; the
  // selection goes with its row.
  f.clickHeader(0);
  QCOMPARE(Column(f.dirs(), 0).mid(4), (QStringList{"readme.TXT", "film.avi", "data.bin"}));
  QHeaderView* header = view->header();
  QVERIFY(header->isSortIndicatorShown());
  QCOMPARE(header->sortIndicatorSection(), 0);
  QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);
  QCOMPARE(view->selectionModel()->selectedRows().value(0).data().toString(),
           QString("readme.TXT"));
}

void BrowsingTest::choosingAGroupEndsBrowsing() {
  Fixture f;
  QVERIFY(f.open());
  QVERIFY(f.openDisc("CD1"));
  QAction* lent = nullptr;
  for (QAction* action : f.window->groupMenu()->actions()) {
    if (action->text() == "Půjčené")
      lent = action;
  }
  QVERIFY(lent != nullptr);
  lent->trigger();
  QVERIFY(!f.window->browsing());
  QVERIFY(f.window->foreignDirectoriesBox()->isEnabled());
  QVERIFY(!f.window->itemsMenu()->menuAction()->isVisible());
  QCOMPARE(f.window->pathLabel()->text(), QString());
  QCOMPARE(f.dirs().rowCount(), 0);
  QCOMPARE(f.window->groupButton()->text(), QString("Půjčené"));
  QCOMPARE(f.discs().rowCount(), 0);
  QCOMPARE(f.window->discCountLabel()->text(), QString("0"));
}

void BrowsingTest::brokenBlockShowsTheRowsReadAndTheError() {
  Fixture f;
  QVERIFY(f.open());
  QVERIFY(f.openDisc("Poškozené"));
  QCOMPARE(f.messages.size(), 1);
  QVERIFY2(f.messages[0].startsWith("Chyba: "), qPrintable(f.messages[0]));
  QVERIFY(f.window->browsing());
  QVERIFY(RowOf(f.dirs(), "prvni.txt") > 0);
  QVERIFY(RowOf(f.dirs(), "druhy.txt") > 0);
  QCOMPARE(RowOf(f.dirs(), "treti-s-dlouhym-jmenem.txt"), -1);
  QCOMPARE(f.window->pathLabel()->text(), QString("[Poškozené] "));
  // The window carries on: back to the discs and into a sound one.
  QVERIFY(f.openItem(".."));
  QVERIFY(!f.window->browsing());
  QVERIFY(f.openDisc("CD1"));
  QCOMPARE(f.window->pathLabel()->text(), QString("[CD1] "));
  QCOMPARE(f.messages.size(), 1);
}

void BrowsingTest::contextMenuOfTheDirectoryList() {
  Fixture f;
  QVERIFY(f.open());
  QVERIFY(f.openDisc("CD1"));
  QTreeView* view = f.window->dirView();
  const QPoint at = view->visualRect(f.dirs().index(1, 0)).center();
  QContextMenuEvent event(QContextMenuEvent::Mouse, at, view->viewport()->mapToGlobal(at));
  QCoreApplication::sendEvent(view->viewport(), &event);
  QMenu* menu = f.window->dirContextMenu();
  QTRY_VERIFY(menu->isVisible());
  const QList<QAction*> actions = menu->actions();
  QCOMPARE(actions.size(), 4);
  QCOMPARE(actions[0]->text(), QString("[Soubory a adresáře]"));
  QVERIFY(!actions[0]->isEnabled());
  // The commands carry the letters they have in the menu bar.
  QCOMPARE(actions[1]->text(), QString("&Změnit komentář..."));
  QCOMPARE(actions[2]->text(), QString("Z&měnit skupinu..."));
  QCOMPARE(actions[3]->text(), QString("&Exportovat seznam..."));
  QVERIFY(actions[1]->isEnabled() && actions[2]->isEnabled() && actions[3]->isEnabled());
  menu->hide();
}

void BrowsingTest::iconCacheLooksUpEachExtensionOnce() {
  IconCache icons;
  QCOMPARE(IconCache::extensionOf("Zpráva.PDF"), QString("pdf"));
  QCOMPARE(IconCache::extensionOf("archiv.tar.gz"), QString("gz"));
  QCOMPARE(IconCache::extensionOf("README"), QString());
  const qint64 txt = icons.fileIcon("a.txt").cacheKey();
  QCOMPARE(icons.fileIcon("B.TXT").cacheKey(), txt);
  QCOMPARE(icons.fileIcon("c.Txt").cacheKey(), txt);
  QCOMPARE(icons.lookups(), std::size_t{1});
  QVERIFY(!icons.fileIcon("obrazek.png").isNull());
  QVERIFY(!icons.fileIcon("bez-pripony").isNull());
  QCOMPARE(icons.fileIcon("neznama.qqqzzz").cacheKey(), icons.genericFileIcon().cacheKey());
  QCOMPARE(icons.lookups(), std::size_t{4});
}

void BrowsingTest::directoryModelServesLargeLists() {
  rondo::DirList list;
  IconCache icons;
  DirListModel model(list, icons);
  QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
  constexpr int kRows = 100000;
  model.BeginReset();
  QCOMPARE(model.rowCount(), 0);
  list.rows.resize(kRows);
  for (int i = 0; i < kRows; ++i) {
    auto& row = list.rows[static_cast<std::size_t>(i)];
    row.kind = rondo::DirRowKind::kFile;
    row.cells[0] = "soubor" + std::to_string(i) + (i % 3 == 0 ? ".txt" : i % 3 == 1 ? ".jpg" : "");
  }
  model.EndReset();
  QCOMPARE(model.rowCount(), kRows);

  QTreeView view;
  view.setUniformRowHeights(true);
  view.setModel(&model);
  view.show();
  QVERIFY(QTest::qWaitForWindowExposed(&view));
  view.scrollToBottom();
  QCoreApplication::processEvents();
  const QRect last = view.visualRect(model.index(kRows - 1, 0));
  QVERIFY(view.viewport()->rect().contains(last.center()));
  QCOMPARE(view.indexAt(last.center()).row(), kRows - 1);
  // Three kinds of names: three icon look-ups, however many rows were shown.
  QVERIFY(icons.lookups() <= 3);
}

QTEST_MAIN(BrowsingTest)
#include "browsing_test.moc"
