// SPDX-License-Identifier: GPL-3.0-or-later
// The group picker: the chosen groups on the left, the group list on the
// right, "<" and ">" to move a group across, "N" for a new name.
#pragma once

#include <QDialog>
#include <QStringList>

#include "settings/registry.h"

class QListWidget;
class QPushButton;

namespace rondo::gui {

class TSkupinaForm : public QDialog {
  Q_OBJECT

 public:
  explicit TSkupinaForm(Registry& registry, QWidget* parent = nullptr);

  // The names of the chosen list as stored, "Nezařazeno" included when it
  // is the placeholder (whatever the language shows for it).
  QStringList chosen() const;
  // Replaces the chosen list (an empty list shows "Nezařazeno").
  void setChosen(const QStringList& groups);
  // The chosen groups in their stored form ("A;B", "Nezařazeno" left out).
  QString storedGroups() const;

  QListWidget* chosenList() const { return chosen_; }
  QListWidget* availableList() const { return available_; }
  QPushButton* addButton() const { return add_; }        // "<"
  QPushButton* removeButton() const { return remove_; }  // ">"
  QPushButton* newButton() const { return new_; }        // "N"
  QPushButton* okButton() const { return ok_; }
  QPushButton* cancelButton() const { return cancel_; }  // "Zrušit"

 public slots:
  void addSelected();     // "<"
  void removeSelected();  // ">"
  void addNewName();      // "N"

 private:
  Registry& registry_;
  QListWidget* chosen_ = nullptr;
  QListWidget* available_ = nullptr;
  QPushButton* add_ = nullptr;
  QPushButton* remove_ = nullptr;
  QPushButton* new_ = nullptr;
  QPushButton* ok_ = nullptr;
  QPushButton* cancel_ = nullptr;
};

}  // namespace rondo::gui
