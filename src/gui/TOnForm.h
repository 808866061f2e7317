// SPDX-License-Identifier: GPL-3.0-or-later
// The settings window "Nastaveni": a tree of three pages (paths, fonts,
// options) whose controls all keep their values in the settings. Loaded when
// shown, saved by "O.K."; Escape closes the window and the stored values
// stay as they were.
#pragma once

#include <QDialog>
#include <functional>

#include "settings/registry.h"

class QPushButton;
class QStackedWidget;
class QTextEdit;
class QTreeWidget;

namespace rondo::gui {

class TQELCheckBox;
class TQELComboBox;
class TQELSpinEdit;

class TOnForm : public QDialog {
  Q_OBJECT

 public:
  explicit TOnForm(Registry& registry, QWidget* parent = nullptr);
  // Saves every persisted control, then closes.
  void accept() override;

  // The file chooser behind "..."; tests replace it. Empty = cancelled.
  std::function<QString()> chooseFile;
  // Receives "Cesta musí existovat!" instead of a message box when set.
  std::function<void(const QString&)> messageHook;

  QTreeWidget* tree() const { return tree_; }
  QStackedWidget* pages() const { return pages_; }
  TQELComboBox* databasePath() const { return databasePath_; }  // "Při spuštění otevřít:"
  TQELComboBox* startGroup() const { return startGroup_; }      // "Zobrazit skupinu:"
  TQELSpinEdit* fontSize() const { return fontSize_; }          // "Velikost fontu:"
  TQELCheckBox* showBorrowed() const { return showBorrowed_; }
  TQELCheckBox* maximizeSearch() const { return maximizeSearch_; }
  QPushButton* previousButton() const { return previous_; }  // "<"
  QPushButton* nextButton() const { return next_; }          // ">"
  QPushButton* browseButton() const { return browse_; }      // "..."
  QPushButton* okButton() const { return ok_; }              // "O.K."

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  Registry& registry_;
  bool loaded_ = false;
  QTreeWidget* tree_ = nullptr;
  QStackedWidget* pages_ = nullptr;
  TQELComboBox* databasePath_ = nullptr;
  TQELComboBox* startGroup_ = nullptr;
  TQELSpinEdit* fontSize_ = nullptr;
  TQELCheckBox* showBorrowed_ = nullptr;
  TQELCheckBox* maximizeSearch_ = nullptr;
  QTextEdit* note_ = nullptr;
  QPushButton* previous_ = nullptr;
  QPushButton* next_ = nullptr;
  QPushButton* browse_ = nullptr;
  QPushButton* ok_ = nullptr;
};

}  // namespace rondo::gui
