// SPDX-License-Identifier: GPL-3.0-or-later
// Group management: the group list with "Nová" and "Smazat".
#pragma once

#include <QDialog>

#include "settings/registry.h"

class QListWidget;
class QPushButton;

namespace rondo::gui {

class TSpravaSkupForm : public QDialog {
  Q_OBJECT

 public:
  explicit TSpravaSkupForm(Registry& registry, QWidget* parent = nullptr);

  QListWidget* groupList() const { return list_; }
  QPushButton* okButton() const { return ok_; }
  QPushButton* newButton() const { return new_; }        // "Nová"
  QPushButton* deleteButton() const { return delete_; }  // "Smazat"

 public slots:
  void addGroup();
  void deleteSelected();

 private:
  Registry& registry_;
  QListWidget* list_ = nullptr;
  QPushButton* ok_ = nullptr;
  QPushButton* new_ = nullptr;
  QPushButton* delete_ = nullptr;
};

}  // namespace rondo::gui
