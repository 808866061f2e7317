// SPDX-License-Identifier: GPL-3.0-or-later
// "Informace o databázi...": the figures of the open catalogue, computed
// when the window is shown, and on request the details read from every
// disc's items.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <vector>

#include "catalogue/engine.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTreeWidget;

namespace rondo::gui {

class TDatabazeInfoForm : public QDialog {
  Q_OBJECT

 public:
  // run performs an engine operation the way the main window does (its
  // errors shown there); message shows a failure of the details.
  TDatabazeInfoForm(Engine& engine, std::function<void(OperationCode)> run,
                    std::function<void(const QString&)> message, QWidget* parent = nullptr);

  // The value label beside each of the nine captions, in their order.
  const std::vector<QLabel*>& valueLabels() const { return values_; }
  QTreeWidget* groupList() const { return groups_; }
  QTreeWidget* extremeList() const { return extremes_; }
  QPushButton* detailsButton() const { return details_; }
  QProgressBar* gauge() const { return gauge_; }
  QLabel* discNumberLabel() const { return discNumber_; }
  QLabel* discNameLabel() const { return discName_; }

 public slots:
  // Operation 17, then the figures shown.
  void refresh();
  // "Načíst detaily".
  void loadDetails();

 protected:
  void showEvent(QShowEvent* event) override;
  void done(int result) override;

 private:
  Engine& engine_;
  std::function<void(OperationCode)> run_;
  std::function<void(const QString&)> message_;
  std::vector<QLabel*> values_;
  QTreeWidget* groups_ = nullptr;
  QTreeWidget* extremes_ = nullptr;
  QPushButton* details_ = nullptr;
  QProgressBar* gauge_ = nullptr;
  QLabel* discNumber_ = nullptr;
  QLabel* discName_ = nullptr;
  bool shownOnce_ = false;
  bool loading_ = false;
  bool closing_ = false;
};

}  // namespace rondo::gui
