// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/TDuplicityForm.h"

#include <QAbstractItemModel>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTreeView>
#include <QVBoxLayout>
#include <array>

#include "gui/QELControls.h"
#include "gui/TLngINISupp.h"
#include "gui/column_layout.h"
#include "gui/export_dialogs.h"
#include "gui/stoppable_run.h"
#include "settings/group_kinds.h"
#include "shell/dates.h"
#include "shell/sizes.h"

namespace rondo::gui {

namespace {

// The first pass reads every disc, the second only some: the first takes
// most of the gauge (in thousandths).
constexpr int kFirstPassShare = 800;

enum Column { kName, kSize, kWasted, kDisc, kSerial, kLocation, kTime, kColumnCount };
constexpr std::array<ListColumn, kColumnCount> kColumns = {{
    {"Jméno", 200, false},
    {"Velikost", 80, true},
    {"Navíc", 80, true},
    {"CD", 150, false},
    {"Serial", 90, false},
    {"Umístění", 200, false},
    {"Vytvořeno", 120, false},
}};

QString Text(const std::string& utf8) {
  return QString::fromStdString(utf8);
}

}  // namespace

// The groups as top-level rows, each with its copies as children. A copy's
// index carries its group's number + 1 as internal id, a group's carries 0.
class DuplicatesModel : public QAbstractItemModel {
 public:
  DuplicatesModel(Engine& engine, QObject* parent) : QAbstractItemModel(parent), engine_(engine) {}

  void reset() {
    beginResetModel();
    endResetModel();
  }

  QModelIndex index(int row, int column, const QModelIndex& parent) const override {
    if (row < 0 || column < 0 || column >= kColumnCount || row >= rowCount(parent))
      return {};
    return createIndex(row, column, parent.isValid() ? quintptr(parent.row()) + 1 : quintptr(0));
  }
  QModelIndex parent(const QModelIndex& child) const override {
    if (!child.isValid() || child.internalId() == 0)
      return {};
    return createIndex(static_cast<int>(child.internalId() - 1), 0, quintptr(0));
  }
  int rowCount(const QModelIndex& parent) const override {
    const auto& groups = report().Groups();
    if (!parent.isValid())
      return static_cast<int>(groups.size());
    if (parent.internalId() != 0 || parent.column() != 0)
      return 0;
    return static_cast<int>(groups[static_cast<std::size_t>(parent.row())].copies);
  }
  int columnCount(const QModelIndex&) const override { return kColumnCount; }

  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid())
      return {};
    if (role == Qt::TextAlignmentRole &&
        kColumns[static_cast<std::size_t>(index.column())].rightAligned)
      return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
      return {};
    const DuplicateReport& r = report();
    const DisplayFormat& format = engine_.Format();
    if (index.internalId() == 0) {
      const auto& group = r.Groups()[static_cast<std::size_t>(index.row())];
      switch (index.column()) {
        case kName:
          return Text(r.Name(r.CopyOf(group, 0)));
        case kSize:
          return Text(SizeToText(group.size, format.decimalPoint));
        case kWasted:
          return Text(IntegerSizeText(static_cast<std::int64_t>(group.Wasted())));
        case kDisc:
          return QString::number(group.discs) + QStringLiteral(" CD");
        default:
          return {};
      }
    }
    const auto& group = r.Groups()[index.internalId() - 1];
    const auto& copy = r.CopyOf(group, static_cast<std::size_t>(index.row()));
    switch (index.column()) {
      case kName:
        return Text(r.Name(copy));
      case kSize:
        return Text(SizeToText(copy.size, format.decimalPoint));
      case kDisc:
        return Text(rondo::ToUtf8(r.DiscOf(copy).description));
      case kSerial:
        return Text(rondo::ToUtf8(r.DiscOf(copy).serial));
      case kLocation:
        return Text(r.Location(copy));
      case kTime:
        return Text(DateTimeText(copy.time, format.dateTime));
      default:
        return {};
    }
  }

  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount)
      return {};
    const ListColumn& column = kColumns[static_cast<std::size_t>(section)];
    if (role == Qt::DisplayRole) {
      if (!captions_[static_cast<std::size_t>(section)].isNull())
        return captions_[static_cast<std::size_t>(section)];
      return QString::fromUtf8(column.caption.data(),
                               static_cast<qsizetype>(column.caption.size()));
    }
    if (role == Qt::TextAlignmentRole && column.rightAligned)
      return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    return {};
  }
  // Column captions from a language file.
  bool setHeaderData(int section, Qt::Orientation orientation, const QVariant& value,
                     int role) override {
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount ||
        (role != Qt::EditRole && role != Qt::DisplayRole))
      return false;
    captions_[static_cast<std::size_t>(section)] = value.toString();
    emit headerDataChanged(orientation, section, section);
    return true;
  }

  // The copy a row shows, or nullptr for a group row.
  const DuplicateReport::Copy* copyAt(const QModelIndex& index) const {
    if (!index.isValid() || index.internalId() == 0)
      return nullptr;
    return &report().CopyOf(report().Groups()[index.internalId() - 1],
                            static_cast<std::size_t>(index.row()));
  }

 private:
  const DuplicateReport& report() const { return engine_.Duplicates; }
  Engine& engine_;
  std::array<QString, kColumnCount> captions_;
};

TDuplicityForm::TDuplicityForm(Engine& engine, Registry& registry, QWidget* parent)
    : QDialog(parent), engine_(engine), registry_(registry) {
  setObjectName(QStringLiteral("TDuplicityForm"));
  setWindowTitle(QStringLiteral("Duplicity..."));
  model_ = new DuplicatesModel(engine_, this);

  minSize_ = new QLineEdit(QStringLiteral("0"), this);
  minSize_->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{1,19}")), this));
  auto* minSizeLabel = new QLabel(QStringLiteral("Nejmenší velikost (B):"), this);
  minSizeLabel->setBuddy(minSize_);

  auto* byBox = new QGroupBox(QStringLiteral("Stejné soubory mají stejné"), this);
  const auto persisted = [](TQELRadioButton* button, const char* valueName) {
    button->zzRegPath = ProgramRegPath();
    button->zzValueName = QString::fromUtf8(valueName);
    return button;
  };
  byName_ = persisted(new TQELRadioButton(QStringLiteral("jméno"), byBox), "DuplicityJmeno");
  byNameSize_ = persisted(new TQELRadioButton(QStringLiteral("jméno a velikost"), byBox),
                          "DuplicityJmenoVelikost");
  byNameSize_->setZzDefaultChecked(true);
  byNameSizeTime_ = persisted(new TQELRadioButton(QStringLiteral("jméno, velikost a čas"), byBox),
                              "DuplicityJmenoVelikostCas");
  auto* byLayout = new QVBoxLayout(byBox);
  byLayout->addWidget(byName_);
  byLayout->addWidget(byNameSize_);
  byLayout->addWidget(byNameSizeTime_);

  // The groups of discs compared, as the search chooses them: shown in the
  // interface language, compared by the stored names.
  groups_ = new QListWidget(this);
  std::vector<std::string> names{"Půjčené", "Nepůjčené"};
  for (const auto& name : ReadGroupList(registry_))
    names.push_back(name);
  for (const auto& name : names) {
    auto* item = new QListWidgetItem(ShownGroupName(Text(name)), groups_);
    item->setData(Qt::UserRole, Text(name));
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Unchecked);
  }
  auto* groupsLabel =
      new QLabel(QStringLiteral("Jen CD skupin (nic nezaškrtnuto: všechna CD):"), this);
  groupsLabel->setBuddy(groups_);

  summary_ = new QLabel(this);
  summary_->setObjectName(QStringLiteral("summaryLabel666"));
  gauge_ = new QProgressBar(this);

  results_ = new QTreeView(this);
  results_->setModel(model_);
  results_->setUniformRowHeights(true);
  results_->setSelectionBehavior(QAbstractItemView::SelectRows);
  results_->setAllColumnsShowFocus(true);
  results_->setExpandsOnDoubleClick(true);
  std::vector<int> widths;
  for (const auto& column : kColumns)
    widths.push_back(column.width);
  columns_ = new ColumnLayout(results_, widths, "SloupceDuplicit");
  columns_->Fit();
  results_->installEventFilter(this);
  connect(results_, &QAbstractItemView::doubleClicked, this, &TDuplicityForm::showCopyAt);

  start_ = new QPushButton(QStringLiteral("Hledat"), this);
  start_->setDefault(true);
  export_ = new QPushButton(QStringLiteral("Export..."), this);
  export_->setObjectName(QStringLiteral("exportButton"));
  export_->setAutoDefault(false);
  close_ = new QPushButton(QStringLiteral("Zavřít"), this);
  close_->setAutoDefault(false);
  run_ = std::make_unique<StoppableRun>(start_, gauge_);

  auto* options = new QGridLayout;
  options->addWidget(minSizeLabel, 0, 0);
  options->addWidget(minSize_, 0, 1);
  options->addWidget(byBox, 1, 0, 1, 2);
  options->setRowStretch(2, 1);
  auto* groups = new QVBoxLayout;
  groups->addWidget(groupsLabel);
  groups->addWidget(groups_);
  auto* top = new QHBoxLayout;
  top->addLayout(options, 1);
  top->addLayout(groups, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(start_);
  buttons->addWidget(export_);
  buttons->addWidget(gauge_, 1);
  buttons->addWidget(close_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(summary_);
  layout->addWidget(results_, 1);
  layout->addLayout(buttons);
  groups_->setMaximumHeight(byBox->sizeHint().height() + minSize_->sizeHint().height() * 2);
  resize(900, 560);

  LoadPersistedControls(this, registry_);
  columns_->Load(registry_);
  connect(start_, &QPushButton::clicked, this, &TDuplicityForm::startOrStop);
  connect(export_, &QPushButton::clicked, this, &TDuplicityForm::exportTable);
  connect(close_, &QPushButton::clicked, this, &QDialog::reject);
  showSummary();
  ApplyLanguage(this);
}

TDuplicityForm::~TDuplicityForm() = default;

DuplicateOptions TDuplicityForm::Options() {
  DuplicateOptions o;
  o.by = byName_->isChecked()           ? DuplicateKey::kName
         : byNameSizeTime_->isChecked() ? DuplicateKey::kNameSizeTime
                                        : DuplicateKey::kNameSize;
  o.minSize = minSize_->text().toULongLong();
  std::vector<std::string> chosen;
  for (int i = 0; i < groups_->count(); ++i) {
    if (groups_->item(i)->checkState() == Qt::Checked)
      chosen.push_back(groups_->item(i)->data(Qt::UserRole).toString().toStdString());
  }
  if (!chosen.empty())
    o.groups = chosen;
  return o;
}

bool TDuplicityForm::Busy() {
  if (run_->eventsDue())
    QCoreApplication::processEvents();
  return run_->busy();
}

void TDuplicityForm::Progress(int pass, std::uint64_t position, std::uint64_t total) {
  if (!run_->busy())
    return;
  if (pass == 1)
    run_->showProgress(position, total, 0, kFirstPassShare);
  else
    run_->showProgress(position, total, kFirstPassShare,
                       StoppableRun::kGaugeSteps - kFirstPassShare);
}

void TDuplicityForm::startOrStop() {
  if (run_->busy()) {
    run_->stop();
  } else if (!run_->running()) {
    search();
  }
}

void TDuplicityForm::search() {
  summary_->setText(QStringLiteral("Hledám…"));
  export_->setEnabled(false);
  engine_.Duplicates.Clear();
  model_->reset();
  run_->run(engine_.DuplicateSearch, this, [this] {
    try {
      engine_.RunOperation(OperationCode::kFindDuplicates);
    } catch (const std::exception& e) {
      engine_.Host().ShowMessage(std::string("Chyba: ") + e.what());
    }
  });
  run_->stop();
  model_->reset();
  columns_->Fit();
  export_->setEnabled(true);
  showSummary();
  if (run_->closeDue())
    done(QDialog::Rejected);
}

void TDuplicityForm::exportTable() {
  if (run_->running())
    return;
  const DuplicateReport& report = engine_.Duplicates;
  const ExportRequest request{
      QStringLiteral("Duplicity"), QStringLiteral("Duplicity"), DuplicateExportFields(),
      [&report](ExportWriter& rows) {
        for (std::size_t group = 1; group <= report.Groups().size(); ++group) {
          for (std::size_t copy = 0; copy < report.Groups()[group - 1].copies; ++copy)
            rows.Row(DuplicateExportRow(report, group, copy));
        }
      }};
  const QString problem = ExportList(this, registry_, request, chooseTableFile);
  if (!problem.isEmpty())
    engine_.Host().ShowMessage(problem.toStdString());
}

void TDuplicityForm::showSummary() {
  const DuplicateReport& r = engine_.Duplicates;
  if (!r.complete) {
    summary_->setText(QString());
    return;
  }
  std::uint64_t wasted = 0;
  for (const auto& group : r.Groups())
    wasted += group.Wasted();
  summary_->setText(QStringLiteral("Skupin: %1, navíc zabírají %2")
                        .arg(r.Groups().size())
                        .arg(Text(IntegerSizeText(static_cast<std::int64_t>(wasted)))));
}

void TDuplicityForm::showCopyAt(const QModelIndex& index) {
  const DuplicateReport::Copy* copy = model_->copyAt(index);
  if (copy == nullptr || run_->running() || !showCopy)
    return;
  // The window closes first: the main window shows the copy.
  const SearchResults::Place place = engine_.Duplicates.PlaceOf(*copy);
  done(QDialog::Accepted);
  showCopy(place);
}

void TDuplicityForm::done(int result) {
  if (run_->closeLater()) {
    // The engine is still walking: stop it, and close once it has returned.
    run_->stop();
    return;
  }
  hide();
  SavePersistedControls(this, registry_);
  columns_->Save(registry_);
  QDialog::done(result);
}

bool TDuplicityForm::eventFilter(QObject* watched, QEvent* event) {
  // Enter on a copy shows it in its place, on a group opens or closes it,
  // instead of pressing the default button.
  if (watched == results_ && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    const QModelIndex current = results_->currentIndex();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && current.isValid()) {
      if (model_->copyAt(current) != nullptr) {
        showCopyAt(current);
      } else {
        const QModelIndex group = current.sibling(current.row(), 0);
        results_->setExpanded(group, !results_->isExpanded(group));
      }
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace rondo::gui
