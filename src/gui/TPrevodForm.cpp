// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/TPrevodForm.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "catalogue/conversion.h"
#include "catalogue/messages.h"
#include "gui/TLngINISupp.h"
#include "gui/TPrepocetForm.h"
#include "gui/catalogue_watch.h"

namespace rondo::gui {

TPrevodForm::TPrevodForm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("TPrevodForm"));
  setWindowTitle(QStringLiteral("Převod databáze"));
  setModal(true);

  auto* direction = new QGroupBox(QStringLiteral("Odkud/Kam:"), this);
  auto* directionLayout = new QVBoxLayout(direction);
  oldToCurrent_ = new QRadioButton(QStringLiteral("v 3.x -> v. 4.0"), direction);
  oldToCurrent_->setObjectName(QStringLiteral("oldToCurrentButton"));
  oldToCurrent_->setChecked(true);
  olderFour_ = new QRadioButton(QStringLiteral("v 4.0-3 -> v. 4.4"), direction);
  olderFour_->setObjectName(QStringLiteral("olderFourButton"));
  directionLayout->addWidget(oldToCurrent_);
  directionLayout->addWidget(olderFour_);

  auto* pathBox = new QGroupBox(QStringLiteral("Cesta k databázi:"), this);
  auto* pathLayout = new QHBoxLayout(pathBox);
  path_ = new QLineEdit(pathBox);
  path_->setObjectName(QStringLiteral("pathEdit"));
  path_->setMinimumWidth(320);
  auto* browse = new QPushButton(QStringLiteral("..."), pathBox);
  browse->setObjectName(QStringLiteral("browseButton"));
  browse->setAutoDefault(false);
  connect(browse, &QPushButton::clicked, this, &TPrevodForm::choosePath);
  pathLayout->addWidget(path_, 1);
  pathLayout->addWidget(browse);

  auto* progress = new QGroupBox(QStringLiteral("Změna formátu databáze:"), this);
  auto* progressLayout = new QVBoxLayout(progress);
  gauge_ = new QProgressBar(progress);
  gauge_->setObjectName(QStringLiteral("gauge"));
  ShowProgress(gauge_, 0, 0);
  auto* discRow = new QHBoxLayout();
  discRow->addWidget(new QLabel(QStringLiteral("Aktuální CD:"), progress));
  disc_ = new QLabel(QStringLiteral("---"), progress);
  disc_->setObjectName(QStringLiteral("discLabel666"));
  discRow->addWidget(disc_, 1);
  progressLayout->addWidget(gauge_);
  progressLayout->addLayout(discRow);

  start_ = new QPushButton(QStringLiteral("Start"), this);
  start_->setObjectName(QStringLiteral("startButton"));
  start_->setDefault(true);
  connect(start_, &QPushButton::clicked, this, &TPrevodForm::start);
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("okButton"));
  ok->setAutoDefault(false);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  auto* buttons = new QHBoxLayout();
  buttons->addStretch(1);
  buttons->addWidget(start_);
  buttons->addWidget(ok);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(direction);
  layout->addWidget(pathBox);
  layout->addWidget(progress);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  ApplyLanguage(this);
}

void TPrevodForm::setPath(const QString& path) {
  path_->setText(path);
}

QString TPrevodForm::path() const {
  return path_->text();
}

void TPrevodForm::message(const QString& text) {
  if (messageHook) {
    messageHook(text);
  } else {
    QMessageBox::information(this, windowTitle(), text);
  }
}

void TPrevodForm::choosePath() {
  QString chosen;
  if (chooseFileHook) {
    chosen = chooseFileHook();
  } else {
    chosen = QFileDialog::getOpenFileName(this, windowTitle(), QFileInfo(path()).absolutePath(),
                                          QStringLiteral("Databáze (*.big);;Všechny soubory (*)"));
  }
  if (!chosen.isEmpty() && QFileInfo::exists(chosen))
    setPath(chosen);
}

bool TPrevodForm::start() {
  if (running_)
    return false;
  running_ = true;
  start_->setEnabled(false);
  bool done = false;
  if (oldToCurrent_->isChecked()) {
    ThrottledEvents events;
    std::uint64_t maximum = 0;
    ConversionProgress progress;
    progress.disc = [&](const std::string& description, std::uint64_t max) {
      maximum = max;
      disc_->setText(
          QString::fromUtf8(description.data(), static_cast<qsizetype>(description.size())));
      ShowProgress(gauge_, 0, maximum);
      events.pump();
    };
    progress.converted = [&](std::uint64_t converted) {
      if (events.due()) {
        ShowProgress(gauge_, converted, maximum);
        QCoreApplication::processEvents();
      }
    };
    LockWaitWindow waiting(this);
    progress.wait = waiting.Waiter(path().toStdString());
    try {
      ConvertOldCatalogue(path().toStdString(), progress);
      done = true;
      converted_ = true;
    } catch (const AlreadyCurrentFormat& e) {
      message(QString::fromUtf8(e.what()));
    } catch (const std::exception& e) {
      message(QString::fromUtf8(std::string(msg::kErrorPrefix) + e.what() +
                                std::string(msg::kFileUnchanged)));
    }
  }
  // The other direction has nothing to convert: the formats are the same.
  if (done || !oldToCurrent_->isChecked())
    message(QStringLiteral("OK!"));
  ShowProgress(gauge_, 0, 0);
  disc_->setText(QStringLiteral("---"));
  start_->setEnabled(true);
  running_ = false;
  return done;
}

void TPrevodForm::reject() {
  // There is no stopping a conversion once it runs.
  if (!running_)
    QDialog::reject();
}

}  // namespace rondo::gui
