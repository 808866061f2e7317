// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/TLngINISupp.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMap>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>
#include <vector>

#include "gui/mnemonics.h"
#include "gui/qt_text.h"
#include "settings/lng_file.h"

namespace rondo::gui {

namespace {

TLngINISupp* g_main = nullptr;

constexpr const char* kWarning = "WARNING!!!\r\n Language File Not Found! Its now creating a new!";
// Marks the language menu's own entries: their texts come from the files.
constexpr const char* kLanguageMenuProperty = "rondoLanguageMenu";

std::string Utf8(const QString& text) {
  return text.toUtf8().toStdString();
}

// The group names with a meaning of their own, as stored, and their keys in
// the file's "GroupNames" section. The catalogue and the settings keep the
// stored names whatever the language; only what is shown changes.
constexpr const char* kGroupNamesSection = "GroupNames";
struct GroupName {
  const char* key;
  const char* stored;
};
constexpr GroupName kGroupNames[] = {
    {"All", "All"},
    {"Pujcene", "Půjčené"},
    {"Nepujcene", "Nepůjčené"},
    {"Nezarazeno", "Nezařazeno"},
    {"Vse", "Vše"},
};

// Names that stand for texts the program sets itself, and Qt's own parts.
bool Skipped(const QString& name) {
  return name.isEmpty() || name.contains(QStringLiteral("666")) ||
         name.startsWith(QStringLiteral("qt_"));
}

// The window an object belongs to: its nearest ancestor that is a window,
// a popup menu counting as part of the window that holds it.
QWidget* OwnerWindow(QObject* object) {
  for (QObject* o = object; o != nullptr; o = o->parent()) {
    auto* w = qobject_cast<QWidget*>(o);
    if (w != nullptr && w->isWindow() && qobject_cast<QMenu*>(w) == nullptr)
      return w;
  }
  return nullptr;
}

bool IsProgramWindow(const QWidget* w) {
  const QString name = w->objectName();
  return w->isWindow() && qobject_cast<const QMenu*>(w) == nullptr && name.size() > 1 &&
         name.startsWith(QLatin1Char('T')) && name.at(1).isUpper();
}

// Every window of the program that exists now, the given one included.
QList<QWidget*> ProgramWindows(QWidget* given) {
  QList<QWidget*> windows;
  const auto add = [&windows](QWidget* w) {
    if (w != nullptr && IsProgramWindow(w) && !windows.contains(w))
      windows.push_back(w);
  };
  add(given);
  for (QWidget* w : QApplication::topLevelWidgets())
    add(w);
  // Windows made with a parent are not top-level widgets in Qt's sense.
  for (QWidget* top : QApplication::topLevelWidgets()) {
    for (QWidget* child : top->findChildren<QWidget*>()) {
      if (child->isWindow())
        add(child);
    }
  }
  return windows;
}

struct Control {
  QString key;
  QString text;
  std::function<void(const QString&)> set;
};

// Gives a nameless control a stable name: its kind and its number among
// the window's nameless controls of that kind, in the order they were made.
void NameIfNeeded(QObject* object, QWidget* window, const char* kind) {
  if (!object->objectName().isEmpty())
    return;
  const QByteArray counterName = QByteArray("rondoLngCount_") + kind;
  const int next = window->property(counterName.constData()).toInt() + 1;
  window->setProperty(counterName.constData(), next);
  object->setObjectName(QString::fromLatin1(kind) + QString::number(next));
}

std::vector<Control> ControlsOf(QWidget* window) {
  std::vector<Control> controls;
  const auto owned = [window](QObject* o) { return OwnerWindow(o) == window; };

  for (QObject* object : window->findChildren<QObject*>()) {
    if (!owned(object) || object->property(kLanguageMenuProperty).toBool())
      continue;
    if (auto* menu = qobject_cast<QMenu*>(object)) {
      NameIfNeeded(menu, window, "Menu");
      controls.push_back({menu->objectName(), WithoutMnemonic(menu->title()),
                          [menu](const QString& t) { menu->setTitle(t); }});
    } else if (auto* action = qobject_cast<QAction*>(object)) {
      if (action->isSeparator() || action->menu() != nullptr ||
          action->property(kLanguageMenuProperty).toBool())
        continue;
      // A widget's own actions (a line edit's clear button and the like)
      // are not the program's commands; a menu the program fills in itself
      // ("666") keeps its entries out as well.
      auto* holder = qobject_cast<QMenu*>(action->parent());
      if (holder == nullptr && action->parent() != window)
        continue;
      if (holder != nullptr && holder->objectName().contains(QStringLiteral("666")))
        continue;
      NameIfNeeded(action, window, "MenuItem");
      controls.push_back({action->objectName(), WithoutMnemonic(action->text()),
                          [action](const QString& t) { action->setText(t); }});
    } else if (auto* tabs = qobject_cast<QTabWidget*>(object)) {
      for (int i = 0; i < tabs->count(); ++i) {
        QWidget* page = tabs->widget(i);
        NameIfNeeded(page, window, "TabSheet");
        controls.push_back({page->objectName(), tabs->tabText(i), [tabs, page](const QString& t) {
                              const int at = tabs->indexOf(page);
                              if (at >= 0)
                                tabs->setTabText(at, t);
                            }});
      }
    } else if (auto* tree = qobject_cast<QTreeWidget*>(object)) {
      NameIfNeeded(tree, window, "ListView");
      controls.push_back({tree->objectName(), QStringLiteral("."), [](const QString&) {}});
      for (int i = 0; i < tree->columnCount(); ++i) {
        controls.push_back({tree->objectName() + QStringLiteral("_%1").arg(i),
                            tree->headerItem()->text(i),
                            [tree, i](const QString& t) { tree->headerItem()->setText(i, t); }});
      }
    } else if (auto* view = qobject_cast<QTreeView*>(object)) {
      QAbstractItemModel* model = view->model();
      if (model == nullptr)
        continue;
      NameIfNeeded(view, window, "ListView");
      controls.push_back({view->objectName(), QStringLiteral("."), [](const QString&) {}});
      for (int i = 0; i < model->columnCount(); ++i) {
        controls.push_back(
            {view->objectName() + QStringLiteral("_%1").arg(i),
             model->headerData(i, Qt::Horizontal).toString(),
             [model, i](const QString& t) { model->setHeaderData(i, Qt::Horizontal, t); }});
      }
    } else if (auto* button = qobject_cast<QAbstractButton*>(object)) {
      auto* tool = qobject_cast<QToolButton*>(button);
      if (tool != nullptr && tool->defaultAction() != nullptr)
        continue;  // shows its command's text
      NameIfNeeded(button, window,
                   tool != nullptr                                 ? "SpeedButton"
                   : qobject_cast<QPushButton*>(button) != nullptr ? "Button"
                   : button->inherits("QCheckBox")                 ? "CheckBox"
                                                                   : "RadioButton");
      controls.push_back({button->objectName(), button->text(),
                          [button](const QString& t) { button->setText(t); }});
    } else if (auto* label = qobject_cast<QLabel*>(object)) {
      if (label->text().isEmpty() && label->objectName().isEmpty())
        continue;  // a picture or a value the program fills in
      NameIfNeeded(label, window, "Label");
      controls.push_back(
          {label->objectName(), label->text(), [label](const QString& t) { label->setText(t); }});
    } else if (auto* box = qobject_cast<QGroupBox*>(object)) {
      NameIfNeeded(box, window, "GroupBox");
      controls.push_back(
          {box->objectName(), box->title(), [box](const QString& t) { box->setTitle(t); }});
    }
  }
  return controls;
}

}  // namespace

TLngINISupp* MainLngSupp() {
  return g_main;
}

void SetMainLngSupp(TLngINISupp* supp) {
  g_main = supp;
}

void ApplyLanguage(QWidget* form) {
  if (g_main != nullptr)
    g_main->Apply(form);
}

QString ShownGroupName(const QString& stored) {
  return g_main != nullptr ? g_main->shownGroupName(stored) : stored;
}

QString TLngINISupp::shownGroupName(const QString& stored) const {
  return groupNames_.value(stored, stored);
}

namespace {

QString WithoutTrailingSlash(QString folder) {
  while (folder.endsWith(QLatin1Char('/')) && folder.size() > 1)
    folder.chop(1);
  return folder;
}

}  // namespace

TLngINISupp::TLngINISupp(const QStringList& folders, const QString& writeFolder, QObject* parent)
    : QObject(parent), writeFolder_(WithoutTrailingSlash(writeFolder)) {
  for (const QString& folder : folders)
    folders_ << WithoutTrailingSlash(folder);
  if (!folders_.contains(writeFolder_))
    folders_.prepend(writeFolder_);
}

TLngINISupp::TLngINISupp(const QString& folder, QObject* parent)
    : TLngINISupp(QStringList{folder}, folder, parent) {}

void TLngINISupp::setMenu(QMenuBar* menu) {
  menu_ = menu;
}

void TLngINISupp::setPopupMenu(QMenu* menu) {
  popupMenu_ = menu;
}

void TLngINISupp::setFileName(const QString& name) {
  name_ = QFileInfo(name).fileName();
}

QString TLngINISupp::fileName() const {
  return name_.isEmpty() ? QString() : pathOf(name_);
}

QString TLngINISupp::pathOf(const QString& name) const {
  for (const QString& folder : folders_) {
    const QString path = folder + QLatin1Char('/') + name;
    if (QFileInfo(path).isFile())
      return path;
  }
  return writeFolder_ + QLatin1Char('/') + name;
}

QString TLngINISupp::SectionOf(const QWidget* window) {
  return window->objectName().mid(1);
}

void TLngINISupp::complete(LngFile& file) {
  for (QWidget* window : ProgramWindows(nullptr)) {
    const std::string section = Utf8(SectionOf(window));
    file.AddMissing(section, "FormCaption", Utf8(window->windowTitle()));
    for (const Control& c : ControlsOf(window)) {
      if (Skipped(c.key) || c.text.isEmpty())
        continue;
      file.AddMissing(section, Utf8(c.key), Utf8(c.text));
    }
  }
  for (const GroupName& name : kGroupNames)
    file.AddMissing(kGroupNamesSection, name.key, name.stored);
}

void TLngINISupp::applyFile(const LngFile& file, QWidget* form) {
  groupNames_.clear();
  for (const GroupName& name : kGroupNames) {
    const auto shown = file.Value(kGroupNamesSection, name.key);
    // An empty text would leave a button or a list row blank.
    if (shown && !shown->empty())
      groupNames_.insert(QString::fromUtf8(name.stored), FromUtf8(*shown));
  }
  for (QWidget* window : ProgramWindows(form)) {
    const std::string section = Utf8(SectionOf(window));
    // Only the window being applied gets its caption: the others may show
    // a caption of their own making by now (the main window names its
    // catalogue).
    if (window == form) {
      const auto caption = file.Value(section, "FormCaption");
      window->setWindowTitle(caption ? FromUtf8(*caption) : QStringLiteral("ERROR"));
    }
    const auto entries = file.Entries(section);
    if (entries.empty())
      continue;
    for (const Control& c : ControlsOf(window)) {
      if (c.key.isEmpty())
        continue;
      for (const auto& [key, value] : entries) {
        if (QString::compare(FromUtf8(key), c.key, Qt::CaseInsensitive) == 0) {
          c.set(FromUtf8(value));
          break;
        }
      }
    }
    // The texts just set are as written; their letters are underlined anew.
    AssignMnemonics(window);
  }
}

void TLngINISupp::ApplyTexts(QWidget* form) {
  if (name_.isEmpty())
    return;
  LngFile file;
  if (!file.Load(Utf8(pathOf(name_)))) {
    const QString warning = QString::fromUtf8(kWarning);
    if (warningHook) {
      warningHook(warning);
    } else {
      QMessageBox::warning(form, QStringLiteral("Language"),
                           QString(warning).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    }
  }
  const std::string before = file.Serialize();
  complete(file);
  file.EraseSection("MainLngSupp");
  if (file.Serialize() != before) {
    // Into the folder the program writes to, whichever folder the file came
    // from: an installed file stays as the system has it, and the completed
    // copy is read before it from now on.
    try {
      file.Save(Utf8(writeFolder_ + QLatin1Char('/') + name_));
    } catch (const std::exception&) {
      // A folder that cannot be written: the texts still apply from what
      // was read.
    }
  }
  applyFile(file, form);
}

void TLngINISupp::Apply(QWidget* form) {
  if (name_.isEmpty())
    return;
  ApplyTexts(form);
  LngFile current;
  current.Load(Utf8(pathOf(name_)));
  buildMenus(current);
  if (menu_ != nullptr)
    AssignMnemonics(menu_->window());  // the language list is new
}

void TLngINISupp::fillMenu(QMenu* menu, const QString& prefix, const LngFile& current) {
  menu->clear();
  // Every name once, in name order, from the first folder that holds it.
  QMap<QString, QString> files;
  for (const QString& folder : folders_) {
    for (const QString& name : QDir(folder).entryList({QStringLiteral("*.lng")}, QDir::Files)) {
      if (!files.contains(name))
        files.insert(name, folder + QLatin1Char('/') + name);
    }
  }
  for (auto it = files.cbegin(); it != files.cend(); ++it) {
    const QString& name = it.key();
    LngFile file;
    file.Load(Utf8(it.value()));
    const auto language = file.Value("Language", "Language");
    const auto author = file.Value("Language", "Autor");
    const QString base = QFileInfo(name).completeBaseName();
    QAction* item = menu->addAction((language ? FromUtf8(*language) : QStringLiteral("ERROR")) +
                                    QStringLiteral(" [") +
                                    (author ? FromUtf8(*author) : QString()) + QStringLiteral("]"));
    item->setObjectName(prefix + base);
    item->setProperty(kLanguageMenuProperty, true);
    item->setCheckable(true);
    item->setChecked(name_ == name);
    connect(item, &QAction::triggered, this, [this, name, menu] {
      setFileName(name);
      Apply(OwnerWindow(menu));
      emit languageChanged(name_);
    });
  }
  const auto caption = current.Value("Language", "Jazyk");
  menu->setTitle(caption ? FromUtf8(*caption) : QStringLiteral("error"));
}

void TLngINISupp::buildMenus(const LngFile& current) {
  if (menu_ != nullptr) {
    if (languageMenu_ == nullptr) {
      languageMenu_ = new QMenu(QStringLiteral("Language"), menu_);
      languageMenu_->setObjectName(QStringLiteral("LngItem"));
      languageMenu_->setProperty(kLanguageMenuProperty, true);
      languageMenu_->menuAction()->setProperty(kLanguageMenuProperty, true);
      menu_->addMenu(languageMenu_);
    }
    fillMenu(languageMenu_, QString(), current);
  }
  if (popupMenu_ != nullptr) {
    if (popupLanguageMenu_ == nullptr) {
      popupLanguageMenu_ = new QMenu(QStringLiteral("Language"), popupMenu_);
      popupLanguageMenu_->setObjectName(QStringLiteral("PLngItem"));
      popupLanguageMenu_->setProperty(kLanguageMenuProperty, true);
      popupLanguageMenu_->menuAction()->setProperty(kLanguageMenuProperty, true);
      popupMenu_->addMenu(popupLanguageMenu_);
    }
    fillMenu(popupLanguageMenu_, QStringLiteral("P"), current);
  }
}

}  // namespace rondo::gui
