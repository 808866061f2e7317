// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/TSpravaSkupForm.h"

#include <QByteArray>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
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

std::string Utf8(const QString& text) {
  const QByteArray bytes = text.toUtf8();
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// A settings file that cannot be written must not take the window down.
template <typename Action>
bool Guarded(QWidget* parent, Action action) {
  try {
    action();
    return true;
  } catch (const std::exception& e) {
    QMessageBox::warning(parent, QStringLiteral("Zvolte skupinu"), QString::fromUtf8(e.what()));
    return false;
  }
}

}  // namespace

TSpravaSkupForm::TSpravaSkupForm(Registry& registry, QWidget* parent)
    : QDialog(parent, Qt::Tool), registry_(registry) {
  setObjectName(QStringLiteral("TSpravaSkupForm"));
  setModal(true);
  setWindowTitle(QStringLiteral("Zvolte skupinu"));

  auto* frame = new QGroupBox(QStringLiteral(" Vyberte skupinu: "), this);
  list_ = new QListWidget(frame);
  list_->setObjectName(QStringLiteral("groupList"));
  list_->setToolTip(QStringLiteral("Skupiny k výběru"));
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  auto* inner = new QVBoxLayout(frame);
  inner->addWidget(new QLabel(QStringLiteral("K výběru:"), frame));
  inner->addWidget(list_, 1);

  ok_ = new QPushButton(QStringLiteral("OK"), this);
  ok_->setDefault(true);
  new_ = new QPushButton(QStringLiteral("Nová"), this);
  new_->setAutoDefault(false);
  delete_ = new QPushButton(QStringLiteral("Smazat"), this);
  delete_->setAutoDefault(false);
  auto* buttons = new QVBoxLayout();
  buttons->addWidget(ok_);
  buttons->addSpacing(12);
  buttons->addWidget(new_);
  buttons->addWidget(delete_);
  buttons->addStretch(1);

  auto* layout = new QHBoxLayout(this);
  layout->addWidget(frame, 1);
  layout->addLayout(buttons);

  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
  connect(new_, &QPushButton::clicked, this, &TSpravaSkupForm::addGroup);
  connect(delete_, &QPushButton::clicked, this, &TSpravaSkupForm::deleteSelected);

  std::vector<std::string> groups;
  try {
    groups = ReadGroupList(registry_);
  } catch (const std::exception& e) {
    qWarning("Group list unreadable: %s", e.what());
  }
  for (const std::string& group : groups)
    list_->addItem(QString::fromStdString(group));
  resize(320, 280);
  ApplyLanguage(this);
}

void TSpravaSkupForm::addGroup() {
  const std::optional<QString> name =
      TRenameForm::ask(this, QStringLiteral("Nová skupina..."), QStringLiteral("Název skupiny..."),
                       QString(), TypedField::kGroupName);
  if (!name)
    return;
  // Taken as typed: an empty name is a group too (a value with an empty name).
  list_->addItem(*name);
  Guarded(this, [&] { RegisterGroup(registry_, Utf8(*name), ""); });
}

void TSpravaSkupForm::deleteSelected() {
  std::vector<int> rows;
  for (int row = 0; row < list_->count(); ++row) {
    if (list_->item(row)->isSelected())
      rows.push_back(row);
  }
  const bool unregistered = Guarded(this, [&] {
    for (const int row : rows)
      UnregisterGroup(registry_, Utf8(list_->item(row)->text()));
  });
  if (!unregistered)
    return;  // the list keeps showing what the store still holds
  // From the last to the first, so the earlier rows keep their numbers.
  for (auto it = rows.rbegin(); it != rows.rend(); ++it)
    delete list_->takeItem(*it);
}

}  // namespace rondo::gui
