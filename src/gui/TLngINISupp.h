// SPDX-License-Identifier: GPL-3.0-or-later
// Language files: every text of every window can be replaced from an INI
// file beside the program, one section per window ("MainForm",
// "SearchForm", ...) and one key per control. Applying a file first adds
// every text the file lacks (so a missing or incomplete file grows into a
// complete template in the current language), then sets the texts from it,
// and offers the ".lng" files of the program's folder in a "Language" menu.
#pragma once

#include <QHash>
#include <QMenu>
#include <QMenuBar>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>

namespace rondo {
class LngFile;
}

namespace rondo::gui {

class TLngINISupp : public QObject {
  Q_OBJECT

 public:
  // folder: the program's folder, where language files live.
  explicit TLngINISupp(const QString& folder, QObject* parent = nullptr);

  // Keeps only the file-name part of name and puts it into the program's
  // folder. An empty name switches the language files off.
  void setFileName(const QString& name);
  QString fileName() const { return fileName_; }
  QString folder() const { return folder_; }

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

  QString folder_;
  QString fileName_;
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
