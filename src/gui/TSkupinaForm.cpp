// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/TSkupinaForm.h"

#include <QByteArray>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <exception>
#include <string>
#include <vector>

#include "gui/TLngINISupp.h"
#include "gui/TRenameForm.h"
#include "settings/group_kinds.h"

namespace rondo::gui {

namespace {

QString Unassigned() {
  return QString::fromUtf8(kUnassignedGroup.data(),
                           static_cast<qsizetype>(kUnassignedGroup.size()));
}

QPushButton* NarrowButton(const QString& text, QWidget* parent) {
  auto* button = new QPushButton(text, parent);
  button->setFixedWidth(28);
  button->setAutoDefault(false);
  return button;
}

// An entry shows a name in the interface's language ("Nezařazeno" is
// translated) and keeps the stored name for the caller.
void AddEntry(QListWidget* list, const QString& stored) {
  auto* item = new QListWidgetItem(ShownGroupName(stored));
  item->setData(Qt::UserRole, stored);
  list->addItem(item);
}

QString StoredName(const QListWidgetItem* item) {
  const QVariant stored = item->data(Qt::UserRole);
  return stored.isValid() ? stored.toString() : item->text();
}

// The one selected entry of a single-selection list, or null.
QListWidgetItem* SelectedEntry(QListWidget* list) {
  const QList<QListWidgetItem*> selected = list->selectedItems();
  return selected.isEmpty() ? nullptr : selected.first();
}

// Moves the selected entry of from to the end of to; false when nothing was
// selected. The source list is left without a selection, so a second press
// of the button moves nothing.
bool MoveSelected(QListWidget* from, QListWidget* to) {
  QListWidgetItem* item = SelectedEntry(from);
  if (item == nullptr)
    return false;
  to->addItem(item->clone());
  delete from->takeItem(from->row(item));
  from->clearSelection();
  return true;
}

}  // namespace

TSkupinaForm::TSkupinaForm(Registry& registry, QWidget* parent)
    : QDialog(parent, Qt::Tool), registry_(registry) {
  setObjectName(QStringLiteral("TSkupinaForm"));
  setModal(true);
  setWindowTitle(QStringLiteral("Zvolte skupinu"));

  auto* frame = new QGroupBox(QStringLiteral(" Vyberte skupinu: "), this);

  chosen_ = new QListWidget(frame);
  chosen_->setObjectName(QStringLiteral("chosenList"));
  chosen_->setToolTip(QStringLiteral("Vybrané skupiny"));
  chosen_->setSelectionMode(QAbstractItemView::SingleSelection);
  AddEntry(chosen_, Unassigned());

  available_ = new QListWidget(frame);
  available_->setObjectName(QStringLiteral("availableList"));
  available_->setToolTip(QStringLiteral("Skupiny k výběru"));
  available_->setSelectionMode(QAbstractItemView::SingleSelection);

  add_ = NarrowButton(QStringLiteral("<"), frame);
  remove_ = NarrowButton(QStringLiteral(">"), frame);
  new_ = NarrowButton(QStringLiteral("N"), frame);
  new_->setToolTip(QStringLiteral("Přidat novou"));

  auto* middle = new QVBoxLayout();
  middle->addStretch(1);
  middle->addWidget(add_);
  middle->addWidget(remove_);
  middle->addWidget(new_);
  middle->addStretch(1);

  auto* grid = new QGridLayout(frame);
  grid->addWidget(new QLabel(QStringLiteral("Vybrané:"), frame), 0, 0);
  grid->addWidget(new QLabel(QStringLiteral("K výběru:"), frame), 0, 2);
  grid->addWidget(chosen_, 1, 0);
  grid->addLayout(middle, 1, 1);
  grid->addWidget(available_, 1, 2);

  ok_ = new QPushButton(QStringLiteral("OK"), this);
  ok_->setDefault(true);
  cancel_ = new QPushButton(QStringLiteral("Zrušit"), this);
  cancel_->setAutoDefault(false);
  auto* buttons = new QVBoxLayout();
  buttons->addWidget(ok_);
  buttons->addWidget(cancel_);
  buttons->addStretch(1);

  auto* layout = new QHBoxLayout(this);
  layout->addWidget(frame, 1);
  layout->addLayout(buttons);

  connect(add_, &QPushButton::clicked, this, &TSkupinaForm::addSelected);
  connect(remove_, &QPushButton::clicked, this, &TSkupinaForm::removeSelected);
  connect(new_, &QPushButton::clicked, this, &TSkupinaForm::addNewName);
  connect(available_, &QListWidget::itemClicked, this, &TSkupinaForm::addSelected);
  connect(chosen_, &QListWidget::itemClicked, this, &TSkupinaForm::removeSelected);
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

  std::vector<std::string> groups;
  try {
    groups = ReadGroupList(registry_);
  } catch (const std::exception& e) {
    // Without the group list the picker still works with new names.
    qWarning("Group list unreadable: %s", e.what());
  }
  for (const std::string& group : groups)
    AddEntry(available_, QString::fromStdString(group));
  resize(420, 260);
  // Tab goes from the chosen list through the buttons between the lists.
  QWidget::setTabOrder(chosen_, add_);
  QWidget::setTabOrder(add_, remove_);
  QWidget::setTabOrder(remove_, new_);
  QWidget::setTabOrder(new_, available_);
  ApplyLanguage(this);
}

QStringList TSkupinaForm::chosen() const {
  QStringList texts;
  for (int row = 0; row < chosen_->count(); ++row)
    texts.append(StoredName(chosen_->item(row)));
  return texts;
}

void TSkupinaForm::setChosen(const QStringList& groups) {
  chosen_->clear();
  for (const QString& group : groups)
    AddEntry(chosen_, group);
  if (chosen_->count() == 0)
    AddEntry(chosen_, Unassigned());
}

QString TSkupinaForm::storedGroups() const {
  std::vector<std::string> names;
  for (const QString& text : chosen()) {
    const QByteArray bytes = text.toUtf8();
    names.emplace_back(bytes.constData(), static_cast<std::size_t>(bytes.size()));
  }
  return QString::fromStdString(JoinChosenGroups(names));
}

void TSkupinaForm::addSelected() {
  MoveSelected(available_, chosen_);
  // "<" always drops the placeholder, even when nothing was selected to move.
  if (chosen_->count() > 0 && StoredName(chosen_->item(0)) == Unassigned())
    delete chosen_->takeItem(0);
}

void TSkupinaForm::removeSelected() {
  MoveSelected(chosen_, available_);
  if (chosen_->count() == 0)
    AddEntry(chosen_, Unassigned());
}

void TSkupinaForm::addNewName() {
  // The new name is only offered for choosing; the picker registers nothing.
  const std::optional<QString> name =
      TRenameForm::ask(this, QStringLiteral("Nové jméno..."), QStringLiteral("Nové jméno:"),
                       QString(), TypedField::kGroupName);
  if (name)
    AddEntry(available_, *name);
}

}  // namespace rondo::gui
