// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/TInformaceForm.h"

#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollBar>
#include <QVBoxLayout>

#include "gui/TLngINISupp.h"

namespace rondo::gui {

TInformaceForm::TInformaceForm(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint) {
  setObjectName(QStringLiteral("TInformaceForm"));
  setWindowTitle(QStringLiteral("Informace"));
  setModal(false);
  // The window only reports; it never takes the focus from the work.
  setAttribute(Qt::WA_ShowWithoutActivating);

  text_ = new QPlainTextEdit(this);
  text_->setObjectName(QStringLiteral("informaceText"));
  text_->setReadOnly(true);
  text_->setLineWrapMode(QPlainTextEdit::NoWrap);
  text_->setFocusPolicy(Qt::NoFocus);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->addWidget(text_);
  resize(380, 220);
  ApplyLanguage(this);
}

void TInformaceForm::addLine(const QString& line) {
  text_->appendPlainText(line);
  QScrollBar* bar = text_->verticalScrollBar();
  bar->setValue(bar->maximum());
}

QStringList TInformaceForm::lines() const {
  QString all = text_->toPlainText();
  if (all.isEmpty())
    return {};
  return all.split(QLatin1Char('\n'));
}

void TInformaceForm::placeTopLeft() {
  QScreen* screen = parentWidget() != nullptr ? parentWidget()->screen() : nullptr;
  if (screen == nullptr)
    screen = QGuiApplication::primaryScreen();
  if (screen == nullptr)
    return;
  move(screen->availableGeometry().topLeft());
}

}  // namespace rondo::gui
