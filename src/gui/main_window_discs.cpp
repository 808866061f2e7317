// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's disc commands: adding, removing, lending, renaming and
// regrouping the discs selected in the disc list.
#include "gui/TMainForm.h"

#include <QAction>

#include "catalogue/disc_filter.h"
#include "catalogue/messages.h"
#include "gui/QELControls.h"
#include "gui/TKontrolaForm.h"
#include "gui/TLngINISupp.h"
#include "gui/TPridaniCDForm.h"
#include "gui/TPujcitForm.h"
#include "gui/TSkupinaForm.h"
#include "gui/catalogue_watch.h"
#include "gui/column_layout.h"
#include "gui/dir_list_model.h"
#include "gui/disc_list_model.h"
#include "gui/icon_cache.h"
#include "gui/main_window_parts.h"
#include "gui/qt_text.h"
#include "gui/qt_translations.h"
#include "gui/window_placement.h"
#include "platform/environment.h"
#include "platform/linux_file_tree.h"
#include "settings/group_kinds.h"
#include "shell/delay.h"
#include "shell/paths.h"
#include "shell/sizes.h"
#include "shell/typed_text.h"

namespace rondo::gui {

using namespace main_window;

namespace {

// The commands that act on the discs selected in the disc list. While a
// disc is browsed that list is hidden, and its selection (the browsed disc)
// is not what the user sees, so they wait until browsing ends.
constexpr const char* kSelectedDiscCommands[] = {
    "actionRemoveCds", "actionLendCds",  "actionReturnCds",      "actionClearLending",
    "actionRenameCd",  "actionRescanCd", "actionChangeCdGroups", "actionCreateMultigroup"};

// How many discs the removal question names before it only counts the rest.
constexpr std::size_t kNamedInRemovalQuestion = 10;

// The removal question with the discs it will remove below it.
template <typename Rows>
std::string RemovalQuestion(const Rows& rows) {
  std::string question(msg::kRemoveQuestion);
  std::size_t count = 0;
  for (const auto& row : rows) {
    const std::string& serial = row.cells[kColSerial];
    if (!row.selected || serial.empty())
      continue;  // ".." above a multigroup's discs matches no disc
    if (count < kNamedInRemovalQuestion)
      question +=
          (count == 0 ? "\r\n\r\n" : "\r\n") + (row.Caption().empty() ? serial : row.Caption());
    ++count;
  }
  if (count > kNamedInRemovalQuestion)
    question += "\r\n… a další " + std::to_string(count - kNamedInRemovalQuestion);
  return question;
}

}  // namespace

void TMainForm::addCd() {
  if (drives_ == nullptr) {
    qWarning("No drives known to the window; nothing to add a disc from.");
    return;
  }
  {
    TPridaniCDForm form(engine_, registry_, *drives_, *fileTree_, this);
    form.prepare();
    form.exec();
    guarded([this, &form] { form.saveOptions(registry_); });
  }
  // The scan registers the groups it was given, so the menu may have grown.
  rebuildGroupMenu();
  runOperation(OperationCode::kListCds);
  updateDatabaseSize();
  updateDiscCount();
}

void TMainForm::checkSurface() {
  if (drives_ == nullptr) {
    qWarning("No drives known to the window; nothing to check.");
    return;
  }
  TKontrolaForm form(*drives_, registry_, this);
  form.messageHook = [this](const QString& text) { ShowMessage(ToUtf8(text)); };
  runModal(form);
}

void TMainForm::recalculateAll() {
  if (recalcForm_ != nullptr)
    return;  // one recalculation at a time
  engine_.RecalcSerial = "All";
  runOperation(OperationCode::kRecalculateStructure);
  updateDatabaseSize();
}

std::optional<std::string> TMainForm::AskText(const TextPrompt& prompt) {
  if (textHook) {
    const auto answer = textHook(prompt);
    if (!answer)
      return std::nullopt;
    return answer->toStdString();
  }
  TPujcitForm form(this);
  form.setCaption(QString::fromStdString(prompt.caption));
  form.setFrameTitle(QString::fromStdString(prompt.frame));
  form.setLabel(QString::fromStdString(prompt.label));
  if (prompt.field)
    form.setField(*prompt.field, prompt.width);
  form.setText(QString::fromStdString(prompt.text));
  if (form.exec() != QDialog::Accepted)
    return std::nullopt;
  return form.text().toStdString();
}

std::optional<std::vector<std::string>> TMainForm::PickGroups(
    const std::vector<std::string>& chosen) {
  QStringList preset;
  for (const auto& group : chosen)
    preset << QString::fromStdString(group);
  std::optional<QStringList> picked;
  if (groupsHook) {
    picked = groupsHook(preset);
  } else {
    TSkupinaForm form(registry_, this);
    form.setChosen(preset);
    if (form.exec() == QDialog::Accepted)
      picked = form.chosen();
  }
  if (!picked)
    return std::nullopt;
  std::vector<std::string> result;
  for (const QString& group : *picked)
    result.push_back(group.toStdString());
  // A name in the group list from elsewhere may hold ";" or "^": chosen, it
  // would split. Refused like a typed one, as if "Zrušit" was pressed.
  for (const auto& group : result) {
    const std::string refusal = TypedTextRefusal(group, TypedField::kGroupName);
    if (group != kUnassignedGroup && !refusal.empty()) {
      ShowMessage(refusal + " Nic nebylo změněno.");
      return std::nullopt;
    }
  }
  return result;
}

void TMainForm::GroupListChanged() {
  rebuildGroupMenu();
}

void TMainForm::removeCds() {
  if (browsing())
    return;
  if (Confirm(RemovalQuestion(engine_.Discs.rows)))
    runOperation(OperationCode::kRemoveCds);
  updateDatabaseSize();
  updateDiscCount();
}

void TMainForm::lendCds() {
  if (browsing())
    return;
  runOperation(OperationCode::kLendCds);
  updateDiscCount();
}

void TMainForm::returnCds() {
  if (browsing())
    return;
  runOperation(OperationCode::kReturnCds);
  updateDiscCount();
}

void TMainForm::clearLending() {
  if (browsing())
    return;
  runOperation(OperationCode::kClearLending);
  updateDiscCount();
}

void TMainForm::renameCd() {
  if (browsing())
    return;
  runOperation(OperationCode::kRenameCd);
  updateDiscCount();
}

void TMainForm::changeCdGroups() {
  if (browsing())
    return;
  runOperation(OperationCode::kChangeCdGroups);
  updateDiscCount();
}

void TMainForm::createMultigroup() {
  if (browsing())
    return;
  TextPrompt prompt{"Nová multi skupina...", "Zadání jména...", "Komentář:", ""};
  prompt.field = TypedField::kDiscName;
  const auto name = AskText(prompt);
  const std::string refusal = name ? TypedTextRefusal(*name, TypedField::kDiscName) : "";
  if (!refusal.empty())
    ShowMessage(refusal + " Nic nebylo změněno.");
  else if (name)
    guarded([this, &name] { engine_.CreateMultigroup(*name); });
  runOperation(OperationCode::kListCds);
  updateDatabaseSize();
  updateDiscCount();
}

void TMainForm::importGroups() {
  runOperation(OperationCode::kImportGroups);
}

void TMainForm::enableDiscCommands(bool enabled) {
  for (const char* name : kSelectedDiscCommands) {
    if (QAction* action = command(QString::fromLatin1(name)))
      action->setEnabled(enabled);
  }
}

}  // namespace rondo::gui
