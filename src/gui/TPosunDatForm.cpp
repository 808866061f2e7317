// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/TPosunDatForm.h"

#include <QGroupBox>
#include <QProgressBar>
#include <QVBoxLayout>

#include "gui/TLngINISupp.h"
#include "gui/TPrepocetForm.h"

namespace rondo::gui {

TPosunDatForm::TPosunDatForm(QWidget* parent)
    : QWidget(parent,
              Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  setObjectName(QStringLiteral("TPosunDatForm"));
  setWindowTitle(QStringLiteral("Posunutí datového bloku"));
  auto* layout = new QVBoxLayout(this);
  const char* frames[kBarCount] = {"Načítání dat", "Ukládání dat"};
  for (int i = 0; i < kBarCount; ++i) {
    auto* frame = new QGroupBox(QString::fromUtf8(frames[i]), this);
    auto* inner = new QVBoxLayout(frame);
    auto* gauge = new QProgressBar(frame);
    gauge->setObjectName(QStringLiteral("gauge%1").arg(i + 1));
    ShowProgress(gauge, 0, 0);
    inner->addWidget(gauge);
    layout->addWidget(frame);
    bars_[static_cast<std::size_t>(i)] = gauge;
  }
  setMinimumWidth(360);
  ApplyLanguage(this);
}

void TPosunDatForm::setProgress(int bar, std::uint64_t position, std::uint64_t maximum) {
  if (bar < 0 || bar >= kBarCount)
    return;
  ShowProgress(bars_[static_cast<std::size_t>(bar)], position, maximum);
}

}  // namespace rondo::gui
