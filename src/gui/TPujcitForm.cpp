// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/TPujcitForm.h"

#include <QColor>
#include <QFont>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/TLngINISupp.h"
#include "gui/typed_input.h"

namespace rondo::gui {

// A tool window with a caption but no close button: the prompt ends only
// with "OK", "Storno" or Esc.
TPujcitForm::TPujcitForm(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  setObjectName(QStringLiteral("TPujcitForm"));
  setModal(true);
  setWindowTitle(QStringLiteral("Pujčit komu?"));

  frame_ = new QGroupBox(QStringLiteral("Půjčení CD"), this);
  label_ = new QLabel(QStringLiteral("Komu:"), frame_);
  edit_ = new QLineEdit(frame_);
  edit_->setObjectName(QStringLiteral("textEdit"));
  QFont font = edit_->font();
  font.setBold(true);
  edit_->setFont(font);
  QPalette palette = edit_->palette();
  palette.setColor(QPalette::Text, QColor(0x80, 0x00, 0x00));
  edit_->setPalette(palette);
  edit_->setMinimumWidth(220);
  label_->setBuddy(edit_);

  auto* row = new QHBoxLayout(frame_);
  row->addWidget(label_);
  row->addWidget(edit_, 1);

  ok_ = new QPushButton(QStringLiteral("OK"), this);
  ok_->setDefault(true);
  cancel_ = new QPushButton(QStringLiteral("Storno"), this);
  cancel_->setAutoDefault(false);
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

  auto* buttons = new QHBoxLayout();
  buttons->addStretch(1);
  buttons->addWidget(ok_);
  buttons->addWidget(cancel_);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(frame_);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  edit_->setFocus();
  ApplyLanguage(this);
}

void TPujcitForm::setCaption(const QString& caption) {
  setWindowTitle(caption);
}

void TPujcitForm::setFrameTitle(const QString& title) {
  frame_->setTitle(title);
}

void TPujcitForm::setLabel(const QString& label) {
  label_->setText(label);
}

QString TPujcitForm::text() const {
  return edit_->text();
}

void TPujcitForm::setText(const QString& text) {
  edit_->setText(text);
}

void TPujcitForm::setField(TypedField field, std::optional<std::size_t> width) {
  field_ = field;
  width_ = width;
  LimitToField(edit_, field, width);
}

void TPujcitForm::accept() {
  if (field_ && !StorableOrSay(this, edit_->text(), *field_, width_, messageHook))
    return;  // the prompt stays open with the text to mend
  QDialog::accept();
}

}  // namespace rondo::gui
