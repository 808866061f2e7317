// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/TSplashForm.h"

#include <QApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

#include "gui/TLngINISupp.h"
#include "version.h"

namespace rondo::gui {

namespace {

// "Verze 4.4": the word from the language file, the number always this
// program's, also when the file was completed by an older version.
QString WithVersion(QString text) {
  qsizetype end = text.size();
  while (end > 0 && (text[end - 1].isDigit() || text[end - 1] == QLatin1Char('.')))
    --end;
  text.truncate(end);
  if (!text.isEmpty() && !text.endsWith(QLatin1Char(' ')))
    text += QLatin1Char(' ');
  return text + QString::fromUtf8(kVersion);
}

}  // namespace

TSplashForm::TSplashForm(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setObjectName(QStringLiteral("TSplashForm"));
  setAttribute(Qt::WA_ShowWithoutActivating);
  setFixedSize(420, 220);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(28, 24, 28, 20);
  layout->setSpacing(6);

  auto* disc = new QLabel(this);
  disc->setPixmap(QApplication::style()->standardIcon(QStyle::SP_DriveCDIcon).pixmap(48, 48));
  layout->addWidget(disc, 0, Qt::AlignLeft);

  title_ = new QLabel(QStringLiteral("QEL Rondotheka"), this);
  QFont titleFont = title_->font();
  titleFont.setPointSize(titleFont.pointSize() * 2);
  titleFont.setBold(true);
  title_->setFont(titleFont);
  layout->addWidget(title_);

  version_ = new QLabel(WithVersion(QStringLiteral("Verze")), this);
  QFont versionFont = version_->font();
  versionFont.setPointSize(versionFont.pointSize() + 2);
  version_->setFont(versionFont);
  layout->addWidget(version_);

  layout->addStretch(1);
  auto* note = new QLabel(QStringLiteral("Katalog vaší sbírky CD, DVD a dalších disků"), this);
  layout->addWidget(note);

  for (QLabel* label : {title_, version_, note}) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    label->setPalette(palette);
  }
  ApplyLanguage(this);
  version_->setText(WithVersion(version_->text()));
}

void TSplashForm::centreOnScreen() {
  QScreen* screen = this->screen();
  if (screen == nullptr)
    screen = QGuiApplication::primaryScreen();
  if (screen == nullptr)
    return;
  QRect frame = frameGeometry();
  frame.moveCenter(screen->availableGeometry().center());
  move(frame.topLeft());
}

void TSplashForm::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  QLinearGradient gradient(rect().topLeft(), rect().bottomRight());
  gradient.setColorAt(0.0, QColor(22, 58, 112));
  gradient.setColorAt(1.0, QColor(64, 128, 190));
  painter.fillRect(rect(), gradient);
  painter.setPen(QColor(12, 30, 60));
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace rondo::gui
