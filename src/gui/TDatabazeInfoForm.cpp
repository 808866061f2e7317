// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/TDatabazeInfoForm.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

#include "catalogue/messages.h"
#include "catalogue/statistics.h"
#include "gui/TLngINISupp.h"
#include "gui/TPrepocetForm.h"
#include "gui/column_layout.h"
#include "gui/qt_text.h"

namespace rondo::gui {

namespace {

QTreeWidget* MakeList(const QStringList& columns, QWidget* parent) {
  auto* list = new QTreeWidget(parent);
  list->setRootIsDecorated(false);
  list->setHeaderLabels(columns);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->header()->setStretchLastSection(true);
  return list;
}

}  // namespace

TDatabazeInfoForm::TDatabazeInfoForm(Engine& engine, std::function<void(OperationCode)> run,
                                     std::function<void(const QString&)> message, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint),
      engine_(engine),
      run_(std::move(run)),
      message_(std::move(message)) {
  setObjectName(QStringLiteral("TDatabazeInfoForm"));
  setWindowTitle(QStringLiteral("Informace o databázi..."));
  setModal(true);

  auto* basic = new QGroupBox(QStringLiteral("Základní informace"), this);
  auto* grid = new QGridLayout(basic);
  const auto initial = InitialStatisticsFigures();
  for (std::size_t i = 0; i < initial.size(); ++i) {
    auto* caption = new QLabel(FromUtf8(initial[i].label), basic);
    auto* value = new QLabel(FromUtf8(initial[i].value), basic);
    value->setObjectName(QStringLiteral("value666_%1").arg(i));
    QFont bold = value->font();
    bold.setBold(true);
    value->setFont(bold);
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    grid->addWidget(caption, static_cast<int>(i), 0);
    grid->addWidget(value, static_cast<int>(i), 1);
    values_.push_back(value);
  }
  grid->setColumnStretch(1, 1);

  auto* perGroup = new QGroupBox(QStringLiteral("Detailní infomace"), this);
  auto* perGroupLayout = new QVBoxLayout(perGroup);
  groups_ =
      MakeList({QStringLiteral("Jméno skupiny"), QStringLiteral("Obsahuje celkem CD")}, perGroup);
  groups_->setObjectName(QStringLiteral("groupList"));
  perGroupLayout->addWidget(groups_);

  auto* extremeBox = new QGroupBox(QStringLiteral("Detailní informace - Extrémy"), this);
  auto* extremeLayout = new QVBoxLayout(extremeBox);
  extremes_ = MakeList(
      {QStringLiteral("Extrém"), QStringLiteral("Cesta"), QStringLiteral("Hodnota")}, extremeBox);
  extremes_->setObjectName(QStringLiteral("extremeList"));
  for (const char* row : {"Největší soubor", "Největší adresář", "CD s nejvíce soubory"})
    new QTreeWidgetItem(extremes_, {QString::fromUtf8(row), QString(), QString()});
  FitTreeWidgetColumns(groups_, {0, 0});
  FitTreeWidgetColumns(extremes_, {150, 300});
  extremeLayout->addWidget(extremes_);

  details_ = new QPushButton(QStringLiteral("Načíst detaily"), this);
  details_->setObjectName(QStringLiteral("detailsButton"));
  connect(details_, &QPushButton::clicked, this, &TDatabazeInfoForm::loadDetails);

  auto* progress = new QGroupBox(QStringLiteral("Průběh načítání detailů"), this);
  auto* progressLayout = new QGridLayout(progress);
  gauge_ = new QProgressBar(progress);
  gauge_->setObjectName(QStringLiteral("detailsGauge"));
  ShowProgress(gauge_, 0, 0);
  discNumber_ = new QLabel(QStringLiteral("0 z 0"), progress);
  discNumber_->setObjectName(QStringLiteral("discNumberLabel666"));
  discName_ = new QLabel(QStringLiteral("---"), progress);
  discName_->setObjectName(QStringLiteral("discNameLabel666"));
  progressLayout->addWidget(gauge_, 0, 0, 1, 2);
  progressLayout->addWidget(new QLabel(QStringLiteral("CD:"), progress), 1, 0);
  progressLayout->addWidget(discNumber_, 1, 1);
  progressLayout->addWidget(new QLabel(QStringLiteral("Jméno CD:"), progress), 2, 0);
  progressLayout->addWidget(discName_, 2, 1);
  progressLayout->setColumnStretch(1, 1);

  auto* close = new QPushButton(QStringLiteral("Zavřít"), this);
  close->setObjectName(QStringLiteral("closeButton"));
  close->setDefault(true);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);

  auto* left = new QVBoxLayout();
  left->addWidget(basic);
  left->addWidget(progress);
  left->addStretch(1);
  auto* right = new QVBoxLayout();
  right->addWidget(perGroup, 1);
  right->addWidget(extremeBox, 1);
  auto* columns = new QHBoxLayout();
  columns->addLayout(left);
  columns->addLayout(right, 1);
  auto* buttons = new QHBoxLayout();
  buttons->addWidget(details_);
  buttons->addStretch(1);
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(columns);
  layout->addLayout(buttons);
  resize(820, 460);
  ApplyLanguage(this);
}

void TDatabazeInfoForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!shownOnce_) {
    shownOnce_ = true;
    refresh();
  }
}

void TDatabazeInfoForm::refresh() {
  engine_.Statistics = DatabaseStatistics{};
  if (run_)
    run_(OperationCode::kDatabaseStatistics);
  const auto figures = StatisticsFigures(engine_.Statistics, engine_.Format());
  for (std::size_t i = 0; i < figures.size() && i < values_.size(); ++i)
    values_[i]->setText(FromUtf8(figures[i].value).trimmed());
}

void TDatabazeInfoForm::loadDetails() {
  if (loading_)
    return;
  loading_ = true;
  details_->setEnabled(false);
  ThrottledEvents events;
  DatabaseDetails details;
  bool ok = false;
  try {
    details =
        LoadDatabaseDetails(engine_.DatabasePath, engine_.Format(),
                            [&](std::uint64_t n, std::uint64_t total, const std::string& name) {
                              if (events.due()) {
                                ShowProgress(gauge_, n, total);
                                discNumber_->setText(QStringLiteral("%1 z %2").arg(n).arg(total));
                                discName_->setText(FromUtf8(name));
                                QCoreApplication::processEvents();
                              }
                              return !closing_;
                            });
    ok = true;
  } catch (const std::exception& e) {
    if (message_)
      message_(FromUtf8(std::string(msg::kErrorPrefix) + e.what()));
  }
  loading_ = false;
  if (closing_) {
    QDialog::done(result());
    return;
  }
  details_->setEnabled(true);
  ShowProgress(gauge_, 0, 0);
  discNumber_->setText(QStringLiteral("0 z 0"));
  discName_->setText(QStringLiteral("---"));
  if (!ok)
    return;
  groups_->clear();
  for (const auto& g : details.groups) {
    auto* item =
        new QTreeWidgetItem(groups_, {ShownGroupName(FromUtf8(g.group)), QString::number(g.discs)});
    item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
  }
  const Extreme* rows[] = {&details.largestFile, &details.largestDir, &details.mostFiles};
  for (int i = 0; i < 3; ++i) {
    QTreeWidgetItem* item = extremes_->topLevelItem(i);
    item->setText(1, FromUtf8(rows[i]->path));
    item->setText(2, FromUtf8(rows[i]->value).trimmed());
  }
  FitTreeWidgetColumns(groups_, {0, 0});
  FitTreeWidgetColumns(extremes_, {150, 300});
  if (!details.damageReports.empty() && message_) {
    QString reports;
    for (const auto& r : details.damageReports)
      reports += FromUtf8(r) + QStringLiteral("\n");
    message_(reports + QStringLiteral("Započítány jsou jen položky přečtené před poškozením."));
  }
}

void TDatabazeInfoForm::done(int result) {
  // Closing while the details load: the walk stops at the next disc and the
  // window closes then.
  if (loading_) {
    closing_ = true;
    setResult(result);
    return;
  }
  QDialog::done(result);
}

}  // namespace rondo::gui
