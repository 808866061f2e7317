// SPDX-License-Identifier: GPL-3.0-or-later
// Language files: every text of every window can be replaced from an INI
// file, one section per window ("MainForm", "SearchForm", ...) and one key
// per control. The files are looked for in a list of folders (the program's
// own, the user's data folder, the installed data folder); a name found in
// several is read from the first. Applying a file first adds every text the
// file lacks (so a missing or incomplete file grows into a complete template
// in the current language, written into the one folder the program writes
// to), then sets the texts from it, and offers the ".lng" files of all the
// folders in a "Language" menu.
#pragma once

#include <QHash>
#include <QMenu>
#include <QMenuBar>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>

namespace rondo {
class LngFile;
}

namespace rondo::gui {

class TLngINISupp : public QObject {
  Q_OBJECT

 public:
  // folders: where language files are read from, first one first;
  // writeFolder: where a file completed with new texts is written. A file
  // written there must be read from there next time, so writeFolder is read
  // first when it is not among folders.
  TLngINISupp(const QStringList& folders, const QString& writeFolder, QObject* parent = nullptr);
  // One folder both to read from and to write to.
  explicit TLngINISupp(const QString& folder, QObject* parent = nullptr);

  // Keeps only the file-name part of name. An empty name switches the
  // language files off.
  void setFileName(const QString& name);
  // The full path the file is read from: in the first folder that holds
  // it, in writeFolder when none does; empty when switched off.
  QString fileName() const;
  QStringList folders() const { return folders_; }
  QString writeFolder() const { return writeFolder_; }

  // The menus that get the "Language" submenu.
  void setMenu(QMenuBar* menu);
  void setPopupMenu(QMenu* menu);

  // Completes the file with every window's texts, applies it to the
  // program's windows and builds the language menus.
  void Apply(QWidget* form);
  // The same without the menus.
  void ApplyTexts(QWidget* form);

  // Shows the warning about a missing file; a message box when not set.
  std::function<void(const QString&)> warningHook;

  // The texts a window is described by, in the file's form (section name
  // and key/text pairs), as the completion would write them.
  static QString SectionOf(const QWidget* window);

  // The text shown for a group name the program itself gives meaning to
  // ("All", "Půjčené", "Nepůjčené", "Nezařazeno", "Vše"), from the
  // "GroupNames" section of the file last applied; any other name, and
  // every name before a file was applied, is shown as it is stored.
  QString shownGroupName(const QString& stored) const;

 signals:
  // A language was chosen from the menu; name is the file name.
  void languageChanged(const QString& name);

 private:
  void complete(LngFile& file);
  void applyFile(const LngFile& file, QWidget* form);
  void buildMenus(const LngFile& file);
  void fillMenu(QMenu* menu, const QString& prefix, const LngFile& current);

  QString pathOf(const QString& name) const;

  QStringList folders_;
  QString writeFolder_;
  QString name_;                        // the file name alone
  QHash<QString, QString> groupNames_;  // stored name -> text shown
  QPointer<QMenuBar> menu_;
  QPointer<QMenu> popupMenu_;
  QPointer<QMenu> languageMenu_;
  QPointer<QMenu> popupLanguageMenu_;
};

// The instance every window applies itself with; null when there is none
// (windows made on their own, as in tests).
TLngINISupp* MainLngSupp();
void SetMainLngSupp(TLngINISupp* supp);
// What every window calls at the end of its construction.
void ApplyLanguage(QWidget* form);
// The main instance's shownGroupName; the stored name without one.
QString ShownGroupName(const QString& stored);

}  // namespace rondo::gui
