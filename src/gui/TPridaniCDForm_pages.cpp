// SPDX-License-Identifier: GPL-3.0-or-later
// The add-disc window's pages: their controls and layout.
#include "gui/TPridaniCDForm.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "acquisition/scan_request_check.h"
#include "acquisition/scanner.h"
#include "acquisition/tree_helpers.h"
#include "gui/QELControls.h"
#include "gui/TInformaceForm.h"
#include "gui/TKontrolaForm.h"
#include "gui/TLngINISupp.h"
#include "gui/TMainForm.h"
#include "gui/TPrepocetForm.h"
#include "gui/TRenameForm.h"
#include "gui/TSkupinaForm.h"
#include "gui/add_disc_parts.h"
#include "gui/qt_text.h"
#include "gui/typed_input.h"
#include "settings/group_kinds.h"
#include "shell/delay.h"
#include "shell/sizes.h"

namespace rondo::gui {

namespace {

using add_disc::kCountdownStart;
using add_disc::kZeroTime;
using add_disc::PlaceholderItem;

// Registry names of the remembered options.
constexpr const char* kWithoutStructureSetting = "BezStruktury";
constexpr const char* kCloseWhenDoneSetting = "ZavritOkno";
constexpr const char* kWatchMediaSetting = "KotrolaVlozeni";
constexpr const char* kRenameOnInsertSetting = "MenitKomentar";
constexpr const char* kEjectWhenDoneSetting = "VysunovatCD";

QPushButton* NarrowButton(const QString& text, const QString& tip, QWidget* parent) {
  auto* button = new QPushButton(text, parent);
  button->setFixedWidth(28);
  button->setAutoDefault(false);
  button->setToolTip(tip);
  return button;
}

QPushButton* Button(const QString& text, const char* name, QWidget* parent) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setAutoDefault(false);
  return button;
}

TQELCheckBox* OptionBox(const QString& text, const char* name, const char* setting,
                        bool defaultChecked, QWidget* parent) {
  auto* box = new TQELCheckBox(text, parent);
  box->setObjectName(QString::fromLatin1(name));
  box->zzRegPath = ProgramRegPath();
  box->zzValueName = QString::fromLatin1(setting);
  box->setZzDefaultChecked(defaultChecked);
  return box;
}

QTreeWidget* PathList(const QStringList& columns, const char* name, QWidget* parent) {
  auto* list = new QTreeWidget(parent);
  list->setObjectName(QString::fromLatin1(name));
  list->setHeaderLabels(columns);
  list->setRootIsDecorated(false);
  list->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list->setAllColumnsShowFocus(true);
  list->header()->resizeSection(0, 280);
  return list;
}

QLabel* ValueLabel(const char* name, QWidget* parent) {
  auto* label = new QLabel(QStringLiteral("0"), parent);
  // Values the program fills in: "666" keeps them out of language files.
  label->setObjectName(QString::fromLatin1(name) + QStringLiteral("666"));
  label->setMinimumWidth(90);
  return label;
}

}  // namespace

void TPridaniCDForm::buildProcessingPage(QWidget* page) {
  // Left: the drive, the disc's name and its groups.
  auto* driveBox = new QGroupBox(QStringLiteral("Vyberte jednotku:"), page);
  auto* driveRow = new QHBoxLayout();
  driveRow->addWidget(new QLabel(QStringLiteral(" Vybraná jednotka je"), driveBox));
  driveEdit_ = new QLineEdit(driveBox);
  driveEdit_->setObjectName(QStringLiteral("driveEdit"));
  driveRow->addWidget(driveEdit_, 1);
  browse_ = Button(QStringLiteral("..."), "browseButton", driveBox);
  browse_->setFixedWidth(32);
  browse_->setToolTip(QStringLiteral("Vybrat složku, jež bude zpracována jako CD"));
  driveRow->addWidget(browse_);
  image_ = Button(QStringLiteral("Obraz disku…"), "imageButton", driveBox);
  image_->setToolTip(QStringLiteral("Vybrat obraz disku (ISO, UDF), jenž bude zpracován jako CD"));
  driveRow->addWidget(image_);

  driveList_ = new QTreeWidget(driveBox);
  driveList_->setObjectName(QStringLiteral("driveList"));
  driveList_->setToolTip(QStringLiteral("Seznam jednotek"));
  driveList_->setHeaderLabels({QStringLiteral("Disk"), QStringLiteral("Label"),
                               QStringLiteral("Size"), QStringLiteral("Free"),
                               QStringLiteral("Type"), QStringLiteral("FS"),
                               QStringLiteral("Serial")});
  driveList_->setRootIsDecorated(false);
  driveList_->setSelectionMode(QAbstractItemView::SingleSelection);
  driveList_->setAllColumnsShowFocus(true);
  driveList_->header()->resizeSection(kDriveColRoot, 150);
  driveList_->header()->resizeSection(kDriveColLabel, 100);
  for (int column = kDriveColSize; column < kDriveColumnCount; ++column)
    driveList_->header()->resizeSection(column, 70);

  refresh_ = Button(QStringLiteral("Obnovit"), "refreshButton", driveBox);
  refresh_->setToolTip(QStringLiteral("Obnovit seznam disků"));
  auto* refreshRow = new QHBoxLayout();
  refreshRow->addStretch(1);
  refreshRow->addWidget(refresh_);

  auto* driveLayout = new QVBoxLayout(driveBox);
  driveLayout->addLayout(driveRow);
  driveLayout->addWidget(driveList_, 1);
  driveLayout->addLayout(refreshRow);

  auto* nameLabel = new QLabel(QStringLiteral(" Komentář CD: "), page);
  nameEdit_ = new QLineEdit(page);
  nameEdit_->setObjectName(QStringLiteral("nameEdit"));
  nameEdit_->setToolTip(QStringLiteral("Jméno pod nímž bude CD vystupovat"));
  LimitToField(nameEdit_, TypedField::kDiscName);
  nameLabel->setBuddy(nameEdit_);

  auto* groupBox = new QGroupBox(QStringLiteral(" Vyberte skupinu: "), page);
  chosenGroups_ = new QListWidget(groupBox);
  chosenGroups_->setObjectName(QStringLiteral("chosenGroupsList"));
  chosenGroups_->setToolTip(QStringLiteral("Vybrané skupiny"));
  chosenGroups_->setSelectionMode(QAbstractItemView::SingleSelection);
  chosenGroups_->addItem(PlaceholderItem());
  availableGroups_ = new QListWidget(groupBox);
  availableGroups_->setObjectName(QStringLiteral("availableGroupsList"));
  availableGroups_->setToolTip(QStringLiteral("Skupiny k výběru"));
  availableGroups_->setSelectionMode(QAbstractItemView::SingleSelection);
  addGroup_ =
      NarrowButton(QStringLiteral("<"), QStringLiteral("Přidat vybranou skupinu"), groupBox);
  addGroup_->setObjectName(QStringLiteral("addGroupButton"));
  removeGroup_ =
      NarrowButton(QStringLiteral(">"), QStringLiteral("Ubrat vybranou skupinu"), groupBox);
  removeGroup_->setObjectName(QStringLiteral("removeGroupButton"));
  newGroup_ = NarrowButton(QStringLiteral("N"), QStringLiteral("Vytvořit novou skopinu"), groupBox);
  newGroup_->setObjectName(QStringLiteral("newGroupButton"));
  auto* middle = new QVBoxLayout();
  middle->addStretch(1);
  middle->addWidget(addGroup_);
  middle->addWidget(removeGroup_);
  middle->addWidget(newGroup_);
  middle->addStretch(1);
  auto* groupGrid = new QGridLayout(groupBox);
  groupGrid->addWidget(new QLabel(QStringLiteral("Vybrané:"), groupBox), 0, 0);
  groupGrid->addWidget(new QLabel(QStringLiteral("K výběru:"), groupBox), 0, 2);
  groupGrid->addWidget(chosenGroups_, 1, 0);
  groupGrid->addLayout(middle, 1, 1);
  groupGrid->addWidget(availableGroups_, 1, 2);

  auto* left = new QVBoxLayout();
  left->addWidget(driveBox, 3);
  left->addWidget(nameLabel);
  left->addWidget(nameEdit_);
  left->addWidget(groupBox, 2);

  // Right: the options, the automatic mode and the progress.
  auto* details = new QGroupBox(QStringLiteral(" Detaily: "), page);
  withoutStructure_ = OptionBox(QStringLiteral("Bez struktury"), "withoutStructureBox",
                                kWithoutStructureSetting, false, details);
  closeWhenDone_ = OptionBox(QStringLiteral("Po zkončení zavřít okno"), "closeWhenDoneBox",
                             kCloseWhenDoneSetting, false, details);
  watchMedia_ = OptionBox(QStringLiteral("Kontrola vložení CD"), "watchMediaBox",
                          kWatchMediaSetting, true, details);
  renameOnInsert_ = OptionBox(QStringLiteral("Měnit komentář po vložení CD"), "renameOnInsertBox",
                              kRenameOnInsertSetting, true, details);
  ejectWhenDone_ = OptionBox(QStringLiteral("Vysunovat CD"), "ejectWhenDoneBox",
                             kEjectWhenDoneSetting, true, details);
  auto* detailsLayout = new QVBoxLayout(details);
  for (QWidget* box : std::initializer_list<QWidget*>{withoutStructure_, closeWhenDone_,
                                                      watchMedia_, renameOnInsert_, ejectWhenDone_})
    detailsLayout->addWidget(box);

  auto* automation = new QGroupBox(QStringLiteral(" Automatika: "), page);
  automatic_ = new QCheckBox(QStringLiteral("Zapnuto"), automation);
  automatic_->setObjectName(QStringLiteral("automaticBox"));
  automatic_->setToolTip(QStringLiteral(
      "Automatika automaticky zpracovává nově vložená CD do vybráné jednotky a přiřazuje jako "
      "komentář původní jméno CD"));
  countdown_ = new QLabel(QString::fromLatin1(kCountdownStart), automation);
  countdown_->setObjectName(QStringLiteral("countdownLabel666"));
  QFont large = countdown_->font();
  large.setPointSize(24);
  large.setBold(true);
  countdown_->setFont(large);
  auto* automationLayout = new QGridLayout(automation);
  automationLayout->addWidget(automatic_, 0, 0, 1, 2);
  automationLayout->addWidget(countdown_, 1, 0);
  automationLayout->addWidget(
      new QLabel(QStringLiteral("Odpočet. . . . . . . . . . ."), automation), 1, 1);

  auto* info = new QGroupBox(QStringLiteral("Informace o průběhu:"), page);
  dirsValue_ = ValueLabel("dirsValue", info);
  filesValue_ = ValueLabel("filesValue", info);
  sizeValue_ = ValueLabel("sizeValue", info);
  elapsedValue_ = ValueLabel("elapsedValue", info);
  elapsedValue_->setText(QString::fromLatin1(kZeroTime));
  remainingValue_ = ValueLabel("remainingValue", info);
  remainingValue_->setText(QString::fromLatin1(kZeroTime));
  auto* infoLayout = new QFormLayout(info);
  infoLayout->addRow(QStringLiteral("Adresářů:"), dirsValue_);
  infoLayout->addRow(QStringLiteral("Souborů:"), filesValue_);
  infoLayout->addRow(QStringLiteral("Velikost:"), sizeValue_);
  infoLayout->addRow(QStringLiteral("Doba běhu:"), elapsedValue_);
  infoLayout->addRow(QStringLiteral("Do konce:"), remainingValue_);

  auto* right = new QVBoxLayout();
  right->addWidget(details);
  right->addWidget(automation);
  right->addWidget(info);
  right->addStretch(1);

  duplicate_ = new QLabel(QStringLiteral("CD je již v databázi!"), page);
  duplicate_->setObjectName(QStringLiteral("duplicateWarning"));
  QFont warningFont = duplicate_->font();
  warningFont.setBold(true);
  duplicate_->setFont(warningFont);
  duplicate_->setStyleSheet(QStringLiteral("color: #c00000;"));
  duplicate_->hide();

  auto* progress = new QGroupBox(QStringLiteral("Průběh zpracovávání:"), page);
  pathEdit_ = new QLineEdit(progress);
  pathEdit_->setObjectName(QStringLiteral("pathEdit"));
  pathEdit_->setReadOnly(true);
  pathEdit_->setFocusPolicy(Qt::NoFocus);
  positionBar_ = new QProgressBar(progress);
  positionBar_->setObjectName(QStringLiteral("positionBar"));
  positionBar_->setToolTip(QStringLiteral("Průběh podle pozice na disku"));
  itemsBar_ = new QProgressBar(progress);
  itemsBar_->setObjectName(QStringLiteral("itemsBar"));
  itemsBar_->setToolTip(QStringLiteral("Průběh podle počtu položek"));
  ShowProgress(positionBar_, 0, 0);
  ShowProgress(itemsBar_, 0, 0);
  auto* progressLayout = new QGridLayout(progress);
  progressLayout->addWidget(new QLabel(QStringLiteral("Cesta:"), progress), 0, 0);
  progressLayout->addWidget(pathEdit_, 0, 1);
  progressLayout->addWidget(positionBar_, 1, 0, 1, 2);
  progressLayout->addWidget(itemsBar_, 2, 0, 1, 2);

  start_ = Button(QStringLiteral("Start"), "startButton", page);
  start_->setToolTip(QStringLiteral("Spustit zpracovávání"));
  start_->setDefault(true);
  start_->setEnabled(false);
  eject_ = Button(QStringLiteral("Vysunout CD"), "ejectButton", page);
  eject_->setEnabled(false);
  surfaceCheck_ = Button(QStringLiteral("Kontrola CD"), "surfaceCheckButton", page);
  surfaceCheck_->setToolTip(QStringLiteral("Kontrola povrchu CD"));
  close_ = Button(QStringLiteral("Zavřít"), "closeButton", page);
  close_->setToolTip(QStringLiteral("Ukončit přidávání"));
  auto* buttons = new QHBoxLayout();
  buttons->addWidget(start_);
  buttons->addWidget(eject_);
  buttons->addWidget(surfaceCheck_);
  buttons->addStretch(1);
  buttons->addWidget(close_);

  auto* columns = new QHBoxLayout();
  columns->addLayout(left, 3);
  columns->addLayout(right, 2);
  auto* layout = new QVBoxLayout(page);
  layout->addLayout(columns, 1);
  layout->addWidget(duplicate_);
  layout->addWidget(progress);
  layout->addLayout(buttons);

  connect(browse_, &QPushButton::clicked, this, &TPridaniCDForm::browseForFolder);
  connect(image_, &QPushButton::clicked, this, &TPridaniCDForm::browseForImage);
  connect(driveEdit_, &QLineEdit::editingFinished, this, [this] {
    const QString text = driveEdit_->text();
    if (!text.isEmpty() && rowOfDriveField() == nullptr && QFileInfo(text).isDir())
      useFolder(text);
    else
      checkDrive();
  });
  connect(driveList_, &QTreeWidget::itemSelectionChanged, this, &TPridaniCDForm::driveRowChosen);
  connect(refresh_, &QPushButton::clicked, this, &TPridaniCDForm::refreshDrives);
  connect(addGroup_, &QPushButton::clicked, this, &TPridaniCDForm::addSelectedGroup);
  connect(removeGroup_, &QPushButton::clicked, this, &TPridaniCDForm::removeSelectedGroup);
  connect(newGroup_, &QPushButton::clicked, this, &TPridaniCDForm::addNewGroup);
  connect(availableGroups_, &QListWidget::itemClicked, this, &TPridaniCDForm::addSelectedGroup);
  connect(chosenGroups_, &QListWidget::itemClicked, this, &TPridaniCDForm::removeSelectedGroup);
  connect(automatic_, &QCheckBox::toggled, this, &TPridaniCDForm::automaticToggled);
  connect(start_, &QPushButton::clicked, this, &TPridaniCDForm::startScan);
  connect(eject_, &QPushButton::clicked, this, &TPridaniCDForm::ejectMedium);
  connect(surfaceCheck_, &QPushButton::clicked, this, &TPridaniCDForm::checkSurface);
  connect(close_, &QPushButton::clicked, this, &QWidget::close);
}

void TPridaniCDForm::buildItemsPage(QWidget* page) {
  auto* commentBox = new QGroupBox(QStringLiteral(" Vytvořené komentáře: "), page);
  comments_ = PathList({QStringLiteral("Cesta k položce"), QStringLiteral("Komentář")},
                       "commentList", commentBox);
  addCommentFile_ = Button(QStringLiteral("Přidat soubor"), "addCommentFileButton", commentBox);
  addCommentDir_ = Button(QStringLiteral("Přidat adresář"), "addCommentDirButton", commentBox);
  removeComment_ = Button(QStringLiteral("Ubrat"), "removeCommentButton", commentBox);
  auto* commentButtons = new QVBoxLayout();
  commentButtons->addWidget(new QLabel(QStringLiteral("Ruční přidání:"), commentBox));
  commentButtons->addWidget(addCommentFile_);
  commentButtons->addWidget(addCommentDir_);
  commentButtons->addWidget(removeComment_);
  commentButtons->addStretch(1);
  auto* commentLayout = new QHBoxLayout(commentBox);
  commentLayout->addWidget(comments_, 1);
  commentLayout->addLayout(commentButtons);

  auto* groupBox = new QGroupBox(QStringLiteral(" Přiřazené skupiny: "), page);
  groupRows_ = PathList({QStringLiteral("Cesta k položce"), QStringLiteral("Skupiny")},
                        "groupRowList", groupBox);
  addGroupDir_ = Button(QStringLiteral("Přidat adresář"), "addGroupDirButton", groupBox);
  removeGroupRow_ = Button(QStringLiteral("Ubrat"), "removeGroupRowButton", groupBox);
  auto* groupButtons = new QVBoxLayout();
  groupButtons->addWidget(addGroupDir_);
  groupButtons->addWidget(removeGroupRow_);
  groupButtons->addStretch(1);
  auto* groupLayout = new QHBoxLayout(groupBox);
  groupLayout->addWidget(groupRows_, 1);
  groupLayout->addLayout(groupButtons);

  auto* layout = new QVBoxLayout(page);
  layout->addWidget(commentBox, 1);
  layout->addWidget(groupBox, 1);

  connect(addCommentFile_, &QPushButton::clicked, this, &TPridaniCDForm::addCommentForFile);
  connect(addCommentDir_, &QPushButton::clicked, this, &TPridaniCDForm::addCommentForDirectory);
  connect(removeComment_, &QPushButton::clicked, this, &TPridaniCDForm::removeSelectedComments);
  connect(addGroupDir_, &QPushButton::clicked, this, &TPridaniCDForm::addGroupsForDirectory);
  connect(removeGroupRow_, &QPushButton::clicked, this, &TPridaniCDForm::removeSelectedGroupRows);
}

void TPridaniCDForm::buildExplorerPage(QWidget* page) {
  explorerModel_ = new QFileSystemModel(this);
  explorerModel_->setObjectName(QStringLiteral("explorerModel"));
  explorerModel_->setFilter(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
  explorerModel_->setReadOnly(true);
  explorer_ = new QTreeView(page);
  explorer_->setObjectName(QStringLiteral("explorerView"));
  explorer_->setModel(explorerModel_);
  explorer_->setSortingEnabled(true);
  explorer_->sortByColumn(0, Qt::AscendingOrder);
  explorer_->header()->resizeSection(0, 300);
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(explorer_);
}

}  // namespace rondo::gui
