// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/TSearchForm.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStyle>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

#include "gui/QELControls.h"
#include "gui/TLngINISupp.h"
#include "gui/TRenameForm.h"
#include "gui/column_layout.h"
#include "gui/export_dialogs.h"
#include "gui/search_results_model.h"
#include "gui/stoppable_run.h"
#include "settings/group_kinds.h"

namespace rondo::gui {

namespace {

constexpr const char* kNone = "---";
constexpr const char* kFailurePrefix = "Chyba: ";
// New rows are shown at most this often, and after at least this many
// times the time showing them took the last time.
constexpr qint64 kSyncEveryMs = 30;
constexpr qint64 kSyncCostShare = 4;

// The column and order the results were last sorted by.
constexpr const char* kSortSetting = "RazeniHledani";
constexpr const char* kSortDescendingSetting = "RazeniHledaniSestupne";

QString AllGroups() {
  return QString::fromUtf8(kAllGroups.data(), static_cast<qsizetype>(kAllGroups.size()));
}

// A group list's entry: shown in the interface language, searched by the
// name stored in the catalogue.
void AddGroupItem(QListWidget* list, const QString& stored, int row = -1) {
  auto* item = new QListWidgetItem(ShownGroupName(stored));
  item->setData(Qt::UserRole, stored);
  if (row < 0)
    list->addItem(item);
  else
    list->insertItem(row, item);
}

QString StoredName(const QListWidgetItem* item) {
  return item->data(Qt::UserRole).toString();
}

template <typename Control>
Control* Persisted(Control* control, const char* valueName) {
  control->zzRegPath = ProgramRegPath();
  control->zzValueName = QString::fromUtf8(valueName);
  return control;
}

// The user's documents folder, or the home folder when there is none.
QString DocumentsFolder() {
  const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  return documents.isEmpty() ? QDir::homePath() : documents;
}

// The first selected entry of a list, or nullptr.
QListWidgetItem* FirstSelected(QListWidget* list) {
  for (int i = 0; i < list->count(); ++i) {
    if (list->item(i)->isSelected())
      return list->item(i);
  }
  return nullptr;
}

}  // namespace

TSearchForm::TSearchForm(Engine& engine, Registry& registry, QWidget* parent)
    : QDialog(parent), engine_(engine), registry_(registry) {
  setObjectName(QStringLiteral("TSearchForm"));
  setWindowTitle(QStringLiteral("Vyhledávání..."));
  exportFolder = DocumentsFolder();
  openInViewer = [](const QString& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
  };
  chooseExportFile = [this](const QString& proposed) {
    return QFileDialog::getSaveFileName(this, QStringLiteral("Export výsledků hledání"), proposed,
                                        QStringLiteral("Text (*.txt);;Všechny soubory (*)"));
  };
  model_ = new SearchResultsModel(engine_, this);

  pattern_ = new QLineEdit(this);
  auto* patternLabel = new QLabel(QStringLiteral("Hledaný text:  (WildCats)"), this);
  patternLabel->setBuddy(pattern_);

  auto* depthBox = new QGroupBox(this);
  maxDepth_ = Persisted(new TQELRadioButton(QStringLiteral("Maximální"), depthBox), "MaxUroven");
  maxDepth_->setZzDefaultChecked(true);
  limitedDepth_ =
      Persisted(new TQELRadioButton(QStringLiteral("Do úrovně:"), depthBox), "Volitelna uroven");
  depth_ = Persisted(new TQELSpinEdit(depthBox), "UrovenCislo");
  depth_->setRange(1, 250);
  depth_->setZzDefaultValue(3);
  auto* depthLayout = new QHBoxLayout(depthBox);
  depthLayout->addWidget(maxDepth_);
  depthLayout->addWidget(limitedDepth_);
  depthLayout->addWidget(depth_);
  depthLayout->addStretch();

  dirGroups_ = Persisted(new TQELCheckBox(QStringLiteral("Používat skupiny adresářů."), this),
                         "PouzivatSkupinyAdresaru");
  dirGroups_->setZzDefaultChecked(true);

  auto* kindBox = new QGroupBox(this);
  kindAll_ = new QRadioButton(QStringLiteral("Vše"), kindBox);
  kindDirs_ = new QRadioButton(QStringLiteral("Adresáře"), kindBox);
  kindFiles_ = new QRadioButton(QStringLiteral("Soubory"), kindBox);
  kindAll_->setChecked(true);
  auto* kindLayout = new QHBoxLayout(kindBox);
  kindLayout->addWidget(new QLabel(QStringLiteral("Hledat:"), kindBox));
  kindLayout->addWidget(kindAll_);
  kindLayout->addWidget(kindDirs_);
  kindLayout->addWidget(kindFiles_);
  kindLayout->addStretch();

  cache_ = Persisted(new TQELCheckBox(QStringLiteral("Používat mezipamět"), this), "MeziPamet");
  cache_->setZzDefaultChecked(true);
  case_ = new QCheckBox(QStringLiteral("Rozlišovat velikost písmen"), this);
  wrap_ = Persisted(new TQELCheckBox(QStringLiteral("Přidávat * na zač. a konec"), this),
                    "DoplnovatWild");
  wrap_->setZzDefaultChecked(true);

  // The groups: "Vybrané:" limits the discs searched, "Vše" meaning every
  // disc; "K výběru:" offers the lending states and the known groups.
  chosen_ = new QListWidget(this);
  AddGroupItem(chosen_, AllGroups());
  available_ = new QListWidget(this);
  for (const auto& name : ReadGroupList(registry_))
    AddGroupItem(available_, QString::fromStdString(name));
  AddGroupItem(available_, QStringLiteral("Nepůjčené"), 0);
  AddGroupItem(available_, QStringLiteral("Půjčené"), 0);
  available_->setCurrentRow(0);
  add_ = new QPushButton(QStringLiteral("<"), this);
  remove_ = new QPushButton(QStringLiteral(">"), this);
  fresh_ = new QPushButton(QStringLiteral("N"), this);
  fresh_->setToolTip(QStringLiteral("Přidat skupinu"));
  for (QPushButton* b : {add_, remove_, fresh_}) {
    b->setFixedWidth(28);
    b->setAutoDefault(false);
  }

  currentDisc_ = new QLabel(QString::fromLatin1(kNone), this);
  discCount_ = new QLabel(QString::fromLatin1(kNone), this);
  itemCount_ = new QLabel(QString::fromLatin1(kNone), this);
  // Values the program fills in: "666" keeps them out of language files.
  currentDisc_->setObjectName(QStringLiteral("currentDiscLabel666"));
  // A long disc name is cut, it does not widen the window while searching.
  currentDisc_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  currentDisc_->setMinimumWidth(currentDisc_->fontMetrics().averageCharWidth() * 12);
  discCount_->setObjectName(QStringLiteral("discCountLabel666"));
  itemCount_->setObjectName(QStringLiteral("itemCountLabel666"));
  found_ = new QLabel(QStringLiteral("0"), this);
  found_->setObjectName(QStringLiteral("foundLabel666"));
  gauge_ = new QProgressBar(this);

  // Rows come in the order they were found; a click on a column header has
  // the engine sort them, the view never sorts on its own.
  results_ = new QTreeView(this);
  results_->setModel(model_);
  results_->setRootIsDecorated(false);
  results_->setUniformRowHeights(true);
  results_->setSortingEnabled(false);
  results_->setSelectionBehavior(QAbstractItemView::SelectRows);
  results_->setAllColumnsShowFocus(true);
  std::vector<int> widths;
  for (const auto& column : kSearchColumns)
    widths.push_back(column.width);
  columns_ = new ColumnLayout(results_, widths, "SloupceHledani");
  columns_->Fit();
  results_->header()->setSectionsClickable(true);
  results_->header()->setSortIndicatorShown(false);
  results_->installEventFilter(this);
  connect(results_->header(), &QHeaderView::sectionClicked, this, &TSearchForm::sortResults);
  connect(results_, &QAbstractItemView::doubleClicked, this, &TSearchForm::showHitAt);

  start_ = new QPushButton(QStringLiteral("Start"), this);
  start_->setEnabled(false);
  export_ = new QPushButton(QStringLiteral("Export..."), this);
  export_->setAutoDefault(false);
  close_ = new QPushButton(QStringLiteral("Zavřít"), this);
  close_->setAutoDefault(false);
  // The gauge counts in thousandths of the current disc's block.
  run_ = std::make_unique<StoppableRun>(start_, gauge_);
  // Made with the window, so that the language file translates its entries.
  exportMenu_ = new QMenu(this);
  exportMenu_->setObjectName(QStringLiteral("exportMenu"));
  QAction* notepad = exportMenu_->addAction(QStringLiteral("> Notepad"));
  notepad->setObjectName(QStringLiteral("exportNotepad"));
  QAction* table = exportMenu_->addAction(QStringLiteral("> &Tabulka CSV nebo HTML..."));
  table->setObjectName(QStringLiteral("exportTable"));
  connect(notepad, &QAction::triggered, this, &TSearchForm::exportToViewer);
  connect(table, &QAction::triggered, this, &TSearchForm::exportTable);

  // Layout: the options, the groups and the progress side by side above the
  // result list, the buttons below it.
  // The boxes one above the other and the check boxes two by two, so that
  // the options stay readable at a large font beside the groups.
  auto* options = new QGridLayout;
  options->addWidget(patternLabel, 0, 0);
  options->addWidget(pattern_, 0, 1);
  options->addWidget(depthBox, 1, 0, 1, 2);
  options->addWidget(kindBox, 2, 0, 1, 2);
  options->addWidget(dirGroups_, 3, 0);
  options->addWidget(cache_, 3, 1);
  options->addWidget(case_, 4, 0);
  options->addWidget(wrap_, 4, 1);
  auto* groupButtons = new QVBoxLayout;
  groupButtons->addWidget(add_);
  groupButtons->addWidget(remove_);
  groupButtons->addWidget(fresh_);
  groupButtons->addStretch();
  // The group lists are as wide as their longest name.
  for (QListWidget* list : {chosen_, available_}) {
    list->setMinimumWidth(std::max(list->sizeHintForColumn(0), 0) + 2 * list->frameWidth() +
                          list->style()->pixelMetric(QStyle::PM_ScrollBarExtent) +
                          list->fontMetrics().averageCharWidth() * 2);
  }
  auto* groups = new QGridLayout;
  groups->addWidget(new QLabel(QStringLiteral("Vybrané:"), this), 0, 0);
  groups->addWidget(new QLabel(QStringLiteral("K výběru:"), this), 0, 2);
  groups->addWidget(chosen_, 1, 0);
  groups->addLayout(groupButtons, 1, 1);
  groups->addWidget(available_, 1, 2);
  auto* progress = new QGridLayout;
  progress->addWidget(new QLabel(QStringLiteral("Aktuální CD:"), this), 0, 0);
  progress->addWidget(currentDisc_, 0, 1);
  progress->addWidget(new QLabel(QStringLiteral("CD:"), this), 1, 0);
  progress->addWidget(discCount_, 1, 1);
  progress->addWidget(new QLabel(QStringLiteral("Položka:"), this), 2, 0);
  progress->addWidget(itemCount_, 2, 1);
  progress->addWidget(new QLabel(QStringLiteral("Nalezeno celkem:"), this), 3, 0);
  progress->addWidget(found_, 3, 1);
  progress->addWidget(gauge_, 4, 0, 1, 2);
  progress->setRowStretch(5, 1);
  auto* top = new QHBoxLayout;
  top->addLayout(options, 3);
  top->addLayout(groups, 2);
  top->addLayout(progress, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(start_);
  buttons->addWidget(export_);
  buttons->addStretch();
  buttons->addWidget(close_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(results_, 1);
  layout->addLayout(buttons);
  resize(1000, 600);

  LoadPersistedControls(this, registry_);
  columns_->Load(registry_);
  depth_->setEnabled(limitedDepth_->isChecked());
  optionsChanged();

  // Every change of an option is noted at once: a running search reads the
  // options again before its next record.
  connect(pattern_, &QLineEdit::textChanged, this, [this](const QString& text) {
    start_->setEnabled(run_->busy() || !text.isEmpty());
    optionsChanged();
  });
  connect(limitedDepth_, &QRadioButton::toggled, this, [this](bool checked) {
    depth_->setEnabled(checked);
    optionsChanged();
  });
  connect(depth_, &QSpinBox::valueChanged, this, [this] { optionsChanged(); });
  for (QAbstractButton* b : std::initializer_list<QAbstractButton*>{
           maxDepth_, dirGroups_, kindAll_, kindDirs_, kindFiles_, cache_, case_, wrap_}) {
    connect(b, &QAbstractButton::toggled, this, [this] { optionsChanged(); });
  }
  connect(add_, &QPushButton::clicked, this, &TSearchForm::addGroup);
  connect(available_, &QListWidget::itemClicked, this, &TSearchForm::addGroup);
  connect(remove_, &QPushButton::clicked, this, &TSearchForm::removeGroup);
  connect(chosen_, &QListWidget::itemClicked, this, &TSearchForm::removeGroup);
  connect(fresh_, &QPushButton::clicked, this, &TSearchForm::newGroup);
  connect(start_, &QPushButton::clicked, this, &TSearchForm::startOrStop);
  connect(close_, &QPushButton::clicked, this, &QDialog::reject);
  connect(export_, &QPushButton::clicked, this, [this] { exportMenu_->exec(QCursor::pos()); });
  // Tab goes from the chosen groups through the buttons between the lists.
  QWidget::setTabOrder(chosen_, add_);
  QWidget::setTabOrder(add_, remove_);
  QWidget::setTabOrder(remove_, fresh_);
  QWidget::setTabOrder(fresh_, available_);
  ApplyLanguage(this);
}

TSearchForm::~TSearchForm() = default;

void TSearchForm::optionsChanged() {
  options_.pattern = pattern_->text().toStdString();
  options_.kind = kindDirs_->isChecked()    ? SearchKind::kDirectories
                  : kindFiles_->isChecked() ? SearchKind::kFiles
                                            : SearchKind::kAll;
  options_.matchCase = case_->isChecked();
  options_.depth = limitedDepth_->isChecked() ? std::optional<int>(depth_->value()) : std::nullopt;
  options_.directoryGroups = dirGroups_->isChecked();
  options_.cache = cache_->isChecked();
  options_.groups.clear();
  for (int i = 0; i < chosen_->count(); ++i)
    options_.groups.push_back(StoredName(chosen_->item(i)).toStdString());
  ++version_;
}

bool TSearchForm::Busy() {
  return run_->busy();
}

void TSearchForm::DiscStarted(const std::string& description, std::uint64_t blockLength) {
  if (!run_->busy())
    return;
  currentDisc_->setText(QString::fromStdString(description));
  blockLength_ = blockLength;
  gauge_->setValue(0);
}

void TSearchForm::DiscPassed() {
  ++discs_;
  if (run_->busy() && discCount_->text() != QLatin1String(kNone))
    discCount_->setText(QString::number(discs_));
}

void TSearchForm::RecordRead(std::uint64_t consumed) {
  ++records_;
  if (recordHook)
    recordHook();
  if (!run_->eventsDue())
    return;
  run_->showProgress(consumed, blockLength_);
  if (itemCount_->text() != QLatin1String(kNone))
    itemCount_->setText(QString::number(records_));
  // The list lays out all its rows again whenever rows are added, which
  // grows with the rows found; it is shown the new rows only so often that
  // this stays a small part of the search's time, however many there are.
  if (!sinceSync_.isValid() || sinceSync_.elapsed() >= syncEvery_) {
    QElapsedTimer cost;
    cost.start();
    syncView();
    QCoreApplication::processEvents();
    syncEvery_ = std::max(kSyncEveryMs, cost.elapsed() * kSyncCostShare);
    sinceSync_.start();
  } else {
    QCoreApplication::processEvents();
  }
}

void TSearchForm::syncView() {
  model_->rowsAppended();
}

void TSearchForm::showMessage(const QString& text) {
  engine_.Host().ShowMessage(text.toStdString());
}

void TSearchForm::startOrStop() {
  if (run_->busy()) {
    stop();
  } else if (!run_->running() && !pattern_->text().isEmpty()) {
    // A search that was stopped but is still winding up is left to finish.
    search();
  }
}

void TSearchForm::search() {
  maxDepth_->setEnabled(false);
  limitedDepth_->setEnabled(false);
  cache_->setEnabled(false);
  start_->setEnabled(true);
  discs_ = 0;
  records_ = 0;
  blockLength_ = 0;
  discCount_->setText(QStringLiteral("0"));
  itemCount_->setText(QStringLiteral("0"));
  engine_.Found.Clear();
  model_->reset();
  results_->header()->setSortIndicatorShown(false);
  if (wrap_->isChecked()) {
    const QString wrapped = QString::fromStdString(WrapPattern(pattern_->text().toStdString()));
    if (wrapped != pattern_->text())
      pattern_->setText(wrapped);
  }
  optionsChanged();
  sinceSync_.invalidate();
  syncEvery_ = kSyncEveryMs;

  run_->run(engine_.Search, this, [this] {
    try {
      engine_.RunOperation(OperationCode::kSearch);
    } catch (const std::exception& e) {
      showMessage(QString::fromUtf8(kFailurePrefix) + QString::fromUtf8(e.what()));
    }
  });

  syncView();
  applyRememberedSort();
  columns_->Fit();
  found_->setText(QString::number(engine_.Found.size()));
  stop();
  if (run_->closeDue())
    done(QDialog::Rejected);
}

void TSearchForm::stop() {
  run_->stop();
  maxDepth_->setEnabled(true);
  limitedDepth_->setEnabled(true);
  cache_->setEnabled(true);
  start_->setEnabled(!pattern_->text().isEmpty());
  setIdleLabels();
}

void TSearchForm::setIdleLabels() {
  currentDisc_->setText(QString::fromLatin1(kNone));
  discCount_->setText(QString::fromLatin1(kNone));
  itemCount_->setText(QString::fromLatin1(kNone));
}

void TSearchForm::addGroup() {
  QListWidgetItem* item = FirstSelected(available_);
  if (item == nullptr)
    return;
  const QString name = StoredName(item);
  delete available_->takeItem(available_->row(item));
  AddGroupItem(chosen_, name);
  if (StoredName(chosen_->item(0)) == AllGroups())
    delete chosen_->takeItem(0);
  optionsChanged();
}

void TSearchForm::removeGroup() {
  QListWidgetItem* item = FirstSelected(chosen_);
  if (item == nullptr)
    return;
  const QString name = StoredName(item);
  delete chosen_->takeItem(chosen_->row(item));
  AddGroupItem(available_, name);
  if (chosen_->count() == 0)
    AddGroupItem(chosen_, AllGroups());
  optionsChanged();
}

void TSearchForm::newGroup() {
  const std::optional<QString> name =
      TRenameForm::ask(this, QStringLiteral("Nové jméno..."), QStringLiteral("Nové jméno:"));
  if (name)
    AddGroupItem(available_, *name);
}

void TSearchForm::exportToViewer() {
  const QString path =
      chooseExportFile
          ? chooseExportFile(QDir(exportFolder).filePath(QStringLiteral("Hledani.txt")))
          : QString();
  if (path.isEmpty())
    return;
  // Written whole or not at all: an old file of that name stays until the
  // new one is complete.
  QSaveFile file(path);
  const auto fail = [this, &file] {
    showMessage(QString::fromUtf8(kFailurePrefix) + file.errorString());
  };
  if (!file.open(QIODevice::WriteOnly)) {
    fail();
    return;
  }
  for (std::size_t row = 0; row < engine_.Found.size(); ++row) {
    const std::string line = engine_.Found.ExportLine(row) + "\r\n";
    if (file.write(line.data(), static_cast<qint64>(line.size())) !=
        static_cast<qint64>(line.size())) {
      fail();
      return;
    }
  }
  if (!file.commit()) {
    fail();
    return;
  }
  if (!openInViewer || !openInViewer(path)) {
    showMessage(QStringLiteral("Výsledky hledání jsou uloženy v souboru „") + path +
                QStringLiteral("“. Program, který by ho otevřel, se nenašel."));
  }
}

void TSearchForm::exportTable() {
  const ExportRequest request{QStringLiteral("Výsledky hledání"), QStringLiteral("Hledani"),
                              SearchExportFields(), [this](ExportWriter& rows) {
                                for (std::size_t row = 0; row < engine_.Found.size(); ++row)
                                  rows.Row(SearchExportRow(engine_.Found, row));
                              }};
  const QString problem = ExportList(this, registry_, request, chooseTableFile);
  if (!problem.isEmpty())
    showMessage(problem);
}

void TSearchForm::done(int result) {
  if (run_->closeLater()) {
    // The engine is still walking: stop it, and close once it has returned.
    if (run_->busy())
      stop();
    return;
  }
  hide();
  SavePersistedControls(this, registry_);
  columns_->Save(registry_);
  QDialog::done(result);
}

void TSearchForm::sortResults(int column) {
  // The rows are still being added while a search runs.
  if (run_->running())
    return;
  model_->clickColumn(column);
  showSortIndicator();
  // The next search, also in the next run, is shown in this order.
  if (const std::optional<std::size_t> sorted = engine_.Found.SortColumn()) {
    try {
      registry_.WriteInteger(kSortSetting, static_cast<std::int64_t>(*sorted));
      registry_.WriteBool(kSortDescendingSetting, engine_.Found.SortDescending());
    } catch (const std::exception&) {
      // Not remembered; the sort itself is done.
    }
  }
}

void TSearchForm::showSortIndicator() {
  const std::optional<std::size_t> sorted = engine_.Found.SortColumn();
  results_->header()->setSortIndicatorShown(sorted.has_value());
  if (sorted) {
    const Qt::SortOrder order =
        engine_.Found.SortDescending() ? Qt::DescendingOrder : Qt::AscendingOrder;
    results_->header()->setSortIndicator(static_cast<int>(*sorted), order);
  }
}

void TSearchForm::applyRememberedSort() {
  std::int64_t column = -1;
  bool descending = false;
  try {
    if (!registry_.Read("", kSortSetting))
      return;  // never sorted: the order found
    column = registry_.ReadInteger(kSortSetting);
    descending = registry_.ReadBool(kSortDescendingSetting);
  } catch (const std::exception&) {
    return;
  }
  if (column < 0 || column >= static_cast<std::int64_t>(kSearchColumnCount))
    return;
  model_->sortBy(static_cast<int>(column), descending);
  showSortIndicator();
}

void TSearchForm::showHitAt(const QModelIndex& index) {
  if (run_->running() || !index.isValid() || !showHit)
    return;
  const auto row = static_cast<std::size_t>(index.row());
  if (row >= engine_.Found.size())
    return;
  accept();
  showHit(row);
}

bool TSearchForm::eventFilter(QObject* watched, QEvent* event) {
  // Enter on a result row shows it in its place instead of pressing the
  // default button.
  if (watched == results_ && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && results_->currentIndex().isValid() &&
        showHit) {
      showHitAt(results_->currentIndex());
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace rondo::gui
