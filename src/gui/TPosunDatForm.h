// SPDX-License-Identifier: GPL-3.0-or-later
// The progress window of a comment or group change of a file or directory:
// while the data after the changed record moves, one bar shows it being
// read and one shows it being written out.
#pragma once

#include <QWidget>
#include <array>
#include <cstdint>

class QProgressBar;

namespace rondo::gui {

class TPosunDatForm : public QWidget {
  Q_OBJECT

 public:
  explicit TPosunDatForm(QWidget* parent = nullptr);

  static constexpr int kBarCount = 2;

  // Bar 0 "Načítání dat", bar 1 "Ukládání dat".
  void setProgress(int bar, std::uint64_t position, std::uint64_t maximum);
  QProgressBar* bar(int index) const { return bars_[static_cast<std::size_t>(index)]; }

 private:
  std::array<QProgressBar*, kBarCount> bars_{};
};

}  // namespace rondo::gui
