// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's menus, tool bar, context menus and lists as they are
// built, and the language applied to them.
#include "gui/TMainForm.h"

#include <QAction>
#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelection>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
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

#include "catalogue/disc_filter.h"
#include "catalogue/messages.h"
#include "gui/QELControls.h"
#include "gui/TLngINISupp.h"
#include "gui/catalogue_watch.h"
#include "gui/column_layout.h"
#include "gui/dir_list_model.h"
#include "gui/disc_list_model.h"
#include "gui/icon_cache.h"
#include "gui/main_window_parts.h"
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

using namespace main_window;

namespace {

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
  discCommand("actionRescanCd", "Aktualizovat CD...", &TMainForm::rescanCd);
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
  for (const char* name :
       {"actionAddCd", "actionRemoveCds", "actionLendCds", "actionReturnCds", "actionClearLending",
        "actionRenameCd", "actionRescanCd", "actionChangeCdGroups", "actionCreateMultigroup",
        "actionExportDiscs", "actionQuit"}) {
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

}  // namespace rondo::gui
