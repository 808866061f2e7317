// SPDX-License-Identifier: GPL-3.0-or-later
// "Mnou půjčená CD...": the discs borrowed from other people, kept in their
// own small file, with the entry dialog "Přidaní půjčeného CD...".
#pragma once

#include <QDialog>
#include <QString>
#include <functional>

#include "catalogue/engine.h"
#include "settings/registry.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTreeWidget;

namespace rondo::gui {

// The entry dialog. "Přidat" appends the entry and closes; a date that is
// not one is reported and the dialog stays open.
class TPujceneCdForm : public QDialog {
  Q_OBJECT

 public:
  TPujceneCdForm(Registry& registry, std::string listPath, DisplayFormat format,
                 std::function<void(const QString&)> message, QWidget* parent = nullptr);

  QLineEdit* descriptionEdit() const { return description_; }
  QComboBox* groupBox() const { return group_; }
  QLineEdit* fromEdit() const { return from_; }
  QLineEdit* dateEdit() const { return date_; }
  QSpinBox* countBox() const { return count_; }
  QPushButton* addButton() const { return add_; }

 public slots:
  // "Přidat".
  void addEntry();

 private:
  std::string listPath_;
  DisplayFormat format_;
  std::function<void(const QString&)> message_;
  QLineEdit* description_ = nullptr;
  QComboBox* group_ = nullptr;
  QLineEdit* from_ = nullptr;
  QLineEdit* date_ = nullptr;
  QSpinBox* count_ = nullptr;
  QPushButton* add_ = nullptr;
};

class TMePujceneForm : public QDialog {
  Q_OBJECT

 public:
  TMePujceneForm(Registry& registry, std::string listPath, DisplayFormat format,
                 std::function<void(const QString&)> message, QWidget* parent = nullptr);

  // Runs the entry dialog instead of showing it when set (tests fill it in
  // and press its buttons).
  std::function<void(TPujceneCdForm& form)> entryHook;

  QTreeWidget* list() const { return list_; }
  QLabel* countLabel() const { return count_; }
  QPushButton* addButton() const { return add_; }
  QPushButton* removeButton() const { return remove_; }
  QPushButton* okButton() const { return ok_; }

 public slots:
  // Reads the file again into the list.
  void reload();
  // "Přidat...".
  void addEntry();
  // "Ubrat": every entry with the selected row's description.
  void removeEntry();

 private:
  Registry& registry_;
  std::string listPath_;
  DisplayFormat format_;
  std::function<void(const QString&)> message_;
  QTreeWidget* list_ = nullptr;
  QLabel* count_ = nullptr;
  QPushButton* add_ = nullptr;
  QPushButton* remove_ = nullptr;
  QPushButton* ok_ = nullptr;
};

}  // namespace rondo::gui
