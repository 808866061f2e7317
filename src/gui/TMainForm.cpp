// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/TMainForm.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelection>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QRadialGradient>
#include <QStackedWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <filesystem>
#include <system_error>

#include "catalogue/disc_filter.h"
#include "catalogue/messages.h"
#include "gui/QELControls.h"
#include "gui/TDatabazeInfoForm.h"
#include "gui/TDuplicityForm.h"
#include "gui/TInfoForm.h"
#include "gui/TKontrolaForm.h"
#include "gui/TLngINISupp.h"
#include "gui/TMePujceneForm.h"
#include "gui/TOnForm.h"
#include "gui/TPrevodForm.h"
#include "gui/TPridaniCDForm.h"
#include "gui/TPujcitForm.h"
#include "gui/TSearchForm.h"
#include "gui/TSkupinaForm.h"
#include "gui/TSplashForm.h"
#include "gui/TSpravaSkupForm.h"
#include "gui/catalogue_watch.h"
#include "gui/column_layout.h"
#include "gui/dir_list_model.h"
#include "gui/disc_list_model.h"
#include "gui/icon_cache.h"
#include "gui/qt_text.h"
#include "gui/qt_translations.h"
#include "gui/window_placement.h"
#include "platform/environment.h"
#include "platform/linux_file_tree.h"
#include "settings/group_kinds.h"
#include "shell/delay.h"
#include "shell/paths.h"
#include "shell/sizes.h"
#include "shell/typed_text.h"

namespace rondo::gui {

namespace {

// Registry names of the settings the main window uses.
constexpr const char* kCataloguePathSetting = "Cesta";
constexpr const char* kShownGroupSetting = "ZobrazitSkupinu";
constexpr const char* kFontSizeSetting = "VelikostFontu";
constexpr const char* kForeignDirectoriesSetting = "ZobrAdresare";
constexpr const char* kProgramPathSetting = "AppPath";
constexpr const char* kProgramVersionSetting = "VerzeProgramu";
constexpr const char* kLanguageSetting = "Language";
// The user's column widths and the disc list's order.
constexpr const char* kDiscColumnsSetting = "SloupceSeznamuCD";
constexpr const char* kDirColumnsSetting = "SloupceSeznamuAdresaru";
constexpr const char* kDiscSortSetting = "RazeniSeznamuCD";
constexpr const char* kDiscSortDescendingSetting = "RazeniSeznamuCDSestupne";

// Prefix of the messages about failed operations.
constexpr const char* kFailurePrefix = "Chyba: ";

// The font sizes the lists accept from the settings.
constexpr int kSmallestFontSize = 1;
constexpr int kLargestFontSize = 200;

// Menu and button texts take "&" as a mnemonic mark; group names do not.
QString WithoutMnemonics(QString text) {
  return text.replace(QLatin1Char('&'), "&&");
}

// The tool bar's pictures, drawn here so they look the same on every
// desktop theme: a disc with a plus or a minus, a magnifying glass, and a
// disc handed on.
enum class ToolPicture { kAdd, kRemove, kSearch, kLend };

void DrawDisc(QPainter& painter, const QRectF& area) {
  QRadialGradient shine(area.center(), area.width() / 2);
  shine.setColorAt(0.0, QColor(250, 250, 255));
  shine.setColorAt(0.6, QColor(200, 210, 230));
  shine.setColorAt(1.0, QColor(150, 165, 195));
  painter.setPen(QPen(QColor(80, 90, 115), 1.0));
  painter.setBrush(shine);
  painter.drawEllipse(area);
  painter.setBrush(QColor(255, 255, 255));
  const double hole = area.width() * 0.14;
  painter.drawEllipse(area.center(), hole, hole);
}

void DrawBadge(QPainter& painter, const QColor& colour, bool plus) {
  const QRectF badge(12.5, 12.5, 11, 11);
  painter.setPen(Qt::NoPen);
  painter.setBrush(colour);
  painter.drawEllipse(badge);
  painter.setPen(QPen(Qt::white, 2.0, Qt::SolidLine, Qt::RoundCap));
  const QPointF c = badge.center();
  painter.drawLine(QPointF(c.x() - 3, c.y()), QPointF(c.x() + 3, c.y()));
  if (plus)
    painter.drawLine(QPointF(c.x(), c.y() - 3), QPointF(c.x(), c.y() + 3));
}

// Drawn for the size and scale asked, so the pictures stay sharp on a
// scaled screen.
void DrawToolPicture(QPainter& painter, ToolPicture picture) {
  switch (picture) {
    case ToolPicture::kAdd:
      DrawDisc(painter, QRectF(1, 1, 18, 18));
      DrawBadge(painter, QColor(40, 150, 60), true);
      break;
    case ToolPicture::kRemove:
      DrawDisc(painter, QRectF(1, 1, 18, 18));
      DrawBadge(painter, QColor(200, 50, 40), false);
      break;
    case ToolPicture::kSearch:
      painter.setPen(QPen(QColor(120, 80, 40), 3.5, Qt::SolidLine, Qt::RoundCap));
      painter.drawLine(QPointF(14.5, 14.5), QPointF(21.5, 21.5));
      painter.setPen(QPen(QColor(50, 60, 80), 2.2));
      painter.setBrush(QColor(200, 225, 250, 200));
      painter.drawEllipse(QRectF(2.5, 2.5, 13, 13));
      break;
    case ToolPicture::kLend: {
      DrawDisc(painter, QRectF(1, 3, 16, 16));
      QPainterPath arrow;
      arrow.moveTo(13, 9);
      arrow.lineTo(18, 9);
      arrow.lineTo(18, 5.5);
      arrow.lineTo(23.5, 12);
      arrow.lineTo(18, 18.5);
      arrow.lineTo(18, 15);
      arrow.lineTo(13, 15);
      arrow.closeSubpath();
      painter.setPen(QPen(QColor(20, 60, 130), 1.0));
      painter.setBrush(QColor(60, 120, 210));
      painter.drawPath(arrow);
      break;
    }
  }
}

QIcon ToolIcon(ToolPicture picture) {
  return PaintedIcon([picture](QPainter& painter) { DrawToolPicture(painter, picture); });
}

// A setting that must be a whole number in [low, high]; empty otherwise.
std::optional<int> NumberSetting(const std::string& text, int low, int high) {
  int value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || stop != end || value < low || value > high)
    return std::nullopt;
  return value;
}

// The commands that act on the discs selected in the disc list. While a
// disc is browsed that list is hidden, and its selection (the browsed disc)
// is not what the user sees, so they wait until browsing ends.
constexpr const char* kSelectedDiscCommands[] = {
    "actionRemoveCds", "actionLendCds",        "actionReturnCds",       "actionClearLending",
    "actionRenameCd",  "actionChangeCdGroups", "actionCreateMultigroup"};

// How many discs the removal question names before it only counts the rest.
constexpr std::size_t kNamedInRemovalQuestion = 10;

// The removal question with the discs it will remove below it.
template <typename Rows>
std::string RemovalQuestion(const Rows& rows) {
  std::string question(msg::kRemoveQuestion);
  std::size_t count = 0;
  for (const auto& row : rows) {
    const std::string& serial = row.cells[kColSerial];
    if (!row.selected || serial.empty())
      continue;  // ".." above a multigroup's discs matches no disc
    if (count < kNamedInRemovalQuestion)
      question +=
          (count == 0 ? "\r\n\r\n" : "\r\n") + (row.Caption().empty() ? serial : row.Caption());
    ++count;
  }
  if (count > kNamedInRemovalQuestion)
    question += "\r\n… a další " + std::to_string(count - kNamedInRemovalQuestion);
  return question;
}

// The engine row a view row shows: the same index, unless the view shows
// only some of the rows (the disc list's filter).
struct SameRow {
  std::size_t operator()(int row) const { return static_cast<std::size_t>(row); }
};

// Marks the engine rows of a view's selection change.
template <typename Rows, typename ToList = SameRow>
void MarkSelection(Rows& rows, const QItemSelection& selected, const QItemSelection& deselected,
                   ToList toList = {}) {
  auto mark = [&rows, &toList](const QItemSelection& ranges, bool on) {
    for (const QItemSelectionRange& range : ranges) {
      for (int row = std::max(range.top(), 0); row <= range.bottom(); ++row) {
        const std::size_t at = toList(row);
        if (at < rows.size())
          rows[at].selected = on;
      }
    }
  };
  mark(deselected, false);
  mark(selected, true);
}

// After a refill or a re-sort the view shows again the rows the engine has
// marked as selected, so what the user sees is what the commands act on.
template <typename Rows, typename ToList = SameRow>
void ShowEngineSelection(QTreeView* view, const Rows& rows, ToList toList = {}) {
  QAbstractItemModel* model = view->model();
  QItemSelection selection;
  int first = -1;
  const int count = model->rowCount();
  const auto selectedAt = [&](int row) {
    const std::size_t at = toList(row);
    return at < rows.size() && rows[at].selected;
  };
  for (int row = 0; row < count;) {
    if (!selectedAt(row)) {
      ++row;
      continue;
    }
    int end = row;
    while (end + 1 < count && selectedAt(end + 1))
      ++end;
    selection.select(model->index(row, 0), model->index(end, model->columnCount() - 1));
    if (first < 0)
      first = row;
    row = end + 1;
  }
  if (first < 0)
    return;
  view->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
  view->selectionModel()->setCurrentIndex(model->index(first, 0), QItemSelectionModel::NoUpdate);
  view->scrollTo(model->index(first, 0));
}

// The header shows the column and order the engine sorted the rows by, or
// no indicator while the rows are in the order they were listed.
void ShowSortIndicator(QTreeView* view, bool sorted, int column, bool descending) {
  view->header()->setSortIndicatorShown(sorted);
  if (sorted)
    view->header()->setSortIndicator(column, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void SetUpListView(QTreeView* view) {
  view->setRootIsDecorated(false);
  view->setItemsExpandable(false);
  view->setExpandsOnDoubleClick(false);
  view->setUniformRowHeights(true);
  view->setAlternatingRowColors(true);
  view->setSelectionBehavior(QAbstractItemView::SelectRows);
  view->setSortingEnabled(false);  // sorting is the engine's business
  view->setAllColumnsShowFocus(true);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view->setContextMenuPolicy(Qt::CustomContextMenu);
  view->header()->setStretchLastSection(false);
}

}  // namespace

TMainForm::TMainForm(Registry& registry, QWidget* parent)
    : QMainWindow(parent),
      registry_(registry),
      engine_(*this, platform::CurrentDisplayFormat()),
      icons_(std::make_unique<IconCache>()),
      ownFileTree_(std::make_unique<platform::LinuxFileTree>()),
      fileTree_(ownFileTree_.get()) {
  setObjectName(QStringLiteral("TMainForm"));
  model_ = new DiscListModel(engine_.Discs, this);
  dirModel_ = new DirListModel(engine_.Dirs, *icons_, this);
  chooseDatabaseFile = [this](bool newDatabase) { return defaultChooseDatabaseFile(newDatabase); };
  engine_.Settings = &registry_;
  lockWait_ = new LockWaitWindow(this);
  // Every window of the program opens where the user left it.
  qApp->installEventFilter(new WindowPlacement(registry_, this));
  watcher_ = new CatalogueWatcher(this);
  connect(watcher_, &CatalogueWatcher::changed, this, &TMainForm::catalogueChangedOutside);

  buildMenus();
  buildCentralWidget();
  buildContextMenus();
  buildTimers();
  buildKeys();
  setGroupCaption(FromUtf8(kGroupAll));
  resize(900, 560);
}

void TMainForm::startLanguage() {
  if (language_ == nullptr) {
    if (languageFolder.isEmpty()) {
      // The folder written to first: made when missing, it is then listed
      // among the folders read, in its place.
      QString writeFolder;
      QStringList folders;
      guarded([&writeFolder, &folders] {
        writeFolder = QString::fromStdString(platform::WritableDataFolder());
        for (const std::string& folder : platform::LanguageFolders())
          folders << QString::fromStdString(folder);
      });
      language_ = new TLngINISupp(folders, writeFolder, this);
    } else {
      language_ = new TLngINISupp(languageFolder, this);
    }
    language_->warningHook = [this](const QString& text) { ShowMessage(ToUtf8(text)); };
    language_->setMenu(menuBar());
    connect(language_, &TLngINISupp::languageChanged, this, [this](const QString& name) {
      languageFile_ = ToUtf8(name);
      UseQtTranslations(name);
      // The caption names the open catalogue, not a fixed text.
      updateCaption();
      // "All", "Půjčené" and "Nepůjčené" are shown in the new language;
      // the filter and the menu entries keep their stored names.
      setGroupCaption(FromUtf8(engine_.GroupFilter));
      for (QAction* action : groupMenu_->actions()) {
        if (!action->isSeparator())
          action->setText(WithoutMnemonics(ShownGroupName(action->data().toString())));
      }
    });
  }
  SetMainLngSupp(language_);
  UseQtTranslations(FromUtf8(languageFile_));
  language_->setFileName(FromUtf8(languageFile_));
  language_->Apply(this);
}

TMainForm::~TMainForm() {
  if (MainLngSupp() == language_)
    SetMainLngSupp(nullptr);
  // The child widgets outlive the engine (QObject deletes them after the
  // members are gone) and may still lay out while hiding; they must no
  // longer reach the engine's rows through the models.
  discView_->setModel(nullptr);
  dirView_->setModel(nullptr);
}

QAction* TMainForm::addCommand(QMenu* menu, const char* objectName, const QString& text,
                               bool enabled) {
  QAction* action = menu->addAction(text);
  action->setObjectName(QString::fromLatin1(objectName));
  action->setEnabled(enabled);
  return action;
}

void TMainForm::buildMenus() {
  QMenuBar* bar = menuBar();

  programMenu_ = bar->addMenu(QStringLiteral("[Program]"));
  programMenu_->setObjectName(QStringLiteral("menuProgram"));
  newDatabaseAction_ =
      addCommand(programMenu_, "actionNewDatabase", QStringLiteral("Nová databáze..."), true);
  openDatabaseAction_ =
      addCommand(programMenu_, "actionOpenDatabase", QStringLiteral("Otevřít databázi..."), true);
  quitAction_ = addCommand(programMenu_, "actionQuit", QStringLiteral("Konec"), true);
  connect(newDatabaseAction_, &QAction::triggered, this, [this] { askForDatabase(true); });
  connect(openDatabaseAction_, &QAction::triggered, this, [this] { askForDatabase(false); });
  connect(quitAction_, &QAction::triggered, this, &QWidget::close);

  QMenu* search = bar->addMenu(QStringLiteral("[Hledat]"));
  search->setObjectName(QStringLiteral("menuSearch"));
  QAction* searchAction =
      addCommand(search, "actionSearch", QStringLiteral("V obsahu databáze..."), true);
  connect(searchAction, &QAction::triggered, this, &TMainForm::searchDatabase);

  QMenu* cd = bar->addMenu(QStringLiteral("[CD]"));
  cd->setObjectName(QStringLiteral("menuCd"));
  QAction* add = addCommand(cd, "actionAddCd", QStringLiteral("Přidat..."), true);
  connect(add, &QAction::triggered, this, &TMainForm::addCd);
  const auto discCommand = [&](const char* name, const char* text, void (TMainForm::*slot)()) {
    QAction* action = addCommand(cd, name, QString::fromUtf8(text), true);
    connect(action, &QAction::triggered, this, slot);
  };
  discCommand("actionRemoveCds", "Ubrat, zrušit multiskupinu...", &TMainForm::removeCds);
  discCommand("actionLendCds", "Půjčit...", &TMainForm::lendCds);
  discCommand("actionReturnCds", "Vráceno", &TMainForm::returnCds);
  discCommand("actionClearLending", "Vyčistit", &TMainForm::clearLending);
  discCommand("actionRenameCd", "Přejmenovat...", &TMainForm::renameCd);
  discCommand("actionChangeCdGroups", "Změnit skupinu...", &TMainForm::changeCdGroups);
  discCommand("actionSurfaceCheck", "Kontrola povrchu CD...", &TMainForm::checkSurface);
  discCommand("actionMyBorrowed", "Mé půjčené...", &TMainForm::showBorrowed);
  discCommand("actionExportDiscs", "Exportovat seznam CD...", &TMainForm::exportDiscs);

  QMenu* groups = bar->addMenu(QStringLiteral("[Skupiny]"));
  groups->setObjectName(QStringLiteral("menuGroups"));
  QAction* manage =
      addCommand(groups, "actionManageGroups", QStringLiteral("Správa skupin..."), true);
  connect(manage, &QAction::triggered, this, &TMainForm::manageGroups);
  groups->addSeparator();
  QAction* createMultigroup =
      addCommand(groups, "actionCreateMultigroup",
                 QStringLiteral("Vytvořit multi skupinu z vybraných CD..."), true);
  connect(createMultigroup, &QAction::triggered, this, &TMainForm::createMultigroup);
  QAction* importGroups = addCommand(groups, "actionImportGroups",
                                     QStringLiteral("Importovat skupiny z této databáze..."), true);
  connect(importGroups, &QAction::triggered, this, &TMainForm::importGroups);

  QMenu* database = bar->addMenu(QStringLiteral("[Databáze]"));
  database->setObjectName(QStringLiteral("menuDatabase"));
  QAction* info =
      addCommand(database, "actionDatabaseInfo", QStringLiteral("Informace o databázi..."), true);
  connect(info, &QAction::triggered, this, &TMainForm::showDatabaseInfo);
  QAction* conversion =
      addCommand(database, "actionVersionConversion", QStringLiteral("Převody verzí..."), true);
  connect(conversion, &QAction::triggered, this, &TMainForm::convertVersions);
  QAction* recalculate =
      addCommand(database, "actionRecalculateStructure",
                 QStringLiteral("Přepočítat adresářovou strukturu u všech CD..."), true);
  connect(recalculate, &QAction::triggered, this, &TMainForm::recalculateAll);
  QAction* duplicates =
      addCommand(database, "actionDuplicates", QStringLiteral("Duplicity..."), true);
  connect(duplicates, &QAction::triggered, this, &TMainForm::showDuplicates);

  // Only while a disc is browsed.
  itemsMenu_ = bar->addMenu(QStringLiteral("[Soubory a Adresáře]"));
  itemsMenu_->setObjectName(QStringLiteral("menuItems"));
  QAction* itemComment =
      addCommand(itemsMenu_, "actionItemComment", QStringLiteral("Změnit komentář..."), true);
  connect(itemComment, &QAction::triggered, this,
          [this] { runOperation(OperationCode::kChangeItemComment); });
  QAction* itemGroups =
      addCommand(itemsMenu_, "actionItemGroups", QStringLiteral("Změnit skupinu..."), true);
  connect(itemGroups, &QAction::triggered, this,
          [this] { runOperation(OperationCode::kChangeItemGroups); });
  QAction* exportItems =
      addCommand(itemsMenu_, "actionExportItems", QStringLiteral("Exportovat seznam..."), true);
  connect(exportItems, &QAction::triggered, this, &TMainForm::exportItems);
  itemsMenu_->menuAction()->setVisible(false);

  QMenu* settings = bar->addMenu(QStringLiteral("[Nastavení]"));
  settings->setObjectName(QStringLiteral("menuSettings"));
  QAction* application =
      addCommand(settings, "actionApplicationSettings", QStringLiteral("Aplikace..."), true);
  connect(application, &QAction::triggered, this, &TMainForm::openSettings);

  QMenu* help = bar->addMenu(QStringLiteral("[Nápověda]"));
  help->setObjectName(QStringLiteral("menuHelp"));
  QAction* whatsNew = addCommand(help, "actionWhatsNew", QStringLiteral("Co je nového..."), true);
  connect(whatsNew, &QAction::triggered, this, &TMainForm::showWhatsNew);
  QAction* about = addCommand(help, "actionAbout", QStringLiteral("O aplikaci..."), true);
  connect(about, &QAction::triggered, this, &TMainForm::showAbout);
}

void TMainForm::buildContextMenus() {
  // The context menus share the menu bar's commands, so a command enabled
  // there is enabled here too.
  discContextMenu_ = new QMenu(this);
  discContextMenu_->setObjectName(QStringLiteral("discContextMenu"));
  for (const char* name : {"actionAddCd", "actionRemoveCds", "actionLendCds", "actionReturnCds",
                           "actionClearLending", "actionRenameCd", "actionChangeCdGroups",
                           "actionCreateMultigroup", "actionExportDiscs", "actionQuit"}) {
    discContextMenu_->addAction(command(QString::fromLatin1(name)));
  }

  dirContextMenu_ = new QMenu(this);
  dirContextMenu_->setObjectName(QStringLiteral("dirContextMenu"));
  QAction* title = dirContextMenu_->addAction(QStringLiteral("[Soubory a adresáře]"));
  title->setObjectName(QStringLiteral("actionItemsTitle"));
  title->setEnabled(false);
  dirContextMenu_->addAction(command(QStringLiteral("actionItemComment")));
  dirContextMenu_->addAction(command(QStringLiteral("actionItemGroups")));
  dirContextMenu_->addAction(command(QStringLiteral("actionExportItems")));

  connect(discView_, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    discContextMenu_->popup(discView_->viewport()->mapToGlobal(pos));
  });
  connect(dirView_, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    dirContextMenu_->popup(dirView_->viewport()->mapToGlobal(pos));
  });
}

void TMainForm::buildCentralWidget() {
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->setSpacing(4);

  // Where we are, which group is shown, and the main commands.
  auto* top = new QHBoxLayout();
  top->addWidget(new QLabel(QStringLiteral("Cesta:"), central));
  pathLabel_ = new QLabel(central);
  pathLabel_->setObjectName(QStringLiteral("pathLabel666"));
  pathLabel_->setToolTip(QStringLiteral("Cesta v níž se při prozkoumávání právě nacházíme"));
  pathLabel_->setFrameShape(QFrame::StyledPanel);
  pathLabel_->setFrameShadow(QFrame::Sunken);
  pathLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  pathLabel_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  // As tall as one line of text, also while it is empty.
  pathLabel_->setMinimumHeight(pathLabel_->fontMetrics().height() + 8);
  top->addWidget(pathLabel_, 1);
  top->addSpacing(12);
  auto* groupLabel = new QLabel(QStringLiteral("Skupina:"), central);
  QFont bold = groupLabel->font();
  bold.setBold(true);
  groupLabel->setFont(bold);
  top->addWidget(groupLabel);
  groupButton_ = new QPushButton(central);
  // Shows the chosen group: never a language file's text.
  groupButton_->setObjectName(QStringLiteral("groupButton666"));
  groupButton_->setMinimumWidth(140);
  top->addWidget(groupButton_);

  commandBar_ = new QToolBar(central);
  commandBar_->setObjectName(QStringLiteral("commandBar"));
  commandBar_->setIconSize(QSize(24, 24));
  commandBar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
  const struct {
    const char* name;
    ToolPicture picture;
    const char* tip;
  } tools[] = {
      {"actionAddCd", ToolPicture::kAdd, "Přidat nové CD do databáze"},
      {"actionRemoveCds", ToolPicture::kRemove, "Ubrat vybraná CD nebo zrušit multiskupinu"},
      {"actionSearch", ToolPicture::kSearch, "Hledat v obsahu CD"},
      {"actionLendCds", ToolPicture::kLend, "Půjčit vybraná CD"},
  };
  for (const auto& tool : tools) {
    QAction* action = command(QString::fromLatin1(tool.name));
    action->setIcon(ToolIcon(tool.picture));
    action->setIconVisibleInMenu(false);
    action->setToolTip(QString::fromUtf8(tool.tip));
    commandBar_->addAction(action);
  }
  top->addWidget(commandBar_);
  layout->addLayout(top);

  groupMenu_ = new QMenu(this);
  groupMenu_->setObjectName(QStringLiteral("groupMenu666"));
  connect(groupButton_, &QPushButton::clicked, this, &TMainForm::showGroupMenu);

  // The disc list and, in its place while a disc is browsed, the
  // directory list.
  listStack_ = new QStackedWidget(central);
  // The filter above the disc list narrows its rows as the user types.
  auto* filterRow = new QWidget(central);
  auto* filterLayout = new QHBoxLayout(filterRow);
  filterLayout->setContentsMargins(0, 0, 0, 0);
  filterEdit_ = new QLineEdit(filterRow);
  filterEdit_->setObjectName(QStringLiteral("discFilter"));
  filterEdit_->setClearButtonEnabled(true);
  auto* filterLabel = new QLabel(QStringLiteral("Filtr:"), filterRow);
  filterLabel->setObjectName(QStringLiteral("discFilterLabel"));
  filterLabel->setBuddy(filterEdit_);
  filterLayout->addWidget(filterLabel);
  filterLayout->addWidget(filterEdit_, 1);
  layout->addWidget(filterRow);
  connect(filterEdit_, &QLineEdit::textChanged, this, [this] {
    DiscListAboutToChange();
    DiscListChanged();
    updateDiscCount();
  });
  connect(listStack_, &QStackedWidget::currentChanged, filterRow,
          [this, filterRow] { filterRow->setVisible(!browsing()); });
  discView_ = new QTreeView(listStack_);
  discView_->setObjectName(QStringLiteral("discView"));
  SetUpListView(discView_);
  discView_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  discView_->setModel(model_);
  std::vector<int> widths;
  for (const auto& column : kDiscListColumns)
    widths.push_back(column.width);
  discColumns_ = new ColumnLayout(discView_, widths, kDiscColumnsSetting);
  discColumns_->Fit();
  discView_->installEventFilter(this);
  connect(discView_, &QAbstractItemView::doubleClicked, this, &TMainForm::openSelectedDisc);
  discView_->header()->setSectionsClickable(true);
  connect(discView_->header(), &QHeaderView::sectionClicked, this, [this](int column) {
    guarded([this, column] {
      engine_.ClickDiscColumn(column);
      registry_.WriteInteger(kDiscSortSetting, engine_.DiscSortColumn);
      registry_.WriteBool(kDiscSortDescendingSetting, engine_.DiscSortDescending);
    });
    finishPendingResets();
  });
  connect(discView_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &TMainForm::syncDiscSelection);

  dirView_ = new QTreeView(listStack_);
  dirView_->setObjectName(QStringLiteral("dirView"));
  SetUpListView(dirView_);
  dirView_->setSelectionMode(QAbstractItemView::SingleSelection);
  dirView_->setModel(dirModel_);
  widths.clear();
  for (const auto& column : kDirListColumns)
    widths.push_back(column.width);
  dirColumns_ = new ColumnLayout(dirView_, widths, kDirColumnsSetting);
  dirColumns_->Fit();
  dirView_->header()->setSectionsClickable(true);
  dirView_->installEventFilter(this);
  connect(dirView_, &QAbstractItemView::doubleClicked, this, &TMainForm::openSelectedItem);
  connect(dirView_->header(), &QHeaderView::sectionClicked, this, &TMainForm::sortDirList);
  connect(dirView_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &TMainForm::syncDirSelection);

  listStack_->addWidget(discView_);
  listStack_->addWidget(dirView_);
  listStack_->setCurrentWidget(discView_);
  layout->addWidget(listStack_, 1);

  // The database facts.
  auto* bottom = new QHBoxLayout();
  // Captions and values apart: a language file replaces the captions, the
  // values ("666" names) are the program's own.
  auto* sizeCaption = new QLabel(QStringLiteral("Velikost databáze:"), central);
  sizeCaption->setObjectName(QStringLiteral("databaseSizeCaption"));
  bottom->addWidget(sizeCaption);
  sizeLabel_ = new QLabel(central);
  sizeLabel_->setObjectName(QStringLiteral("databaseSizeLabel666"));
  bottom->addWidget(sizeLabel_);
  bottom->addSpacing(24);
  auto* countCaption = new QLabel(QStringLiteral("CD ve skupině:"), central);
  countCaption->setObjectName(QStringLiteral("discCountCaption"));
  bottom->addWidget(countCaption);
  countLabel_ = new QLabel(QStringLiteral("0"), central);
  countLabel_->setObjectName(QStringLiteral("discCountLabel666"));
  bottom->addWidget(countLabel_);
  bottom->addStretch(1);
  foreignDirsBox_ =
      new TQELCheckBox(QStringLiteral("Zobrazovat adresáře nepatřící do skupiny"), central);
  foreignDirsBox_->setObjectName(QStringLiteral("foreignDirectoriesBox"));
  foreignDirsBox_->zzRegPath = ProgramRegPath();
  foreignDirsBox_->zzValueName = QString::fromLatin1(kForeignDirectoriesSetting);
  foreignDirsBox_->setZzDefaultChecked(false);
  connect(foreignDirsBox_, &QCheckBox::clicked, this, &TMainForm::foreignDirectoriesClicked);
  bottom->addWidget(foreignDirsBox_);
  layout->addLayout(bottom);

  setCentralWidget(central);
  updateDatabaseSize();
}

void TMainForm::buildTimers() {
  auto make = [this](const char* name, int interval) {
    auto* timer = new QTimer(this);
    timer->setObjectName(QString::fromLatin1(name));
    timer->setInterval(interval);
    timer->setSingleShot(true);
    return timer;
  };
  timerProPridaniCD_ = make("TimerProPridaniCD", 10);
  connect(timerProPridaniCD_, &QTimer::timeout, this, [this] {
    timerProPridaniCD_->stop();
    addCd();
  });
  timerProKonecProgramu_ = make("TimerProKonecProgramu", 1);
  connect(timerProKonecProgramu_, &QTimer::timeout, this, &QWidget::close);
  timerProKonec_ = make("TimerProKonec", 100);
  connect(timerProKonec_, &QTimer::timeout, qApp, &QCoreApplication::quit);
}

QAction* TMainForm::command(const QString& objectName) const {
  return findChild<QAction*>(objectName);
}

QToolButton* TMainForm::toolButton(const QString& objectName) const {
  QAction* action = command(objectName);
  if (action == nullptr)
    return nullptr;
  return qobject_cast<QToolButton*>(commandBar_->widgetForAction(action));
}

void TMainForm::start() {
  std::srand(static_cast<unsigned>(std::time(nullptr)));
  guarded([this] { programFolder_ = WithTrailingBackslash(PathHead(platform::ProgramPath())); });

  // A first start of this version shows the settings once.
  bool newVersion = false;
  guarded([this, &newVersion] {
    newVersion = registry_.ReadText(kProgramVersionSetting) != kApplicationTitle;
  });
  if (newVersion) {
    openSettings();
    guarded([this] { registry_.WriteText(kProgramVersionSetting, kApplicationTitle); });
  }

  showSplash();
  guarded([this] { registry_.WriteText(kProgramPathSetting, platform::ProgramPath()); });

  std::string catalogue = commandLineCatalogue();
  if (catalogue.empty())
    guarded([this, &catalogue] { catalogue = registry_.ReadText(kCataloguePathSetting); });
  if (catalogue.empty()) {
    ShowMessage(kNoDatabasePrompt);
    openSettings();
    guarded([this, &catalogue] { catalogue = registry_.ReadText(kCataloguePathSetting); });
  }
  // An empty path stays empty: the listing then says that none is set.
  engine_.DatabasePath = catalogue;

  guarded([this] {
    languageFile_ = registry_.ReadText(kLanguageSetting);
    if (languageFile_.empty())
      languageFile_ = kDefaultLanguageFile;
  });
  startLanguage();
  engine_.BlockCache.Clear();
  updateDatabaseSize();

  guarded([this] { foreignDirsBox_->LoadFromRegistry(registry_); });
  engine_.ShowForeignItems = foreignDirsBox_->isChecked();
  itemsMenu_->menuAction()->setVisible(false);

  rebuildGroupMenu();
  updateCaption();

  QString group;
  guarded(
      [this, &group] { group = QString::fromStdString(registry_.ReadText(kShownGroupSetting)); });
  if (group.isEmpty())
    group = FromUtf8(kGroupAll);
  setGroupCaption(group);
  engine_.GroupFilter = ToUtf8(group);

  guarded([this] {
    discColumns_->Load(registry_);
    dirColumns_->Load(registry_);
    const auto column = registry_.ReadInteger(kDiscSortSetting);
    if (column >= 0 && static_cast<std::size_t>(column) < kDiscColumnCount) {
      engine_.DiscSortColumn = static_cast<int>(column);
      engine_.DiscSortDescending = registry_.ReadBool(kDiscSortDescendingSetting);
    }
  });
  applyFontSize();
  // On a first start the catalogue and its folders are not there yet.
  if (createCatalogue(engine_.DatabasePath))
    runOperation(OperationCode::kListCds);
  watcher_->Watch(engine_.DatabasePath);
  updateDiscCount();
  updateDatabaseSize();
  // The borrowed-discs window beside the list, without waiting for it.
  bool showBorrowedAtStart = false;
  guarded([this, &showBorrowedAtStart] {
    showBorrowedAtStart = registry_.ReadBool("ZobrazovatMePujcene");
  });
  if (showBorrowedAtStart) {
    TMePujceneForm* form = makeBorrowedWindow(this);
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->setModal(false);
    form->setGeometry(3, 28, 275, 200);
    startupBorrowed_ = form;
    form->show();
  }
}

std::string TMainForm::commandLineCatalogue() {
  if (startFile.isEmpty())
    return {};
  const std::string path = ToUtf8(QFileInfo(startFile).absoluteFilePath());
  // Opened, never made: a mistyped name must not leave a new catalogue
  // behind. What cannot be opened is said as the listing would say it.
  try {
    OpenCatalogue(path, false);
  } catch (const std::exception& e) {
    ShowMessage(kFailurePrefix + std::string(e.what()));
    return {};
  }
  return path;
}

void TMainForm::guarded(const std::function<void()>& step) {
  try {
    step();
  } catch (const std::exception& e) {
    ShowMessage(kFailurePrefix + std::string(e.what()));
  }
}

void TMainForm::showSplash() {
  if (splashMilliseconds <= 0)
    return;
  TSplashForm splash;
  splash.centreOnScreen();
  splash.show();
  splash.raise();
  DelayMs(static_cast<std::uint32_t>(splashMilliseconds),
          [] { QCoreApplication::processEvents(); });
  splash.close();
}

void TMainForm::openSettings() {
  {
    TOnForm form(registry_, this);
    form.exec();
    // "O.K." has stored the values; Escape has left them as they were.
  }
  applyFontSize();
}

void TMainForm::applyFontSize() {
  std::string text;
  guarded([this, &text] { text = registry_.ReadText(kFontSizeSetting); });
  const std::optional<int> size = NumberSetting(text, kSmallestFontSize, kLargestFontSize);
  if (!size)
    return;  // not a size: the lists keep their font
  for (QTreeView* view : {discView_, dirView_}) {
    QFont font = view->font();
    font.setPointSize(*size);
    view->setFont(font);
  }
  discColumns_->Fit();
  dirColumns_->Fit();
}

void TMainForm::rebuildGroupMenu() {
  groupMenu_->clear();
  std::vector<std::string> entries;
  guarded([this, &entries] {
    CountStart(registry_);
    entries = GroupMenuEntries(registry_);
  });
  for (const std::string& entry : entries) {
    if (entry == kMenuSeparator) {
      groupMenu_->addSeparator();
      continue;
    }
    const QString name = QString::fromStdString(entry);
    QAction* action = groupMenu_->addAction(WithoutMnemonics(ShownGroupName(name)));
    action->setData(name);
    connect(action, &QAction::triggered, this, [this, name] { chooseGroup(name); });
  }
}

void TMainForm::showGroupMenu() {
  groupMenu_->popup(QPoint(x() + 10, y() + groupButton_->geometry().top() + 60));
}

void TMainForm::chooseGroup(const QString& group) {
  setGroupCaption(group);
  engine_.GroupFilter = ToUtf8(group);
  if (browsing())
    leaveBrowsing();
  runOperation(OperationCode::kListCds);
  updateDiscCount();
}

void TMainForm::setGroupCaption(const QString& group) {
  groupButton_->setText(WithoutMnemonics(ShownGroupName(group)));
}

void TMainForm::manageGroups() {
  {
    TSpravaSkupForm form(registry_, this);
    form.exec();
  }
  rebuildGroupMenu();
  runOperation(OperationCode::kListCds);
  updateDiscCount();
}

void TMainForm::showWhatsNew() {
  showInformation(static_cast<int>(TInfoForm::Kind::kWhatsNew));
}

void TMainForm::showAbout() {
  showInformation(static_cast<int>(TInfoForm::Kind::kAbout));
}

void TMainForm::showInformation(int kind) {
  ProgramFacts facts;
  if (auto* file = dynamic_cast<FileRegistry*>(&registry_))
    facts.settingsFile = QString::fromStdString(file->Path());
  else
    facts.settingsFile = QString::fromStdString(platform::RegistryFilePath());
  facts.databasePath = QString::fromStdString(engine_.DatabasePath);
  facts.programFolder = QString::fromStdString(programFolder_);
  TInfoForm form(static_cast<TInfoForm::Kind>(kind), facts, this);
  form.exec();
}

void TMainForm::setFileTree(FileTree* tree) {
  fileTree_ = tree != nullptr ? tree : ownFileTree_.get();
}

void TMainForm::addCd() {
  if (drives_ == nullptr) {
    qWarning("No drives known to the window; nothing to add a disc from.");
    return;
  }
  {
    TPridaniCDForm form(engine_, registry_, *drives_, *fileTree_, this);
    form.prepare();
    form.exec();
    guarded([this, &form] { form.saveOptions(registry_); });
  }
  // The scan registers the groups it was given, so the menu may have grown.
  rebuildGroupMenu();
  runOperation(OperationCode::kListCds);
  updateDatabaseSize();
  updateDiscCount();
}

void TMainForm::checkSurface() {
  if (drives_ == nullptr) {
    qWarning("No drives known to the window; nothing to check.");
    return;
  }
  TKontrolaForm form(*drives_, registry_, this);
  form.messageHook = [this](const QString& text) { ShowMessage(ToUtf8(text)); };
  runModal(form);
}

void TMainForm::recalculateAll() {
  if (recalcForm_ != nullptr)
    return;  // one recalculation at a time
  engine_.RecalcSerial = "All";
  runOperation(OperationCode::kRecalculateStructure);
  updateDatabaseSize();
}

std::optional<std::string> TMainForm::AskText(const TextPrompt& prompt) {
  if (textHook) {
    const auto answer = textHook(prompt);
    if (!answer)
      return std::nullopt;
    return answer->toStdString();
  }
  TPujcitForm form(this);
  form.setCaption(QString::fromStdString(prompt.caption));
  form.setFrameTitle(QString::fromStdString(prompt.frame));
  form.setLabel(QString::fromStdString(prompt.label));
  if (prompt.field)
    form.setField(*prompt.field, prompt.width);
  form.setText(QString::fromStdString(prompt.text));
  if (form.exec() != QDialog::Accepted)
    return std::nullopt;
  return form.text().toStdString();
}

std::optional<std::vector<std::string>> TMainForm::PickGroups(
    const std::vector<std::string>& chosen) {
  QStringList preset;
  for (const auto& group : chosen)
    preset << QString::fromStdString(group);
  std::optional<QStringList> picked;
  if (groupsHook) {
    picked = groupsHook(preset);
  } else {
    TSkupinaForm form(registry_, this);
    form.setChosen(preset);
    if (form.exec() == QDialog::Accepted)
      picked = form.chosen();
  }
  if (!picked)
    return std::nullopt;
  std::vector<std::string> result;
  for (const QString& group : *picked)
    result.push_back(group.toStdString());
  // A name in the group list from elsewhere may hold ";" or "^": chosen, it
  // would split. Refused like a typed one, as if "Zrušit" was pressed.
  for (const auto& group : result) {
    const std::string refusal = TypedTextRefusal(group, TypedField::kGroupName);
    if (group != kUnassignedGroup && !refusal.empty()) {
      ShowMessage(refusal + " Nic nebylo změněno.");
      return std::nullopt;
    }
  }
  return result;
}

void TMainForm::GroupListChanged() {
  rebuildGroupMenu();
}

void TMainForm::removeCds() {
  if (browsing())
    return;
  if (Confirm(RemovalQuestion(engine_.Discs.rows)))
    runOperation(OperationCode::kRemoveCds);
  updateDatabaseSize();
  updateDiscCount();
}

void TMainForm::lendCds() {
  if (browsing())
    return;
  runOperation(OperationCode::kLendCds);
  updateDiscCount();
}

void TMainForm::returnCds() {
  if (browsing())
    return;
  runOperation(OperationCode::kReturnCds);
  updateDiscCount();
}

void TMainForm::clearLending() {
  if (browsing())
    return;
  runOperation(OperationCode::kClearLending);
  updateDiscCount();
}

void TMainForm::renameCd() {
  if (browsing())
    return;
  runOperation(OperationCode::kRenameCd);
  updateDiscCount();
}

void TMainForm::changeCdGroups() {
  if (browsing())
    return;
  runOperation(OperationCode::kChangeCdGroups);
  updateDiscCount();
}

void TMainForm::createMultigroup() {
  if (browsing())
    return;
  TextPrompt prompt{"Nová multi skupina...", "Zadání jména...", "Komentář:", ""};
  prompt.field = TypedField::kDiscName;
  const auto name = AskText(prompt);
  const std::string refusal = name ? TypedTextRefusal(*name, TypedField::kDiscName) : "";
  if (!refusal.empty())
    ShowMessage(refusal + " Nic nebylo změněno.");
  else if (name)
    guarded([this, &name] { engine_.CreateMultigroup(*name); });
  runOperation(OperationCode::kListCds);
  updateDatabaseSize();
  updateDiscCount();
}

void TMainForm::importGroups() {
  runOperation(OperationCode::kImportGroups);
}

void TMainForm::searchDatabase() {
  // The settings the window loads may fail to be read or written; that is
  // reported like any other failure.
  guarded([this] {
    // The form writes its export next to the program when it may, else into
    // the user's data folder; it decides that itself. It is kept, with its
    // results, for the next search.
    if (searchForm_ == nullptr) {
      searchForm_ = new TSearchForm(engine_, registry_, this);
      // Started only to search, the program ends with the search window:
      // there is no main window to show a hit in.
      if (startArgument.compare(QStringLiteral("search"), Qt::CaseInsensitive) != 0)
        searchForm_->showHit = [this](std::size_t row) { showSearchHit(row); };
    }
    TSearchForm& form = *searchForm_;
    if (registry_.ReadBool("MaximalizovatHledani"))
      form.setWindowState(Qt::WindowMaximized);
    if (searchHook) {
      searchHook(form);
      return;
    }
    form.exec();
  });
}

void TMainForm::showSearchHit(std::size_t row) {
  if (row >= engine_.Found.size() || engine_.Busy())
    return;
  showPlace(engine_.Found.PlaceOf(row));
}

void TMainForm::showPlace(const SearchResults::Place& place) {
  if (engine_.Busy())
    return;
  Engine::HitShown shown = Engine::HitShown::kGone;
  try {
    shown = engine_.ShowSearchHit(place);
  } catch (const std::exception& e) {
    finishPendingResets();
    ShowMessage(kFailurePrefix + std::string(e.what()));
    return;
  }
  finishPendingResets();
  switch (shown) {
    case Engine::HitShown::kGone:
      ShowMessage("CD „" + place.disc + "“ (" + place.serial + ") už v databázi není.");
      break;
    case Engine::HitShown::kDiscList:
      if (browsing())
        showDiscList();
      break;
    case Engine::HitShown::kBrowsed:
      showDirList();
      break;
  }
  activateWindow();
}

void TMainForm::askForDatabase(bool newDatabase) {
  if (!chooseDatabaseFile)
    return;
  const QString path = chooseDatabaseFile(newDatabase);
  if (path.isEmpty())
    return;
  // A new catalogue that cannot be made leaves the open one open.
  if (newDatabase && !createCatalogue(ToUtf8(path)))
    return;
  openDatabase(path);
}

bool TMainForm::createCatalogue(const std::string& path) {
  namespace fs = std::filesystem;
  const fs::path file(path);
  std::error_code error;
  // An existing file (or none named) is the listing's business: it gives an
  // empty file its header and says what is wrong with anything else.
  if (path.empty() || fs::exists(file, error) || fs::is_symlink(file, error))
    return true;
  const std::string refused =
      kFailurePrefix + std::string("databázi „") + path + "“ nelze vytvořit: ";
  const fs::path folder = file.parent_path();
  if (!folder.empty() && !fs::is_directory(folder, error)) {
    fs::create_directories(folder, error);
    if (error) {
      ShowMessage(refused + "složku „" + folder.string() + "“ nelze založit (" + error.message() +
                  "). Zvolte prosím jiné místo.");
      return false;
    }
  }
  try {
    CreateCatalogueIfEmpty(path, [this, &path](std::chrono::milliseconds waited) {
      return KeepWaitingForLock(path, waited);
    });
  } catch (const std::exception& e) {
    std::string reason = e.what();
    if (!reason.empty() && reason.back() != '.')
      reason += '.';
    ShowMessage(refused + reason + " Zvolte prosím jiné místo.");
    return false;
  }
  return true;
}

QString TMainForm::defaultChooseDatabaseFile(bool newDatabase) {
  QString folder;
  guarded([this, &folder] {
    folder = QString::fromStdString(PathHead(registry_.ReadText(kCataloguePathSetting)));
  });
  if (folder.isEmpty())
    folder = QString::fromStdString(PathHead(engine_.DatabasePath));
  const QString filter = QStringLiteral("Databáze Rondotheka (*.big);;Všechny soubory (*)");
  if (newDatabase) {
    // An existing file chosen here is opened, never overwritten.
    return QFileDialog::getSaveFileName(this, QStringLiteral("Nová databáze"), folder, filter,
                                        nullptr, QFileDialog::DontConfirmOverwrite);
  }
  return QFileDialog::getOpenFileName(this, QStringLiteral("Otevřít databázi"), folder, filter);
}

void TMainForm::openDatabase(const QString& path) {
  if (browsing())
    leaveBrowsing();
  engine_.DatabasePath = ToUtf8(path);
  // Nothing cached from the previous database may leak into this one.
  engine_.LoadedSerial.clear();
  engine_.LoadedDiscName.clear();
  engine_.BlockCache.Clear();
  engine_.DirStack.clear();
  engine_.CurrentDepth = 0;
  clearLists();
  // The hits of another catalogue cannot be shown in this one.
  if (searchForm_ != nullptr) {
    searchForm_->deleteLater();
    searchForm_ = nullptr;
  }
  engine_.Found.Clear();
  if (duplicityForm_ != nullptr) {
    duplicityForm_->deleteLater();
    duplicityForm_ = nullptr;
  }
  engine_.Duplicates.Clear();

  updateCaption();
  runOperation(OperationCode::kListCds);
  watcher_->Watch(engine_.DatabasePath);
  updateDatabaseSize();
  updateDiscCount();
}

void TMainForm::catalogueChangedOutside() {
  if (engine_.Busy() || model_->Resetting() || dirModel_->Resetting()) {
    // An operation of this window runs (its events are being let through):
    // look again once it is done.
    QTimer::singleShot(300, this, &TMainForm::catalogueChangedOutside);
    return;
  }
  const bool wasBrowsing = browsing();
  bool stillBrowsing = wasBrowsing;
  try {
    stillBrowsing = engine_.RefreshFromFile(wasBrowsing);
  } catch (const std::exception& e) {
    finishPendingResets();
    // Shown once per change of the file, not in a loop.
    watcher_->Seen();
    ShowMessage(kFailurePrefix + std::string(e.what()));
    return;
  }
  finishPendingResets();
  if (wasBrowsing && !stillBrowsing)
    showDiscList();
  updateDatabaseSize();
  updateDiscCount();
}

bool TMainForm::KeepWaitingForLock(const std::string& path, std::chrono::milliseconds waited) {
  return lockWait_->KeepWaiting(path, waited);
}

void TMainForm::clearLists() {
  DiscListAboutToChange();
  engine_.Discs.rows.clear();
  DiscListChanged();
  DirListAboutToChange();
  engine_.Dirs.rows.clear();
  DirListChanged();
}

bool TMainForm::browsing() const {
  return listStack_->currentWidget() == dirView_;
}

void TMainForm::enableDiscCommands(bool enabled) {
  for (const char* name : kSelectedDiscCommands) {
    if (QAction* action = command(QString::fromLatin1(name)))
      action->setEnabled(enabled);
  }
}

void TMainForm::showDirList() {
  listStack_->setCurrentWidget(dirView_);
  enableDiscCommands(false);
  foreignDirsBox_->setEnabled(false);
  itemsMenu_->menuAction()->setVisible(true);
  dirView_->setFocus();
}

void TMainForm::showDiscList() {
  listStack_->setCurrentWidget(discView_);
  enableDiscCommands(true);
  foreignDirsBox_->setEnabled(true);
  itemsMenu_->menuAction()->setVisible(false);
  pathLabel_->setText(FromUtf8(engine_.PathLabel));
  discView_->setFocus();
}

void TMainForm::leaveBrowsing() {
  guarded([this] { engine_.LeaveBrowsing(); });
  finishPendingResets();
  showDiscList();
}

void TMainForm::openSelectedDisc() {
  if (browsing())
    return;
  Engine::Opened opened = Engine::Opened::kNothing;
  try {
    opened = engine_.OpenSelectedDisc();
  } catch (const std::exception& e) {
    finishPendingResets();
    // A disc whose stored tree breaks off is still shown as far as it goes.
    if (!engine_.DirStack.empty())
      showDirList();
    ShowMessage(kFailurePrefix + std::string(e.what()));
    updateDiscCount();
    return;
  }
  switch (opened) {
    case Engine::Opened::kGroupList:
    case Engine::Opened::kMultigroup:
      updateDiscCount();
      break;
    case Engine::Opened::kDisc:
      showDirList();
      break;
    case Engine::Opened::kNothing:
      break;
  }
}

void TMainForm::openSelectedItem() {
  if (!browsing())
    return;
  Engine::Navigated navigated = Engine::Navigated::kNothing;
  try {
    navigated = engine_.OpenSelectedItem();
  } catch (const std::exception& e) {
    // The rows read before the error stay in the list.
    finishPendingResets();
    ShowMessage(kFailurePrefix + std::string(e.what()));
    return;
  }
  if (navigated == Engine::Navigated::kLeftBrowsing)
    showDiscList();
}

void TMainForm::sortDirList(int column) {
  guarded([this, column] { engine_.ClickDirColumn(column); });
  finishPendingResets();
}

std::optional<bool> TMainForm::runOperation(OperationCode code) {
  try {
    const bool result = engine_.RunOperation(code);
    // A change shows the file it wrote: nothing to show again for it.
    if (ChangesCatalogue(code))
      watcher_->Seen();
    return result;
  } catch (const std::exception& e) {
    finishPendingResets();
    ShowMessage(kFailurePrefix + std::string(e.what()));
    return std::nullopt;
  }
}

void TMainForm::finishPendingResets() {
  if (model_->Resetting())
    DiscListChanged();
  if (dirModel_->Resetting())
    DirListChanged();
}

void TMainForm::updateCaption() {
  setWindowTitle(kWindowCaptionPrefix + QString::fromStdString(PathTail(engine_.DatabasePath)));
}

void TMainForm::updateDatabaseSize() {
  sizeLabel_->setText(QString::fromStdString(FileSizeText(engine_.DatabasePath, true)));
}

void TMainForm::updateDiscCount() {
  countLabel_->setText(QString::number(engine_.Discs.rows.size()));
}

void TMainForm::foreignDirectoriesClicked(bool checked) {
  engine_.ShowForeignItems = checked;
  guarded([this] { foreignDirsBox_->SaveToRegistry(registry_); });
}

void TMainForm::syncDiscSelection(const QItemSelection& selected,
                                  const QItemSelection& deselected) {
  if (!model_->Resetting())
    MarkSelection(engine_.Discs.rows, selected, deselected,
                  [this](int row) { return model_->ListRow(row); });
}

void TMainForm::syncDirSelection(const QItemSelection& selected, const QItemSelection& deselected) {
  if (!dirModel_->Resetting())
    MarkSelection(engine_.Dirs.rows, selected, deselected);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
  if ((watched == discView_ || watched == dirView_) && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (handleListKey(watched == discView_, key->key(), key->modifiers()))
      return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

void TMainForm::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (!shownBefore_) {
    shownBefore_ = true;
    actOnStartArgument();
  }
}

void TMainForm::actOnStartArgument() {
  if (startArgument.compare(QStringLiteral("add"), Qt::CaseInsensitive) == 0) {
    timerProPridaniCD_->start();
  } else if (startArgument.compare(QStringLiteral("search"), Qt::CaseInsensitive) == 0) {
    // Started only to search: the search window opens once the main window
    // is on screen, and when it closes the program ends.
    QTimer::singleShot(0, this, [this] {
      searchDatabase();
      timerProKonecProgramu_->start();
    });
  }
}

void TMainForm::closeEvent(QCloseEvent* event) {
  hide();
  guarded([this] {
    registry_.WriteText(kLanguageSetting, languageFile_);
    discColumns_->Save(registry_);
    dirColumns_->Save(registry_);
    clearLists();
    engine_.BlockCache = MemoryStream();
    engine_.LoadedSerial.clear();
  });
  finishPendingResets();
  event->accept();
  if (quitOnClose)
    timerProKonec_->start();
}

bool TMainForm::Confirm(const std::string& text) {
  const QString question = FromUtf8(text);
  if (confirmHook)
    return confirmHook(question);
  return QMessageBox::question(this, QString::fromUtf8(kApplicationTitle),
                               QString(question).replace(QStringLiteral("\r\n"), "\n"),
                               QMessageBox::Yes | QMessageBox::No,
                               // Every question asks before a change: Enter keeps things.
                               QMessageBox::No) == QMessageBox::Yes;
}

void TMainForm::ShowMessage(const std::string& text) {
  const QString message = FromUtf8(text);
  if (messageHook) {
    messageHook(message);
    return;
  }
  const QString shown = QString(message).replace(QStringLiteral("\r\n"), "\n");
  const bool failure = message.startsWith(QString::fromUtf8(kFailurePrefix)) ||
                       message.startsWith(FromUtf8(msg::kErrorPrefix));
  if (failure) {
    QMessageBox::warning(this, QString::fromUtf8(kApplicationTitle), shown);
  } else {
    QMessageBox::information(this, QString::fromUtf8(kApplicationTitle), shown);
  }
}

void TMainForm::ProcessPendingEvents() {
  QCoreApplication::processEvents();
}

void TMainForm::DiscListAboutToChange() {
  model_->BeginReset();
}

void TMainForm::DiscListChanged() {
  // The filter's rows; the others lose their selection, so the commands act
  // on what is shown.
  const DiscFilter filter(ToUtf8(filterEdit_->text()));
  model_->ShowOnly(filter.Empty() ? std::nullopt : std::optional(filter.Apply(engine_.Discs)));
  model_->EndReset();
  ShowEngineSelection(discView_, engine_.Discs.rows,
                      [this](int row) { return model_->ListRow(row); });
  ShowSortIndicator(discView_, engine_.DiscsSorted, engine_.DiscSortColumn,
                    engine_.DiscSortDescending);
  discColumns_->Fit();
}

void TMainForm::DirListAboutToChange() {
  dirModel_->BeginReset();
}

void TMainForm::DirListChanged() {
  dirModel_->EndReset();
  ShowEngineSelection(dirView_, engine_.Dirs.rows);
  ShowSortIndicator(dirView_, engine_.DirsSorted, engine_.SortColumn, engine_.SortDescending);
  dirColumns_->Fit();
}

void TMainForm::PathLabelChanged(const std::string& text) {
  pathLabel_->setText(FromUtf8(text));
}

void TMainForm::RecalcStarted() {
  if (recalcForm_ == nullptr) {
    // Started from a modal window (adding a disc), the progress window
    // belongs to that one, or the modal window would block its "Zrušit".
    QWidget* modal = QApplication::activeModalWidget();
    recalcForm_ = new TPrepocetForm(modal != nullptr ? modal : this);
    if (confirmHook)
      recalcForm_->confirmHook = confirmHook;
  }
  // The catalogue is busy: no other command may start meanwhile.
  menuBar()->setEnabled(false);
  centralWidget()->setEnabled(false);
  recalcForm_->show();
  recalcForm_->centreOnScreen();
  recalcForm_->raise();
  recalcEvents_.reset();
  QCoreApplication::processEvents();
}

void TMainForm::RecalcDisc(const std::string& description, std::uint16_t dirs,
                           std::uint16_t files) {
  if (recalcForm_ != nullptr)
    recalcForm_->setDisc(FromUtf8(description), dirs, files);
  recalcEvents_.pump();
}

void TMainForm::RecalcProgress(int bar, std::uint64_t position, std::uint64_t maximum) {
  // Called for every item: the bar counts in thousandths, so most calls
  // change nothing on screen, and the events run only now and then.
  if (recalcForm_ != nullptr)
    recalcForm_->setProgress(bar, position, maximum);
  recalcEvents_.pump();
}

bool TMainForm::RecalcCancelRequested() {
  recalcEvents_.pump();
  return recalcForm_ != nullptr && recalcForm_->cancelRequested();
}

void TMainForm::RecalcFinished() {
  delete recalcForm_;
  recalcForm_ = nullptr;
  menuBar()->setEnabled(true);
  centralWidget()->setEnabled(true);
}

void TMainForm::ShiftStarted() {
  if (shiftForm_ == nullptr)
    shiftForm_ = new TPosunDatForm(this);
  // The catalogue is busy: no other command may start meanwhile.
  menuBar()->setEnabled(false);
  centralWidget()->setEnabled(false);
  shiftForm_->show();
  shiftForm_->raise();
  shiftEvents_.reset();
  QCoreApplication::processEvents();
}

void TMainForm::ShiftProgress(int bar, std::uint64_t position, std::uint64_t maximum) {
  if (shiftForm_ != nullptr)
    shiftForm_->setProgress(bar, position, maximum);
  shiftEvents_.pump();
}

void TMainForm::ShiftFinished() {
  delete shiftForm_;
  shiftForm_ = nullptr;
  menuBar()->setEnabled(true);
  centralWidget()->setEnabled(true);
}

void TMainForm::runModal(QDialog& form) {
  if (modalHook) {
    modalHook(form);
    return;
  }
  form.exec();
}

void TMainForm::showDatabaseInfo() {
  TDatabazeInfoForm form(
      engine_, [this](OperationCode code) { runOperation(code); },
      [this](const QString& text) { ShowMessage(ToUtf8(text)); }, this);
  runModal(form);
}

bool TMainForm::ConvertOldDatabase(const std::string& path) {
  // The window runs the conversion at once and closes when it returns.
  TPrevodForm form(this);
  form.messageHook = [this](const QString& text) { ShowMessage(ToUtf8(text)); };
  form.setPath(FromUtf8(path));
  form.show();
  const bool converted = form.start();
  form.close();
  return converted;
}

void TMainForm::convertVersions() {
  TPrevodForm form(this);
  form.messageHook = [this](const QString& text) { ShowMessage(ToUtf8(text)); };
  form.setPath(FromUtf8(engine_.DatabasePath));
  runModal(form);
  if (form.converted()) {
    // The open catalogue may be the one converted.
    leaveBrowsing();
    runOperation(OperationCode::kListCds);
    updateDiscCount();
    updateDatabaseSize();
  }
}

TMePujceneForm* TMainForm::makeBorrowedWindow(QWidget* parent) {
  if (borrowedListPath.empty())
    borrowedListPath = platform::BorrowedListPath();
  return new TMePujceneForm(
      registry_, borrowedListPath, engine_.Format(),
      [this](const QString& text) { ShowMessage(ToUtf8(text)); }, parent);
}

void TMainForm::showBorrowed() {
  if (startupBorrowed_ != nullptr) {
    // The window from the start is already there: it comes to the front,
    // larger, rather than a second copy of the same list beside it.
    startupBorrowed_->resize(600, 320);
    startupBorrowed_->raise();
    startupBorrowed_->activateWindow();
    return;
  }
  std::unique_ptr<TMePujceneForm> form(makeBorrowedWindow(this));
  runModal(*form);
}

}  // namespace rondo::gui
