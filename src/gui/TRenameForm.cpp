// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/TRenameForm.h"

#include <QColor>
#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/TLngINISupp.h"
#include "gui/typed_input.h"

namespace rondo::gui {

namespace {

// Typed names are shown bold in maroon, like every edit field of the program.
void MarkAsInput(QLineEdit* edit) {
  QFont font = edit->font();
  font.setBold(true);
  edit->setFont(font);
  QPalette palette = edit->palette();
  palette.setColor(QPalette::Text, QColor(0x80, 0x00, 0x00));
  edit->setPalette(palette);
}

}  // namespace

TRenameForm::TRenameForm(QWidget* parent) : QDialog(parent, Qt::Tool) {
  setObjectName(QStringLiteral("TRenameForm"));
  setModal(true);
  setWindowTitle(QStringLiteral("Nové jméno..."));

  label_ = new QLabel(QStringLiteral("Nové jméno:"), this);
  QFont bold = label_->font();
  bold.setBold(true);
  label_->setFont(bold);

  edit_ = new QLineEdit(this);
  edit_->setObjectName(QStringLiteral("nameEdit"));
  MarkAsInput(edit_);
  edit_->setMinimumWidth(260);
  label_->setBuddy(edit_);

  ok_ = new QPushButton(QStringLiteral("OK"), this);
  ok_->setDefault(true);
  cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
  cancel_->setAutoDefault(false);
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

  auto* buttons = new QHBoxLayout();
  buttons->addStretch(1);
  buttons->addWidget(ok_);
  buttons->addWidget(cancel_);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(label_);
  layout->addWidget(edit_);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  edit_->setFocus();
  ApplyLanguage(this);
}

void TRenameForm::setCaption(const QString& caption) {
  setWindowTitle(caption);
}

void TRenameForm::setLabel(const QString& label) {
  label_->setText(label);
}

QString TRenameForm::text() const {
  return edit_->text();
}

void TRenameForm::setText(const QString& text) {
  edit_->setText(text);
}

void TRenameForm::setField(TypedField field) {
  field_ = field;
  LimitToField(edit_, field);
}

void TRenameForm::accept() {
  if (field_ && !StorableOrSay(this, edit_->text(), *field_, std::nullopt, messageHook))
    return;  // the prompt stays open with the name to mend
  QDialog::accept();
}

std::optional<QString> TRenameForm::ask(QWidget* parent, const QString& caption,
                                        const QString& label, const QString& text,
                                        std::optional<TypedField> field) {
  TRenameForm form(parent);
  if (field)
    form.setField(*field);
  form.setCaption(caption);
  form.setLabel(label);
  form.setText(text);
  // The offered text is selected: typing replaces it, OK keeps it.
  form.edit()->selectAll();
  if (form.exec() != QDialog::Accepted)
    return std::nullopt;
  return form.text();
}

}  // namespace rondo::gui
