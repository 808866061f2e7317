// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/TPrepocetForm.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFormLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "catalogue/messages.h"
#include "gui/TLngINISupp.h"
#include "gui/qt_text.h"

namespace rondo::gui {

namespace {

constexpr int kBarSteps = 1000;

}  // namespace

void ShowProgress(QProgressBar* bar, std::uint64_t position, std::uint64_t maximum) {
  if (bar->maximum() != kBarSteps || bar->minimum() != 0)
    bar->setRange(0, kBarSteps);
  int value = 0;
  if (maximum > 0) {
    const long double part =
        static_cast<long double>(std::min(position, maximum)) / static_cast<long double>(maximum);
    value = static_cast<int>(part * kBarSteps);
  }
  bar->setValue(value);
}

bool ThrottledEvents::due() {
  if (started_ && clock_.elapsed() < interval_)
    return false;
  started_ = true;
  clock_.start();
  return true;
}

void ThrottledEvents::pump() {
  if (due())
    QCoreApplication::processEvents();
}

TPrepocetForm::TPrepocetForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint) {
  setObjectName(QStringLiteral("TPrepocetForm"));
  setWindowTitle(QStringLiteral("Přepočítávám strukturu..."));
  setModal(false);

  auto* info = new QGroupBox(QStringLiteral("Informace o průběhu"), this);
  auto* facts = new QFormLayout(info);
  disc_ = new QLabel(info);
  disc_->setObjectName(QStringLiteral("discLabel666"));
  dirs_ = new QLabel(QStringLiteral("0"), info);
  dirs_->setObjectName(QStringLiteral("dirsLabel666"));
  files_ = new QLabel(QStringLiteral("0"), info);
  files_->setObjectName(QStringLiteral("filesLabel666"));
  facts->addRow(QStringLiteral("Aktuální CD:"), disc_);
  facts->addRow(QStringLiteral("Adresářů:"), dirs_);
  facts->addRow(QStringLiteral("Souborů:"), files_);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(info);
  const char* captions[kBarCount] = {"Načtení struktury do paměti",
                                     "Přepočítání velikosti adresářové struktury",
                                     "Uložení do databáze"};
  for (int i = 0; i < kBarCount; ++i) {
    layout->addWidget(new QLabel(QString::fromUtf8(captions[i]), this));
    auto* bar = new QProgressBar(this);
    bar->setObjectName(QStringLiteral("bar%1").arg(i));
    bar->setRange(0, kBarSteps);
    bar->setValue(0);
    bars_[static_cast<std::size_t>(i)] = bar;
    layout->addWidget(bar);
  }

  cancel_ = new QPushButton(QStringLiteral("Zrušit"), this);
  cancel_->setObjectName(QStringLiteral("cancelButton"));
  auto* row = new QHBoxLayout();
  row->addStretch(1);
  row->addWidget(cancel_);
  row->addStretch(1);
  layout->addLayout(row);
  connect(cancel_, &QPushButton::clicked, this, &TPrepocetForm::askToCancel);
  resize(420, 300);
  ApplyLanguage(this);
}

void TPrepocetForm::setDisc(const QString& description, std::uint16_t dirs, std::uint16_t files) {
  disc_->setText(description);
  dirs_->setText(QString::number(dirs));
  files_->setText(QString::number(files));
}

void TPrepocetForm::setProgress(int bar, std::uint64_t position, std::uint64_t maximum) {
  if (bar < 0 || bar >= kBarCount)
    return;
  ShowProgress(bars_[static_cast<std::size_t>(bar)], position, maximum);
}

void TPrepocetForm::centreOnScreen() {
  QScreen* screen = parentWidget() != nullptr ? parentWidget()->screen() : nullptr;
  if (screen == nullptr)
    screen = QGuiApplication::primaryScreen();
  if (screen == nullptr)
    return;
  QRect frame = frameGeometry();
  frame.moveCenter(screen->availableGeometry().center());
  move(frame.topLeft());
}

void TPrepocetForm::askToCancel() {
  if (cancelRequested_)
    return;
  const QString question = FromUtf8(msg::kRecalcCancelQuestion);
  bool yes = false;
  if (confirmHook) {
    yes = confirmHook(question);
  } else {
    yes = QMessageBox::question(this, windowTitle(), question, QMessageBox::Yes | QMessageBox::No,
                                QMessageBox::No) == QMessageBox::Yes;
  }
  if (yes) {
    cancelRequested_ = true;
    cancel_->setEnabled(false);
  }
}

void TPrepocetForm::closeEvent(QCloseEvent* event) {
  event->ignore();
  askToCancel();
}

void TPrepocetForm::reject() {
  askToCancel();
}

}  // namespace rondo::gui
