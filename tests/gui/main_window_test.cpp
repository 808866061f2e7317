// SPDX-License-Identifier: GPL-3.0-or-later
// The main window over real catalogue files: listing, the group menu,
// the menus and tool bar, opening multigroups with real clicks, switching
// databases, closing, the command-line start and the failures the window
// has to survive.
#include <QAbstractItemModelTester>
#include <QAction>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSet>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QtTest>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/disc_list.h"
#include "catalogue/format/byte_stream.h"
#include "catalogue/format/records.h"
#include "catalogue/messages.h"
#include "gui/QELControls.h"
#include "gui/TMainForm.h"
#include "gui/TSearchForm.h"
#include "gui/dir_list_model.h"
#include "gui/disc_list_model.h"
#include "gui/mnemonics.h"
#include "platform/environment.h"
#include "settings/registry.h"
#include "shell/text.h"

using rondo::gui::DiscListModel;
using rondo::gui::TMainForm;

namespace {

// One disc as the test writes it; texts in UTF-8.
struct Disc {
  std::string serial;
  std::string description;
  std::string groups;
  std::string lending;
  std::string label = "DATA";
  bool inMultigroup = false;
  std::vector<std::string> members;  // a multigroup when not empty
};

rondo::CdHeader HeaderOf(const Disc& disc) {
  rondo::CdHeader h;
  h.Serial.Set(rondo::ToCp1250(disc.serial));
  h.Description.Set(rondo::ToCp1250(disc.description));
  h.Groups.Set(rondo::ToCp1250(disc.groups));
  h.Lending.Set(rondo::ToCp1250(disc.lending));
  h.VolumeLabel.Set(rondo::ToCp1250(disc.members.empty() ? disc.label : "Multi Group"));
  if (!disc.lending.empty())
    h.LendDate = 43831.5;
  h.Created = 45000.5;
  h.Finished = 45000.5 + 75.0 / 86400.0;
  h.FileCount = 12;
  h.DirCount = 3;
  h.CdSize = 650000;
  h.InMultigroup = disc.inMultigroup ? 1 : 0;
  return h;
}

void WriteCatalogue(const QString& path, const std::vector<Disc>& discs) {
  rondo::FileStream file(path.toStdString(), rondo::FileStream::Mode::kReadWriteOrCreate);
  file.Truncate(0);
  file.Seek(0);
  rondo::WriteDatabaseHeader(file, rondo::DatabaseHeader::Current());
  for (const Disc& disc : discs) {
    rondo::CdHeader h = HeaderOf(disc);
    if (disc.members.empty()) {
      h.BlockSize = static_cast<std::uint32_t>(rondo::kCdHeaderSize);
      rondo::WriteCdHeader(file, h);
    } else {
      h.BlockSize = static_cast<std::uint32_t>(rondo::kMultigroupBlockSize);
      rondo::WriteCdHeader(file, h);
      rondo::MemberList list;
      for (std::size_t i = 0; i < disc.members.size(); ++i) {
        list.Slots[i].Set(rondo::ToCp1250(disc.members[i]));
      }
      rondo::WriteMemberList(file, list);
    }
  }
  file.Sync();
}

std::vector<Disc> SampleDiscs() {
  std::vector<Disc> discs;
  discs.push_back({"1111-0001", "Doom", "Hry;Filmy", "", "DOOM", false, {}});
  discs.push_back({"1111-0002", "Matrix", "Filmy", "Pepa", "MATRIX", false, {}});
  discs.push_back({"1111-0003", "Quake", "Hry", "Vráceno: 1.1.2020", "QUAKE", false, {}});
  discs.push_back({"1111-0004", "Hudba", "Hudba", "", "Audio CD", false, {}});
  discs.push_back({"1111-0005", "Archiv", "Zálohy", "", "", false, {"1111-0006", "1111-0007"}});
  discs.push_back({"1111-0006", "Archiv díl 1", "Zálohy", "", "ARCH1", true, {}});
  discs.push_back({"1111-0007", "Archiv díl 2", "Zálohy", "", "ARCH2", true, {}});
  return discs;
}

QByteArray ReadBytes(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    return {};
  return file.readAll();
}

QString Cell(const QAbstractItemModel& model, int row, int column) {
  return model.data(model.index(row, column)).toString();
}

QSet<QString> Captions(const QAbstractItemModel& model) {
  QSet<QString> captions;
  for (int row = 0; row < model.rowCount(); ++row)
    captions.insert(Cell(model, row, 0));
  return captions;
}

int RowOf(const QAbstractItemModel& model, const QString& caption) {
  for (int row = 0; row < model.rowCount(); ++row) {
    if (Cell(model, row, 0) == caption)
      return row;
  }
  return -1;
}

QAction* MenuAction(QMenu* menu, const QString& text) {
  for (QAction* action : menu->actions()) {
    if (!action->isSeparator() && action->text() == text)
      return action;
  }
  return nullptr;
}

// Chooses an entry of the group menu as the user would; false when the menu
// has no such entry.
bool ChooseGroup(TMainForm& window, const QString& text) {
  QAction* action = MenuAction(window.groupMenu(), text);
  if (action == nullptr)
    return false;
  action->trigger();
  return true;
}

// A window over a catalogue in a temporary folder, with the message boxes
// replaced by recorders so nothing modal ever blocks the test.
struct Fixture {
  QTemporaryDir dir;
  rondo::MemoryRegistry registry;
  std::unique_ptr<TMainForm> window;
  QStringList messages;
  QStringList questions;
  bool answer = false;

  QString path(const QString& name) const { return dir.filePath(name); }

  // Writes the sample catalogue as katalog.big and names it in the settings.
  void useSampleCatalogue() {
    WriteCatalogue(path("katalog.big"), SampleDiscs());
    registry.WriteText("Cesta", path("katalog.big").toStdString());
  }

  void createWindow() {
    // This version has run before, so no settings window opens at start.
    if (registry.ReadText("VerzeProgramu").empty())
      registry.WriteText("VerzeProgramu", "QEL Rondotheka 4.4");
    window = std::make_unique<TMainForm>(registry);
    window->splashMilliseconds = 0;
    window->quitOnClose = false;
    window->messageHook = [this](const QString& text) { messages << text; };
    window->confirmHook = [this](const QString& text) {
      questions << text;
      return answer;
    };
  }

  // Creates, starts and shows the window.
  bool open() {
    createWindow();
    window->start();
    window->show();
    return QTest::qWaitForWindowExposed(window.get());
  }

  QAbstractItemModel& model() const { return *window->discModel(); }
  QTreeView& view() const { return *window->discView(); }

  // A real double click on a row of the list: the press that selects the
  // row, then the double click itself.
  void doubleClickRow(int row) {
    const QModelIndex index = model().index(row, 0);
    view().scrollTo(index);
    const QPoint centre = view().visualRect(index).center();
    QTest::mouseClick(view().viewport(), Qt::LeftButton, Qt::NoModifier, centre);
    QTest::mouseDClick(view().viewport(), Qt::LeftButton, Qt::NoModifier, centre);
  }

  void clickRow(int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    const QModelIndex index = model().index(row, 0);
    view().scrollTo(index);
    QTest::mouseClick(view().viewport(), Qt::LeftButton, modifiers,
                      view().visualRect(index).center());
  }
};

}  // namespace

class MainWindowTest : public QObject {
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
  void oldFormatRefusedLeavesFileUnchanged();
  void directoryAsDatabaseReportsAndWindowStaysUsable();
  void openAndNewDatabaseCommandsUseTheChooser();
  void modelServesLargeLists();
  void quitClosesTheWindow();
  void menusHaveTheirCommandsInOrder();
  void toolBarAndDiscContextMenu();
  void columnsFitTheFontAndAreRemembered();
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
  qputenv("XDG_DATA_HOME", homeDir_.filePath("data").toUtf8());
  qputenv("XDG_CONFIG_HOME", homeDir_.filePath("config").toUtf8());
  qputenv("RONDOTHEKA_REGISTRY", homeDir_.filePath("registry.ini").toUtf8());
}

void MainWindowTest::startListsTheDiscsOfAllGroups() {
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

void MainWindowTest::rowsCarryTheirIcons() {
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

void MainWindowTest::groupMenuStartsWithTheFixedEntries() {
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

void MainWindowTest::groupMenuListsKindsSortedAndCountsStarts() {
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

void MainWindowTest::groupButtonPopsUpTheMenu() {
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

void MainWindowTest::choosingAGroupListsOnlyItsDiscs() {
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

void MainWindowTest::lentGroupListsTheLentDisc() {
  Fixture f;
  f.useSampleCatalogue();
  QVERIFY(f.open());
  QVERIFY(ChooseGroup(*f.window, "Půjčené"));
  QCOMPARE(f.window->groupButton()->text(), QString("Půjčené"));
  QCOMPARE(f.model().rowCount(), 1);
  QCOMPARE(Cell(f.model(), 0, 0), QString("Matrix"));
  QCOMPARE(f.window->discCountLabel()->text(), QString("1"));
}

void MainWindowTest::shownGroupAndSettingsAreTakenFromTheRegistry() {
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

void MainWindowTest::checkboxStoresItsState() {
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

void MainWindowTest::viewSelectionReachesTheEngineRows() {
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

void MainWindowTest::headerSortAndFilterKeepWhatTheCommandsActOn() {
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

void MainWindowTest::doubleClickOpensMultigroupAndUpRowReturns() {
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

void MainWindowTest::spaceKeyOpensTheSelectedMultigroup() {
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

void MainWindowTest::modelServesLargeLists() {
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

void MainWindowTest::columnsFitTheFontAndAreRemembered() {
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
