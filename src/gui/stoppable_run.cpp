// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/stoppable_run.h"

#include <QAction>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>
#include <utility>

namespace rondo::gui {

namespace {

// How often a running walk lets the window's events run: often enough for
// the window to stay alive and "Zastavit" to be quick.
constexpr qint64 kEventsEveryMs = 30;

}  // namespace

StoppableRun::StoppableRun(QPushButton* button, QProgressBar* gauge)
    : button_(button),
      gauge_(gauge),
      stopCaption_(new QAction(QStringLiteral("Zastavit"), button->window())) {
  stopCaption_->setObjectName(QStringLiteral("stopCaption"));
  gauge_->setRange(0, kGaugeSteps);
  gauge_->setValue(0);
  gauge_->setTextVisible(false);
}

void StoppableRun::begin() {
  busy_ = true;
  running_ = true;
  sinceEvents_.invalidate();
  if (caption_.isNull())
    caption_ = button_->text();
  button_->setText(stopCaption_->text());
}

void StoppableRun::stop() {
  busy_ = false;
  if (!caption_.isNull()) {
    button_->setText(caption_);
    caption_ = QString();
  }
  gauge_->setValue(0);
}

bool StoppableRun::eventsDue() {
  if (!busy_ || (sinceEvents_.isValid() && sinceEvents_.elapsed() < kEventsEveryMs))
    return false;
  sinceEvents_.start();
  return true;
}

void StoppableRun::showProgress(std::uint64_t position, std::uint64_t total, int from, int share) {
  if (total == 0)
    return;
  const std::uint64_t part = std::min(position, total) * static_cast<std::uint64_t>(share) / total;
  gauge_->setValue(from + static_cast<int>(part));
}

bool StoppableRun::closeLater() {
  if (!running_)
    return false;
  closeAfterRun_ = true;
  return true;
}

bool StoppableRun::closeDue() {
  return std::exchange(closeAfterRun_, false);
}

}  // namespace rondo::gui
