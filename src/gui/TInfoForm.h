// SPDX-License-Identifier: GPL-3.0-or-later
// The information windows of the help menu: "Co je nového..." and
// "O aplikaci...". Both show the version, what the program does and where
// it keeps its things: the settings file, the open catalogue and the
// program folder.
#pragma once

#include <QDialog>
#include <QString>

class QPushButton;
class QTextBrowser;

namespace rondo::gui {

// Where the program's things are, as the windows show them.
struct ProgramFacts {
  QString settingsFile;
  QString databasePath;
  QString programFolder;
};

class TInfoForm : public QDialog {
  Q_OBJECT

 public:
  enum class Kind { kWhatsNew, kAbout };

  TInfoForm(Kind kind, const ProgramFacts& facts, QWidget* parent = nullptr);

  Kind kind() const { return kind_; }
  QTextBrowser* text() const { return text_; }
  QPushButton* okButton() const { return ok_; }

  // The window's text without formatting.
  QString plainText() const;

 private:
  Kind kind_;
  QTextBrowser* text_ = nullptr;
  QPushButton* ok_ = nullptr;
};

}  // namespace rondo::gui
