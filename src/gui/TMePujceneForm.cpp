// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/TMePujceneForm.h"

#include <QApplication>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "borrowed/borrowed_list.h"
#include "catalogue/messages.h"
#include "gui/TLngINISupp.h"
#include "gui/catalogue_watch.h"
#include "gui/column_layout.h"
#include "gui/qt_text.h"
#include "settings/group_kinds.h"
#include "shell/dates.h"

namespace rondo::gui {

namespace {

QIcon IconFor(BorrowedIcon icon) {
  QStyle* style = QApplication::style();
  switch (icon) {
    case BorrowedIcon::kAudio:
      return style->standardIcon(QStyle::SP_MediaVolume);
    case BorrowedIcon::kSingle:
      return style->standardIcon(QStyle::SP_DriveCDIcon);
    case BorrowedIcon::kSeveral:
      break;
  }
  return style->standardIcon(QStyle::SP_DirIcon);
}

}  // namespace

TPujceneCdForm::TPujceneCdForm(Registry& registry, std::string listPath, DisplayFormat format,
                               std::function<void(const QString&)> message, QWidget* parent)
    : QDialog(parent),
      listPath_(std::move(listPath)),
      format_(std::move(format)),
      message_(std::move(message)) {
  setObjectName(QStringLiteral("TPujceneCdForm"));
  setWindowTitle(QStringLiteral("Přidaní půjčeného CD..."));
  setModal(true);

  description_ = new QLineEdit(this);
  description_->setObjectName(QStringLiteral("descriptionEdit"));
  group_ = new QComboBox(this);
  group_->setObjectName(QStringLiteral("groupBox"));
  group_->setEditable(true);
  // "Audio CD" always exists as a kind before the list is filled.
  RegisterGroup(registry, std::string(kAudioCdGroup), "");
  for (const auto& name : ReadGroupList(registry))
    group_->addItem(FromUtf8(name));
  group_->setCurrentText(QString());
  from_ = new QLineEdit(this);
  from_->setObjectName(QStringLiteral("fromEdit"));
  date_ = new QLineEdit(this);
  date_->setObjectName(QStringLiteral("dateEdit"));
  date_->setText(FromUtf8(DateText(EncodeOleDate(NowLocal()), format_.dateTime)));
  count_ = new QSpinBox(this);
  count_->setObjectName(QStringLiteral("countBox"));
  count_->setRange(1, 100);
  count_->setValue(1);

  auto* form = new QFormLayout();
  form->addRow(QStringLiteral("CD - Popis"), description_);
  form->addRow(QStringLiteral("Skupina"), group_);
  form->addRow(QStringLiteral("Od koho"), from_);
  form->addRow(QStringLiteral("Datum půjčení"), date_);
  form->addRow(QStringLiteral("Počet CD"), count_);

  add_ = new QPushButton(QStringLiteral("Přidat"), this);
  add_->setObjectName(QStringLiteral("addButton"));
  add_->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("Storno"), this);
  cancel->setObjectName(QStringLiteral("cancelButton"));
  cancel->setAutoDefault(false);
  connect(add_, &QPushButton::clicked, this, &TPujceneCdForm::addEntry);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  auto* buttons = new QHBoxLayout();
  buttons->addStretch(1);
  buttons->addWidget(add_);
  buttons->addWidget(cancel);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addLayout(buttons);
  description_->setMinimumWidth(280);
  description_->setFocus();
  ApplyLanguage(this);
}

void TPujceneCdForm::addEntry() {
  const std::string typed = ToUtf8(date_->text());
  const auto date = ParseDate(typed, format_.dateTime.shortDate);
  if (!date) {
    if (message_)
      message_(FromUtf8(msg::NotADate(typed)));
    date_->setFocus();
    return;
  }
  BorrowedDisc disc;
  disc.description = ToUtf8(description_->text());
  disc.group = ToUtf8(group_->currentText());
  disc.from = ToUtf8(from_->text());
  disc.date = *date;
  disc.count = static_cast<std::uint8_t>(count_->value());
  try {
    LockWaitWindow waiting(this);
    const auto copy = AppendBorrowedDisc(listPath_, disc, waiting.Waiter(listPath_));
    if (copy && message_)
      message_(FromUtf8(msg::BorrowedRewritten(listPath_, *copy)));
  } catch (const std::exception& e) {
    if (message_)
      message_(FromUtf8(std::string(msg::kErrorPrefix) + e.what()));
    return;
  }
  accept();
}

TMePujceneForm::TMePujceneForm(Registry& registry, std::string listPath, DisplayFormat format,
                               std::function<void(const QString&)> message, QWidget* parent)
    : QDialog(parent),
      registry_(registry),
      listPath_(std::move(listPath)),
      format_(std::move(format)),
      message_(std::move(message)) {
  setObjectName(QStringLiteral("TMePujceneForm"));
  setWindowTitle(QStringLiteral("Mnou půjčená CD..."));
  setAttribute(Qt::WA_DeleteOnClose, false);

  auto* caption = new QLabel(QStringLiteral("Seznam půjčených CD"), this);
  QFont bold = caption->font();
  bold.setBold(true);
  caption->setFont(bold);

  list_ = new QTreeWidget(this);
  list_->setObjectName(QStringLiteral("borrowedList"));
  list_->setRootIsDecorated(false);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setHeaderLabels({QStringLiteral("CD - Popis"), QStringLiteral("Skupina"),
                          QStringLiteral("Od koho"), QStringLiteral("Datum půjčení"),
                          QStringLiteral("Počet CD")});
  list_->headerItem()->setTextAlignment(4, Qt::AlignRight | Qt::AlignVCenter);
  list_->setColumnWidth(0, 180);

  add_ = new QPushButton(QStringLiteral("Přidat..."), this);
  add_->setObjectName(QStringLiteral("addButton"));
  remove_ = new QPushButton(QStringLiteral("Ubrat"), this);
  remove_->setObjectName(QStringLiteral("removeButton"));
  ok_ = new QPushButton(QStringLiteral("OK"), this);
  ok_->setObjectName(QStringLiteral("okButton"));
  ok_->setDefault(true);
  connect(add_, &QPushButton::clicked, this, &TMePujceneForm::addEntry);
  connect(remove_, &QPushButton::clicked, this, &TMePujceneForm::removeEntry);
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);

  auto* countBox = new QGroupBox(QStringLiteral("Počet CD"), this);
  auto* countLayout = new QHBoxLayout(countBox);
  count_ = new QLabel(QStringLiteral("0"), countBox);
  count_->setObjectName(QStringLiteral("countLabel666"));
  count_->setAlignment(Qt::AlignCenter);
  countLayout->addWidget(count_);

  auto* side = new QVBoxLayout();
  side->addWidget(add_);
  side->addWidget(remove_);
  side->addWidget(countBox);
  side->addStretch(1);
  side->addWidget(ok_);
  auto* body = new QHBoxLayout();
  body->addWidget(list_, 1);
  body->addLayout(side);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(caption);
  layout->addLayout(body, 1);
  resize(600, 320);
  reload();
  ApplyLanguage(this);
}

void TMePujceneForm::reload() {
  list_->clear();
  BorrowedList loaded;
  try {
    loaded = LoadBorrowedList(listPath_);
  } catch (const std::exception& e) {
    if (message_)
      message_(FromUtf8(std::string(msg::kErrorPrefix) + e.what()));
  }
  for (const auto& disc : loaded.discs) {
    auto* item = new QTreeWidgetItem(
        list_, {FromUtf8(disc.description), FromUtf8(disc.group), FromUtf8(disc.from),
                FromUtf8(DateText(disc.date, format_.dateTime)), QString::number(disc.count)});
    item->setIcon(0, IconFor(IconOf(disc)));
    item->setTextAlignment(4, Qt::AlignRight | Qt::AlignVCenter);
  }
  FitTreeWidgetColumns(list_, {180});
  count_->setText(QString::number(list_->topLevelItemCount()));
  if (loaded.strayBytes != 0 && message_)
    message_(FromUtf8(msg::BorrowedStrayBytes(listPath_, loaded.strayBytes)));
}

void TMePujceneForm::addEntry() {
  TPujceneCdForm form(registry_, listPath_, format_, message_, this);
  if (entryHook) {
    entryHook(form);
  } else {
    form.exec();
  }
  // Reloaded whether an entry was added or not.
  reload();
}

void TMePujceneForm::removeEntry() {
  QTreeWidgetItem* selected = list_->currentItem();
  if (selected == nullptr || !selected->isSelected())
    return;
  try {
    LockWaitWindow waiting(this);
    RemoveBorrowedDiscs(listPath_, ToUtf8(selected->text(0)), waiting.Waiter(listPath_));
  } catch (const std::exception& e) {
    if (message_)
      message_(FromUtf8(std::string(msg::kErrorPrefix) + e.what()));
  }
  reload();
}

}  // namespace rondo::gui
