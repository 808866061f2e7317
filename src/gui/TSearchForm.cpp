#include "gui/TSearchForm.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>

#include "gui/QELControls.h"
#include "gui/TRenameForm.h"
#include "gui/disc_list_model.h"
#include "gui/icon_cache.h"
#include "gui/search_results_model.h"
#include "settings/group_kinds.h"

namespace rondo::gui {

namespace {

constexpr const char* kNone = "---";
constexpr int kEventsEveryMs = 30;

template <typename Control>
Control* Persisted(Control* control, const char* valueName) {
  control->zzRegPath = ProgramRegPath();
  control->zzValueName = QString::fromUtf8(valueName);
  return control;
}

// The folder of the program when it may write there, else the user's data
// folder.
QString DefaultProgramFolder() {
  const QString own = QCoreApplication::applicationDirPath();
  if (QFileInfo(own).isWritable())
    return own;
  const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
  QDir().mkpath(data);
  return data;
}

}  // namespace

TSearchForm::TSearchForm(Engine& engine, Registry& registry, QWidget* parent)
    : QDialog(parent), engine_(engine), registry_(registry), icons_(std::make_unique<IconCache>()) {
  setObjectName(QStringLiteral("TSearchForm"));
  setWindowTitle(QStringLiteral("Vyhledávání..."));
  programFolder = DefaultProgramFolder();
  openInViewer = [](const QString& path) { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); };
  discIcons_ = new DiscListModel(noDiscs_, this);
  model_ = new SearchResultsModel(engine_, *icons_, *discIcons_, this);

  pattern_ = new QLineEdit(this);
  auto* patternLabel = new QLabel(QStringLiteral("Hledaný text:  (WildCats)"), this);

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

  cache_ = Persisted(new TQELCheckBox(QStringLiteral("Používat mezipamět"), this), "MeziPamet");
  cache_->setZzDefaultChecked(true);
  case_ = new QCheckBox(QStringLiteral("Rozlišovat velikost písmen"), this);
  wrap_ = Persisted(new TQELCheckBox(QStringLiteral("Přidávat * na zač. a konec"), this),
                    "DoplnovatWild");
  wrap_->setZzDefaultChecked(true);

  chosen_ = new QListWidget(this);
  chosen_->addItem(QString::fromUtf8(kAllGroups.data(), static_cast<int>(kAllGroups.size())));
  available_ = new QListWidget(this);
  for (const auto& name : ReadGroupList(registry_)) {
    available_->addItem(QString::fromStdString(name));
  }
  available_->insertItem(0, QStringLiteral("Nepůjčené"));
  available_->insertItem(0, QStringLiteral("Půjčené"));
  available_->setCurrentRow(0);
  auto* add = new QPushButton(QStringLiteral("<"), this);
  auto* remove = new QPushButton(QStringLiteral(">"), this);
  auto* fresh = new QPushButton(QStringLiteral("N"), this);
  fresh->setToolTip(QStringLiteral("Přidat skupinu"));
  for (QPushButton* b : {add, remove, fresh}) {
    b->setFixedWidth(28);
    b->setAutoDefault(false);
  }

  currentDisc_ = new QLabel(QString::fromLatin1(kNone), this);
  discCount_ = new QLabel(QString::fromLatin1(kNone), this);
  itemCount_ = new QLabel(QString::fromLatin1(kNone), this);
  found_ = new QLabel(QStringLiteral("0"), this);
  gauge_ = new QProgressBar(this);
  gauge_->setTextVisible(false);

  results_ = new QTreeView(this);
  results_->setModel(model_);
  results_->setRootIsDecorated(false);
  results_->setUniformRowHeights(true);
  results_->setSelectionBehavior(QAbstractItemView::SelectRows);
  results_->setAllColumnsShowFocus(true);
  for (std::size_t c = 0; c < kSearchColumnCount; ++c) {
    results_->header()->resizeSection(static_cast<int>(c), kSearchColumns[c].width);
  }

  start_ = new QPushButton(QStringLiteral("Start"), this);
  start_->setEnabled(false);
  export_ = new QPushButton(QStringLiteral("Export..."), this);
  export_->setAutoDefault(false);
  auto* close = new QPushButton(QStringLiteral("Zavřít"), this);
  close->setAutoDefault(false);

  // Layout.
  auto* options = new QGridLayout;
  options->addWidget(patternLabel, 0, 0);
  options->addWidget(pattern_, 0, 1, 1, 3);
  options->addWidget(depthBox, 1, 0, 1, 2);
  options->addWidget(kindBox, 1, 2, 1, 2);
  options->addWidget(dirGroups_, 2, 0);
  options->addWidget(cache_, 2, 1);
  options->addWidget(case_, 2, 2);
  options->addWidget(wrap_, 2, 3);
  auto* groupButtons = new QVBoxLayout;
  groupButtons->addWidget(add);
  groupButtons->addWidget(remove);
  groupButtons->addWidget(fresh);
  groupButtons->addStretch();
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
  auto* top = new QHBoxLayout;
  top->addLayout(options, 3);
  top->addLayout(groups, 2);
  top->addLayout(progress, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(start_);
  buttons->addWidget(export_);
  buttons->addStretch();
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(results_, 1);
  layout->addLayout(buttons);
  resize(1000, 600);

  // Behaviour.
  connect(pattern_, &QLineEdit::textChanged, this, [this](const QString& text) {
    start_->setEnabled(!text.isEmpty() || busy_);
    optionsChanged();
  });
  const auto depthChanged = [this] {
    depth_->setEnabled(limitedDepth_->isChecked() && !busy_);
    optionsChanged();
  };
  connect(maxDepth_, &QRadioButton::toggled, this, depthChanged);
  connect(limitedDepth_, &QRadioButton::toggled, this, depthChanged);
  connect(depth_, &QSpinBox::valueChanged, this, [this] { optionsChanged(); });
  for (QAbstractButton* b : std::initializer_list<QAbstractButton*>{
           dirGroups_, kindAll_, kindDirs_, kindFiles_, cache_, case_, wrap_}) {
    connect(b, &QAbstractButton::toggled, this, [this] { optionsChanged(); });
  }
  connect(add, &QPushButton::clicked, this, &TSearchForm::addGroup);
  connect(available_, &QListWidget::itemClicked, this, &TSearchForm::addGroup);
  connect(remove, &QPushButton::clicked, this, &TSearchForm::removeGroup);
  connect(chosen_, &QListWidget::itemClicked, this, &TSearchForm::removeGroup);
  connect(fresh, &QPushButton::clicked, this, &TSearchForm::newGroup);
  connect(start_, &QPushButton::clicked, this, &TSearchForm::startOrStop);
  connect(close, &QPushButton::clicked, this, &QDialog::reject);
  connect(export_, &QPushButton::clicked, this, [this] {
    QMenu menu(this);
    QAction* notepad = menu.addAction(QStringLiteral("> Notepad"));
    connect(notepad, &QAction::triggered, this, &TSearchForm::exportToViewer);
    menu.exec(QCursor::pos());
  });

  for (auto* c : findChildren<TQELCheckBox*>())
    c->LoadFromRegistry(registry_);
  for (auto* r : findChildren<TQELRadioButton*>())
    r->LoadFromRegistry(registry_);
  depth_->LoadFromRegistry(registry_);
  depth_->setEnabled(limitedDepth_->isChecked());
}

TSearchForm::~TSearchForm() = default;

std::string TSearchForm::Pattern() {
  return pattern_->text().toStdString();
}

SearchKind TSearchForm::Kind() {
  if (kindDirs_->isChecked())
    return SearchKind::kDirectories;
  if (kindFiles_->isChecked())
    return SearchKind::kFiles;
  return SearchKind::kAll;
}

bool TSearchForm::MatchCase() {
  return case_->isChecked();
}

std::optional<int> TSearchForm::DepthLimit() {
  if (!limitedDepth_->isChecked())
    return std::nullopt;
  return depth_->value();
}

bool TSearchForm::UseDirectoryGroups() {
  return dirGroups_->isChecked();
}
bool TSearchForm::UseCache() {
  return cache_->isChecked();
}

std::vector<std::string> TSearchForm::ChosenGroups() {
  std::vector<std::string> groups;
  for (int i = 0; i < chosen_->count(); ++i)
    groups.push_back(chosen_->item(i)->text().toStdString());
  return groups;
}

void TSearchForm::DiscStarted(const std::string& description, std::uint64_t blockLength) {
  currentDisc_->setText(QString::fromStdString(description));
  gauge_->setRange(0, blockLength > 0 ? 1000 : 1);
  gauge_->setValue(0);
  gauge_->setProperty("blockLength", static_cast<qulonglong>(blockLength));
}

void TSearchForm::DiscPassed() {
  ++discs_;
  if (discCount_->text() != QLatin1String(kNone))
    discCount_->setText(QString::number(discs_));
}

void TSearchForm::RecordRead(std::uint64_t consumed) {
  ++records_;
  if (recordHook)
    recordHook();
  // Letting events run after every record would cost more than the search;
  // a few dozen times a second keeps the window alive and "Zastavit" quick.
  if (sinceEvents_.isValid() && sinceEvents_.elapsed() < kEventsEveryMs)
    return;
  sinceEvents_.restart();
  const auto length = gauge_->property("blockLength").toULongLong();
  if (length > 0)
    gauge_->setValue(static_cast<int>(consumed * 1000 / length));
  if (itemCount_->text() != QLatin1String(kNone))
    itemCount_->setText(QString::number(records_));
  syncRows();
  QCoreApplication::processEvents();
}

void TSearchForm::syncRows() {
  model_->rowsAppended();
}

void TSearchForm::startOrStop() {
  if (busy_) {
    stop();
    return;
  }
  busy_ = true;
  maxDepth_->setEnabled(false);
  limitedDepth_->setEnabled(false);
  depth_->setEnabled(false);
  cache_->setEnabled(false);
  start_->setText(QStringLiteral("Zastavit"));
  start_->setEnabled(true);
  discs_ = 0;
  records_ = 0;
  discCount_->setText(QStringLiteral("0"));
  itemCount_->setText(QStringLiteral("0"));
  engine_.Found.Clear();
  model_->reset();
  if (wrap_->isChecked()) {
    pattern_->setText(QString::fromStdString(WrapPattern(pattern_->text().toStdString())));
  }
  optionsChanged();
  sinceEvents_.invalidate();
  engine_.Search = this;
  try {
    engine_.RunOperation(OperationCode::kSearch);
  } catch (const std::exception& e) {
    QMessageBox::warning(this, windowTitle(),
                         QStringLiteral("Chyba: ") + QString::fromUtf8(e.what()));
  }
  engine_.Search = nullptr;
  syncRows();
  found_->setText(QString::number(engine_.Found.size()));
  if (busy_)
    stop();
  if (closeAfterSearch_)
    QDialog::done(QDialog::Rejected);
}

void TSearchForm::stop() {
  busy_ = false;
  maxDepth_->setEnabled(true);
  limitedDepth_->setEnabled(true);
  depth_->setEnabled(limitedDepth_->isChecked());
  cache_->setEnabled(true);
  start_->setText(QStringLiteral("Start"));
  start_->setEnabled(!pattern_->text().isEmpty());
  setIdleLabels();
}

void TSearchForm::setIdleLabels() {
  gauge_->setValue(0);
  currentDisc_->setText(QString::fromLatin1(kNone));
  discCount_->setText(QString::fromLatin1(kNone));
  itemCount_->setText(QString::fromLatin1(kNone));
}

void TSearchForm::addGroup() {
  QListWidgetItem* item = available_->currentItem();
  if (item == nullptr || !item->isSelected())
    return;
  QListWidgetItem* taken = available_->takeItem(available_->row(item));
  chosen_->addItem(taken->text());
  delete taken;
  if (chosen_->count() > 1 &&
      chosen_->item(0)->text() ==
          QString::fromUtf8(kAllGroups.data(), static_cast<int>(kAllGroups.size()))) {
    delete chosen_->takeItem(0);
  }
  optionsChanged();
}

void TSearchForm::removeGroup() {
  QListWidgetItem* item = chosen_->currentItem();
  if (item == nullptr || !item->isSelected())
    return;
  QListWidgetItem* taken = chosen_->takeItem(chosen_->row(item));
  available_->addItem(taken->text());
  delete taken;
  if (chosen_->count() == 0) {
    chosen_->addItem(QString::fromUtf8(kAllGroups.data(), static_cast<int>(kAllGroups.size())));
  }
  optionsChanged();
}

void TSearchForm::newGroup() {
  const auto name =
      TRenameForm::ask(this, QStringLiteral("Nové jméno..."), QStringLiteral("Nové jméno:"));
  if (name)
    available_->addItem(*name);
}

void TSearchForm::exportToViewer() {
  const QString path = QDir(programFolder).filePath(QStringLiteral("Hledani.txt"));
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
    QMessageBox::warning(this, windowTitle(), QStringLiteral("Chyba: ") + file.errorString());
    return;
  }
  for (std::size_t row = 0; row < engine_.Found.size(); ++row) {
    const std::string line = engine_.Found.ExportLine(row) + "\r\n";
    if (file.write(line.data(), static_cast<qint64>(line.size())) !=
        static_cast<qint64>(line.size())) {
      QMessageBox::warning(this, windowTitle(), QStringLiteral("Chyba: ") + file.errorString());
      return;
    }
  }
  if (!file.flush()) {
    QMessageBox::warning(this, windowTitle(), QStringLiteral("Chyba: ") + file.errorString());
    return;
  }
  file.close();
  if (openInViewer)
    openInViewer(path);
}

void TSearchForm::done(int result) {
  if (busy_) {
    // The engine is still walking: stop it and close once it has returned.
    closeAfterSearch_ = true;
    stop();
    return;
  }
  hide();
  engine_.Found.Clear();
  model_->reset();
  for (auto* c : findChildren<TQELCheckBox*>())
    c->SaveToRegistry(registry_);
  for (auto* r : findChildren<TQELRadioButton*>())
    r->SaveToRegistry(registry_);
  depth_->SaveToRegistry(registry_);
  QDialog::done(result);
}

}  // namespace rondo::gui
