// SPDX-License-Identifier: GPL-3.0-or-later
// What the engine needs from whoever shows its results: the main window,
// the command line, or a test's scripted fake.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/format/write_lock.h"
#include "shell/typed_text.h"

namespace rondo {

class EngineHost {
 public:
  virtual ~EngineHost() = default;

  // A confirmation box with the buttons Yes and No; true for Yes.
  virtual bool Confirm(const std::string& text) = 0;
  // A message box.
  virtual void ShowMessage(const std::string& text) = 0;
  // Let pending window events run (long loops call this between steps).
  virtual void ProcessPendingEvents() {}

  // The engine is about to refill / has refilled a list; views reset.
  virtual void DiscListAboutToChange() {}
  virtual void DiscListChanged() {}
  virtual void DirListAboutToChange() {}
  virtual void DirListChanged() {}
  virtual void PathLabelChanged(const std::string& /*text*/) {}

  // The structure recalculation's progress window. Bars: 0 reading the
  // disc's items, 1 computing, 2 writing.
  virtual void RecalcStarted() {}
  virtual void RecalcDisc(const std::string& /*description*/, std::uint16_t /*dirs*/,
                          std::uint16_t /*files*/) {}
  virtual void RecalcProgress(int /*bar*/, std::uint64_t /*position*/, std::uint64_t /*maximum*/) {}
  // "Zrušit" was pressed and confirmed.
  virtual bool RecalcCancelRequested() { return false; }
  virtual void RecalcFinished() {}

  // The progress window of an item edit while the data after the changed
  // record moves. Bars: 0 reading that data, 1 writing it out.
  virtual void ShiftStarted() {}
  virtual void ShiftProgress(int /*bar*/, std::uint64_t /*position*/, std::uint64_t /*maximum*/) {}
  virtual void ShiftFinished() {}

  // Operation 17 changed the engine's Statistics.
  virtual void StatisticsChanged() {}

  // The one-line text prompt (the lending dialog, re-captioned by other
  // commands). nullopt when it ends with "Storno".
  struct TextPrompt {
    std::string caption;
    std::string frame;
    std::string label;
    std::string text;  // pre-filled
    // What the text is stored as: the prompt limits its length and refuses
    // what cannot be stored (TypedTextRefusal); nothing when it is not stored.
    std::optional<TypedField> field;
    std::optional<std::size_t> width;  // instead of the field's own width
  };
  virtual std::optional<std::string> AskText(const TextPrompt& /*prompt*/) { return std::nullopt; }
  // The group picker with its chosen list preset; nullopt for "Zrušit".
  virtual std::optional<std::vector<std::string>> PickGroups(
      const std::vector<std::string>& /*chosen*/) {
    return std::nullopt;
  }
  // The group list changed (the group menu is built again).
  virtual void GroupListChanged() {}

  // The user agreed to convert an old-format catalogue at path. Returns when
  // the conversion has finished: true when the file now has the current
  // format.
  virtual bool ConvertOldDatabase(const std::string& path);

  // Another program is changing the catalogue at path and this change waits
  // for it; asked again and again while it lasts, with the time waited so
  // far. false gives up (nothing is changed). The desktop program shows a
  // window with a button to give up; without one, kDefaultLockWait.
  virtual bool KeepWaitingForLock(const std::string& /*path*/, std::chrono::milliseconds waited) {
    return waited < kDefaultLockWait;
  }
};

}  // namespace rondo
