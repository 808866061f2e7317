// SPDX-License-Identifier: GPL-3.0-or-later
// The small windows with real clicks over a real settings file: the name
// and text prompts, the group picker and group management, the controls
// that keep their values in the settings and the settings window.
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>
#include <memory>
#include <optional>
#include <string>

#include "gui/QELControls.h"
#include "gui/TOnForm.h"
#include "gui/TPujcitForm.h"
#include "gui/TRenameForm.h"
#include "gui/TSkupinaForm.h"
#include "gui/TSpravaSkupForm.h"
#include "gui/dir_list_model.h"
#include "gui/disc_list_model.h"
#include "gui/icon_cache.h"
#include "platform/environment.h"
#include "settings/group_kinds.h"
#include "settings/registry.h"

using namespace rondo;
using namespace rondo::gui;

namespace {

const QString kUnassigned = QStringLiteral("Nezařazeno");
using Stored = std::optional<std::string>;

// A settings file of its own in a fresh folder.
struct SettingsFile {
  QTemporaryDir dir;
  FileRegistry registry{dir.filePath(QStringLiteral("rondotheka.ini")).toStdString()};
};

QStringList Texts(const QListWidget* list) {
  QStringList texts;
  for (int row = 0; row < list->count(); ++row)
    texts.append(list->item(row)->text());
  return texts;
}

QStringList Groups(Registry& registry) {
  QStringList names;
  for (const std::string& name : ReadGroupList(registry))
    names.append(QString::fromStdString(name));
  return names;
}

void ClickRow(QListWidget* list, int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers,
                    list->visualItemRect(list->item(row)).center());
}

void ClickNode(QTreeWidget* tree, int index) {
  QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier,
                    tree->visualItemRect(tree->topLevelItem(index)).center());
}

// Types like a keyboard, letters with diacritics included (keyClicks knows
// ASCII only).
void Type(QWidget* widget, const QString& text) {
  for (const QChar ch : text) {
    if (ch.unicode() < 0x80)
      QTest::keyClick(widget, ch.toLatin1());
    else
      QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(ch), Qt::NoModifier);
  }
}

void Replace(QLineEdit* edit, const QString& text) {
  QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(edit, Qt::Key_Delete);
  Type(edit, text);
}

// What the next name prompt showed before it was answered.
struct Prompt {
  bool seen = false;
  QString caption;
  QString label;
  int maxLength = 0;
};

// Answers the next name prompt once it runs modally: types the text and
// clicks OK, or clicks Cancel. A prompt that is not the modal window is
// cancelled, so a failing test cannot hang.
std::shared_ptr<Prompt> AnswerNextPrompt(const QString& typed, bool ok = true) {
  auto prompt = std::make_shared<Prompt>();
  QTimer::singleShot(0, qApp, [prompt, typed, ok] {
    auto* form = qobject_cast<TRenameForm*>(QApplication::activeModalWidget());
    if (form == nullptr) {
      for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* stray = qobject_cast<TRenameForm*>(widget); stray && stray->isVisible())
          stray->reject();
      }
      return;
    }
    *prompt = {true, form->windowTitle(), form->label()->text(), form->edit()->maxLength()};
    Type(form->edit(), typed);
    QTest::mouseClick(ok ? form->okButton() : form->cancelButton(), Qt::LeftButton);
  });
  return prompt;
}

template <typename Form>
void Show(Form& form) {
  form.show();
  QVERIFY(QTest::qWaitForWindowExposed(&form));
}

}  // namespace

class DialogsTest : public QObject {
  Q_OBJECT

 private slots:
  void renamePromptAnswers();
  void lendPromptCloses();
  void promptsRefuseWhatCannotBeStored();
  void listsShowControlCharacters();
  void pickerMovesGroupsByClicks();
  void pickerMovesGroupsByButtons();
  void pickerNewNameIsOfferedNotRegistered();
  void managementNewRegistersEveryName();
  void managementDeletesSelectedGroups();
  void controlsLoadDefaultsAndWrongTypes();
  void settingsWindowWritesDefaults();
  void settingsEmptyPathWarnsAndIsSaved();
  void settingsEmptiedSpinKeepsStoredValue();
  void settingsPagesFollowTreeAndArrows();
  void settingsCheckBoxSurvivesReopening();
};

void DialogsTest::renamePromptAnswers() {
  TRenameForm form;
  QCOMPARE(form.windowTitle(), QStringLiteral("Nové jméno..."));
  QCOMPARE(form.label()->text(), QStringLiteral("Nové jméno:"));
  QVERIFY(form.edit()->font().bold());
  QCOMPARE(form.edit()->palette().color(QPalette::Text), QColor(0x80, 0x00, 0x00));
  Show(form);
  QTest::keyClick(form.edit(), Qt::Key_Escape);
  QCOMPARE(form.result(), int(QDialog::Rejected));

  // Typed text comes back as typed, spaces included, under the caller's
  // caption and label.
  auto prompt = AnswerNextPrompt(QStringLiteral("  Hry a zábava "));
  std::optional<QString> answer =
      TRenameForm::ask(nullptr, QStringLiteral("Skupina"), QStringLiteral("Název:"));
  QVERIFY(prompt->seen);
  QCOMPARE(prompt->caption, QStringLiteral("Skupina"));
  QCOMPARE(prompt->label, QStringLiteral("Název:"));
  QCOMPARE(answer.value_or(QString()), QStringLiteral("  Hry a zábava "));

  // An offered text is selected: OK keeps it, typing replaces it.
  AnswerNextPrompt(QString());
  answer =
      TRenameForm::ask(nullptr, QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("CD"));
  QCOMPARE(answer.value_or(QString()), QStringLiteral("CD"));
  AnswerNextPrompt(QStringLiteral("DVD"));
  answer =
      TRenameForm::ask(nullptr, QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("CD"));
  QCOMPARE(answer.value_or(QString()), QStringLiteral("DVD"));

  // Empty is an answer; Cancel is not.
  AnswerNextPrompt(QString());
  answer = TRenameForm::ask(nullptr, QStringLiteral("A"), QStringLiteral("B"));
  QVERIFY(answer.has_value() && answer->isEmpty());
  AnswerNextPrompt(QStringLiteral("zahozeno"), false);
  QVERIFY(!TRenameForm::ask(nullptr, QStringLiteral("A"), QStringLiteral("B")).has_value());
}

void DialogsTest::lendPromptCloses() {
  TPujcitForm form;
  QCOMPARE(form.windowTitle(), QStringLiteral("Pujčit komu?"));
  QCOMPARE(form.frame()->title(), QStringLiteral("Půjčení CD"));
  QCOMPARE(form.cancelButton()->text(), QStringLiteral("Storno"));
  QVERIFY(!form.windowFlags().testFlag(Qt::WindowCloseButtonHint));
  Show(form);
  Type(form.edit(), QStringLiteral("Jiří Novák"));
  QTest::mouseClick(form.okButton(), Qt::LeftButton);
  QCOMPARE(form.result(), int(QDialog::Accepted));
  QCOMPARE(form.text(), QStringLiteral("Jiří Novák"));
  Show(form);
  QTest::mouseClick(form.cancelButton(), Qt::LeftButton);
  QCOMPARE(form.result(), int(QDialog::Rejected));
  Show(form);
  QTest::keyClick(form.edit(), Qt::Key_Escape);
  QVERIFY(!form.isVisible());
  QCOMPARE(form.result(), int(QDialog::Rejected));
}

void DialogsTest::promptsRefuseWhatCannotBeStored() {
  QStringList said;
  const auto say = [&said](const QString& text) { said.append(text); };
  TPujcitForm lend;
  lend.messageHook = say;
  lend.setField(TypedField::kLendingName);
  TRenameForm group;
  group.messageHook = say;
  group.setField(TypedField::kGroupName);
  struct Case {
    QDialog* form;
    QLineEdit* edit;
    QPushButton* ok;
    QString typed;
    QString kept;     // what the edit holds: the field's width cuts as typed
    QString refusal;  // part of the message; empty when OK closes the prompt
  };
  const std::vector<Case> cases = {
      {&lend, lend.edit(), lend.okButton(), QString(35, 'x'), QString(30, 'x'), {}},
      {&lend, lend.edit(), lend.okButton(), "Jiří 日", "Jiří 日", "„日“ (U+65E5)"},
      {&group, group.edit(), group.okButton(), "Hry;Filmy", "Hry;Filmy", "„;“"},
      {&group, group.edit(), group.okButton(), "Hry^", "Hry^", "„^“"},
      {&group, group.edit(), group.okButton(), QString(60, 'g'), QString(50, 'g'), {}},
  };
  for (const Case& c : cases) {
    said.clear();
    Show(*c.form);
    Replace(c.edit, c.typed);
    QCOMPARE(c.edit->text(), c.kept);
    QTest::mouseClick(c.ok, Qt::LeftButton);
    // Refused: the prompt stays open with the text to mend.
    QCOMPARE(c.form->isVisible(), !c.refusal.isEmpty());
    QCOMPARE(said.size(), c.refusal.isEmpty() ? 0 : 1);
    if (!said.isEmpty())
      QVERIFY2(said[0].contains(c.refusal), qPrintable(said[0]));
    c.form->hide();
  }
}

void DialogsTest::listsShowControlCharacters() {
  DiscList discs;
  discs.rows.emplace_back();
  discs.rows[0].cells[kColDescription] = "a\tb\x1b[2J\\";
  DiscListModel discModel(discs);
  QCOMPARE(discModel.data(discModel.index(0, kColDescription), Qt::DisplayRole).toString(),
           QStringLiteral("a\u2409b\u241B[2J\\"));
  DirList dirs;
  dirs.rows.emplace_back();
  dirs.rows[0].cells[kDirColComment] = "řádek\ndruhý\x7f";
  IconCache icons;
  DirListModel dirModel(dirs, icons);
  QCOMPARE(dirModel.data(dirModel.index(0, kDirColComment), Qt::DisplayRole).toString(),
           QStringLiteral("řádek\u240Adruhý\u2421"));
}

void DialogsTest::pickerMovesGroupsByClicks() {
  SettingsFile settings;
  for (const char* name : {"Hry", "Audio CD", "Filmy"})
    RegisterGroup(settings.registry, name);
  TSkupinaForm form(settings.registry);
  QCOMPARE(Texts(form.availableList()), (QStringList{"Hry", "Audio CD", "Filmy"}));
  QCOMPARE(form.chosen(), QStringList{kUnassigned});
  Show(form);

  ClickRow(form.availableList(), 2);  // "Filmy": the placeholder goes
  QCOMPARE(form.chosen(), QStringList{"Filmy"});
  QCOMPARE(Texts(form.availableList()), (QStringList{"Hry", "Audio CD"}));
  ClickRow(form.availableList(), 0);
  QCOMPARE(form.storedGroups(), QStringLiteral("Filmy;Hry"));

  ClickRow(form.chosenList(), 0);  // "Filmy" goes back to the end
  QCOMPARE(form.chosen(), QStringList{"Hry"});
  QCOMPARE(Texts(form.availableList()), (QStringList{"Audio CD", "Filmy"}));
  ClickRow(form.chosenList(), 0);  // the last one: the placeholder returns
  QCOMPARE(form.chosen(), QStringList{kUnassigned});
  QCOMPARE(form.storedGroups(), QString());
  QCOMPARE(Groups(settings.registry), (QStringList{"Hry", "Audio CD", "Filmy"}));

  form.setChosen({QStringLiteral("Dokumenty"), kUnassigned, QStringLiteral("Čeština")});
  QCOMPARE(form.storedGroups(), QStringLiteral("Dokumenty;Čeština"));
  form.setChosen({});
  QCOMPARE(form.chosen(), QStringList{kUnassigned});
}

void DialogsTest::pickerMovesGroupsByButtons() {
  MemoryRegistry registry;
  for (const char* name : {"Klasika", "Rock"})
    RegisterGroup(registry, name);
  TSkupinaForm form(registry);
  Show(form);

  form.availableList()->setCurrentRow(1);
  QTest::mouseClick(form.addButton(), Qt::LeftButton);
  QCOMPARE(form.chosen(), QStringList{"Rock"});
  // Nothing is selected any more: a second press moves nothing.
  QTest::mouseClick(form.addButton(), Qt::LeftButton);
  QCOMPARE(form.chosen(), QStringList{"Rock"});
  QCOMPARE(Texts(form.availableList()), QStringList{"Klasika"});

  form.chosenList()->setCurrentRow(0);
  QTest::mouseClick(form.removeButton(), Qt::LeftButton);
  QCOMPARE(form.chosen(), QStringList{kUnassigned});
  QCOMPARE(Texts(form.availableList()), (QStringList{"Klasika", "Rock"}));

  // Tab passes the buttons between the lists on its way; Escape cancels.
  QWidget* expected[] = {form.chosenList(), form.addButton(), form.removeButton(), form.newButton(),
                         form.availableList()};
  for (std::size_t i = 0; i + 1 < std::size(expected); ++i) {
    QWidget* next = expected[i]->nextInFocusChain();
    while (!(next->focusPolicy() & Qt::TabFocus))
      next = next->nextInFocusChain();
    QCOMPARE(next, expected[i + 1]);
  }
  QTest::keyClick(form.chosenList(), Qt::Key_Escape);
  QVERIFY(!form.isVisible());
  QCOMPARE(form.result(), int(QDialog::Rejected));
}

void DialogsTest::pickerNewNameIsOfferedNotRegistered() {
  SettingsFile settings;
  RegisterGroup(settings.registry, "Hry");
  TSkupinaForm form(settings.registry);
  Show(form);

  auto prompt = AnswerNextPrompt(QStringLiteral("Hry"));
  QTest::mouseClick(form.newButton(), Qt::LeftButton);
  QCOMPARE(prompt->caption, QStringLiteral("Nové jméno..."));
  QCOMPARE(prompt->label, QStringLiteral("Nové jméno:"));
  QCOMPARE(prompt->maxLength, 50);  // a group name
  QCOMPARE(Texts(form.availableList()), (QStringList{"Hry", "Hry"}));
  prompt = AnswerNextPrompt(QStringLiteral("Výuka"), false);
  QTest::mouseClick(form.newButton(), Qt::LeftButton);
  QVERIFY(prompt->seen);
  QCOMPARE(form.availableList()->count(), 2);

  // Both copies are chosen and stored twice; the store keeps one name.
  ClickRow(form.availableList(), 1);
  ClickRow(form.availableList(), 0);
  QCOMPARE(form.storedGroups(), QStringLiteral("Hry;Hry"));
  QCOMPARE(Groups(settings.registry), QStringList{"Hry"});
}

void DialogsTest::managementNewRegistersEveryName() {
  SettingsFile settings;
  RegisterGroup(settings.registry, "Hry", "none");
  TSpravaSkupForm form(settings.registry);
  QCOMPARE(Texts(form.groupList()), QStringList{"Hry"});
  Show(form);

  auto prompt = AnswerNextPrompt(QStringLiteral("Seriály"));
  QTest::mouseClick(form.newButton(), Qt::LeftButton);
  QCOMPARE(prompt->caption, QStringLiteral("Nová skupina..."));
  QCOMPARE(prompt->label, QStringLiteral("Název skupiny..."));
  QCOMPARE(prompt->maxLength, 50);  // a group name
  AnswerNextPrompt(QString());
  QTest::mouseClick(form.newButton(), Qt::LeftButton);
  AnswerNextPrompt(QStringLiteral("Nic"), false);
  QTest::mouseClick(form.newButton(), Qt::LeftButton);
  QCOMPARE(Texts(form.groupList()), (QStringList{"Hry", "Seriály", ""}));

  // Another reader of the same file sees both new names, with empty data.
  FileRegistry again(settings.registry.Path());
  QCOMPARE(Groups(again), (QStringList{"Hry", "Seriály", ""}));
  QCOMPARE(again.Read("Druhy CD", "Seriály"), Stored(""));
  QCOMPARE(again.Read("Druhy CD", ""), Stored(""));
}

void DialogsTest::managementDeletesSelectedGroups() {
  SettingsFile settings;
  for (const char* name : {"Audio CD", "Hry", "Filmy", "Zálohy"})
    RegisterGroup(settings.registry, name);
  TSpravaSkupForm form(settings.registry);
  Show(form);

  ClickRow(form.groupList(), 1);
  ClickRow(form.groupList(), 3, Qt::ControlModifier);
  QTest::mouseClick(form.deleteButton(), Qt::LeftButton);
  QCOMPARE(Texts(form.groupList()), (QStringList{"Audio CD", "Filmy"}));
  QCOMPARE(Groups(settings.registry), (QStringList{"Audio CD", "Filmy"}));
  QTest::mouseClick(form.okButton(), Qt::LeftButton);
  QCOMPARE(form.result(), int(QDialog::Accepted));
}

void DialogsTest::controlsLoadDefaultsAndWrongTypes() {
  QCOMPARE(RegistryKeyOf(ProgramRegPath()), std::string());
  QCOMPARE(RegistryKeyOf(ProgramRegPath() + QStringList{"Okna", "", "Hledání"}),
           std::string("Okna\\Hledání"));
  QCOMPARE(RegistryKeyOf({"Jiná", "Okna"}), std::string("Jiná\\Okna"));

  MemoryRegistry registry;
  QWidget window;
  auto* frame = new QGroupBox(&window);
  auto* box = new TQELCheckBox(QStringLiteral("Box"), frame);
  box->zzRegPath = ProgramRegPath() + QStringList{"Okna"};
  box->zzValueName = QStringLiteral("Box");
  box->setZzDefaultChecked(true);
  auto* unnamed = new TQELCheckBox(QString(), frame);  // only shows its default
  unnamed->setZzDefaultChecked(true);
  auto* spin = new TQELSpinEdit(frame);
  spin->zzRegPath = ProgramRegPath();
  spin->zzValueName = QStringLiteral("Velikost");
  spin->setRange(1, 200);
  spin->setZzDefaultValue(8);
  auto* combo = new TQELComboBox(&window);
  combo->zzRegPath = ProgramRegPath();
  combo->zzValueName = QStringLiteral("Text");
  combo->setZzDefaultValue(QStringLiteral("výchozí"));

  // Missing values: the defaults, written; the unnamed box writes nothing.
  box->setChecked(false);
  unnamed->setChecked(false);
  LoadPersistedControls(&window, registry);
  QVERIFY(box->isChecked() && unnamed->isChecked());
  QCOMPARE(spin->value(), 8);
  QCOMPARE(registry.Read("Okna", "Box"), Stored("1"));
  QCOMPARE(registry.ValueNames(""), (std::vector<std::string>{"Velikost", "Text"}));

  registry.Write("Okna", "Box", "0");
  registry.WriteText("Text", "uložený");
  LoadPersistedControls(&window, registry);
  QVERIFY(!box->isChecked());
  QCOMPARE(combo->currentText(), QStringLiteral("uložený"));

  // Not a boolean, not a number or out of range: the default, written back.
  registry.Write("Okna", "Box", "ano");
  box->LoadFromRegistry(registry);
  QVERIFY(box->isChecked());
  QCOMPARE(registry.Read("Okna", "Box"), Stored("1"));
  for (const char* wrong : {"abc", "500", "0", "", "12x"}) {
    registry.Write("", "Velikost", wrong);
    spin->setValue(50);
    spin->LoadFromRegistry(registry);
    QCOMPARE(spin->value(), 8);
    QCOMPARE(registry.Read("", "Velikost"), Stored("8"));
  }
}

void DialogsTest::settingsWindowWritesDefaults() {
  SettingsFile settings;
  RegisterGroup(settings.registry, "Hry");
  RegisterGroup(settings.registry, "Audio CD");
  {
    TOnForm form(settings.registry);
    QCOMPARE(form.windowTitle(), QStringLiteral("Nastaveni"));
    QCOMPARE(form.height(), 346);
    QVERIFY(!form.windowFlags().testFlag(Qt::WindowCloseButtonHint));
    QCOMPARE(form.startGroup()->itemText(0), QStringLiteral("Hry"));
    QCOMPARE(form.startGroup()->itemText(1), QStringLiteral("Audio CD"));
    QVERIFY(settings.registry.ValueNames("").empty());  // nothing before showing
    Show(form);
    QCOMPARE(form.startGroup()->currentText(), QStringLiteral("All"));
    QCOMPARE(form.fontSize()->value(), 8);
  }
  FileRegistry again(settings.registry.Path());
  QCOMPARE(again.ValueNames("").size(), std::size_t(5));
  QCOMPARE(again.Read("", "Cesta"), Stored(rondo::platform::DefaultCataloguePath()));
  QCOMPARE(again.Read("", "ZobrazitSkupinu"), Stored("All"));
  QCOMPARE(again.Read("", "VelikostFontu"), Stored("8"));
  QCOMPARE(again.Read("", "ZobrazovatMePujcene"), Stored("0"));
  QCOMPARE(again.Read("", "MaximalizovatHledani"), Stored("0"));
}

void DialogsTest::settingsEmptyPathWarnsAndIsSaved() {
  SettingsFile settings;
  settings.registry.WriteText("Cesta", "/data/cd.big");
  QStringList messages;
  {
    TOnForm form(settings.registry);
    form.messageHook = [&messages](const QString& text) { messages.append(text); };
    QString offered = QStringLiteral("/home/u/sbirka.big");
    form.chooseFile = [&offered] { return offered; };
    Show(form);
    QCOMPARE(form.databasePath()->currentText(), QStringLiteral("/data/cd.big"));
    QTest::mouseClick(form.browseButton(), Qt::LeftButton);
    QCOMPARE(form.databasePath()->currentText(), offered);
    offered.clear();  // cancelled: the path stays
    QTest::mouseClick(form.browseButton(), Qt::LeftButton);
    QCOMPARE(form.databasePath()->currentText(), QStringLiteral("/home/u/sbirka.big"));
    QTest::mouseClick(form.okButton(), Qt::LeftButton);
    QVERIFY(messages.isEmpty());

    Show(form);
    Replace(form.databasePath()->lineEdit(), QString());
    QTest::mouseClick(form.okButton(), Qt::LeftButton);
    QCOMPARE(messages, QStringList{"Cesta musí existovat!"});
    QCOMPARE(form.result(), int(QDialog::Accepted));
    QVERIFY(!form.isVisible());
  }
  QCOMPARE(settings.registry.Read("", "Cesta"), Stored(""));
}

void DialogsTest::settingsEmptiedSpinKeepsStoredValue() {
  SettingsFile settings;
  settings.registry.WriteText("VelikostFontu", "abc");
  {
    TOnForm form(settings.registry);
    Show(form);
    QCOMPARE(form.fontSize()->value(), 8);  // a wrong type falls back to the default
  }
  QCOMPARE(settings.registry.Read("", "VelikostFontu"), Stored("8"));

  // Types 20 over the stored 12, then the given text, and closes.
  auto typeFontSize = [&settings](const QString& typed) {
    TOnForm form(settings.registry);
    Show(form);
    QCOMPARE(form.fontSize()->value(), 12);
    ClickNode(form.tree(), 1);
    auto* edit = form.fontSize()->findChild<QLineEdit*>();
    Replace(edit, QStringLiteral("20"));
    Replace(edit, typed);
    QCOMPARE(form.fontSize()->value(), 20);
    QTest::mouseClick(form.okButton(), Qt::LeftButton);
  };
  settings.registry.WriteText("VelikostFontu", "12");
  typeFontSize(QString());  // an emptied edit saves nothing
  QCOMPARE(settings.registry.Read("", "VelikostFontu"), Stored("12"));
  typeFontSize(QStringLiteral("20"));
  QCOMPARE(settings.registry.Read("", "VelikostFontu"), Stored("20"));
}

void DialogsTest::settingsPagesFollowTreeAndArrows() {
  MemoryRegistry registry;
  TOnForm form(registry);
  Show(form);
  auto pageTitle = [&form] {
    QGroupBox* frame = form.pages()->currentWidget()->findChild<QGroupBox*>();
    return frame ? frame->title() : QString();
  };
  QCOMPARE(pageTitle(), QStringLiteral("nastaveni cest"));
  ClickNode(form.tree(), 2);
  QCOMPARE(pageTitle(), QStringLiteral("Volitelné"));
  QTest::mouseClick(form.nextButton(), Qt::LeftButton);
  QCOMPARE(form.pages()->currentIndex(), 0);
  QCOMPARE(form.tree()->currentItem(), form.tree()->topLevelItem(0));
  QTest::mouseClick(form.previousButton(), Qt::LeftButton);
  QTest::mouseClick(form.previousButton(), Qt::LeftButton);
  QCOMPARE(pageTitle(), QStringLiteral("Nastavení barev"));
  QCOMPARE(form.tree()->selectedItems().value(0), form.tree()->topLevelItem(1));
}

void DialogsTest::settingsCheckBoxSurvivesReopening() {
  SettingsFile settings;
  {
    TOnForm form(settings.registry);
    Show(form);
    ClickNode(form.tree(), 2);
    QTest::mouseClick(form.showBorrowed(), Qt::LeftButton);
    QTest::mouseClick(form.okButton(), Qt::LeftButton);
  }
  QCOMPARE(settings.registry.Read("", "ZobrazovatMePujcene"), Stored("1"));
  FileRegistry again(settings.registry.Path());
  TOnForm form(again);
  QVERIFY(!form.showBorrowed()->isChecked());  // loaded when shown
  Show(form);
  QVERIFY(form.showBorrowed()->isChecked());
  QVERIFY(!form.maximizeSearch()->isChecked());

  // Escape leaves every stored value as it was, whatever the window shows.
  QTest::mouseClick(form.showBorrowed(), Qt::LeftButton);
  form.fontSize()->setValue(30);
  Replace(form.databasePath()->lineEdit(), QStringLiteral("/jinde/cd.big"));
  QTest::keyClick(form.databasePath(), Qt::Key_Escape);
  QVERIFY(!form.isVisible());
  QCOMPARE(form.result(), int(QDialog::Rejected));
  QCOMPARE(again.Read("", "ZobrazovatMePujcene"), Stored("1"));
  QCOMPARE(again.Read("", "VelikostFontu"), Stored("8"));
  QCOMPARE(again.Read("", "Cesta"), Stored(rondo::platform::DefaultCataloguePath()));

  // Tab goes through the paths page from top to bottom, then the buttons.
  Show(form);
  form.tree()->setFocus();
  QStringList chain;
  for (QWidget* w = form.tree(); chain.size() < 8; w = w->nextInFocusChain()) {
    if (w->isVisible() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus) &&
        w->focusProxy() == nullptr && w->window() == &form)
      chain << (qobject_cast<QPushButton*>(w) ? qobject_cast<QPushButton*>(w)->text()
                                              : w->objectName());
  }
  QCOMPARE(chain, (QStringList{"pageTree", "databasePath", "...", "startGroup", "languageNote", "<",
                               ">", "O.K."}));
}

QTEST_MAIN(DialogsTest)
#include "dialogs_test.moc"
