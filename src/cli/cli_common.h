// SPDX-License-Identifier: GPL-3.0-or-later
// What the commands of rondotheka-cli share: the parsed arguments, the
// engine's host, the checks of typed texts and the ways to a stored disc.
// Each group of commands lives in its own file.
#pragma once

#include <chrono>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "catalogue/engine.h"
#include "catalogue/export.h"
#include "catalogue/messages.h"
#include "cli/cli.h"
#include "settings/group_kinds.h"
#include "shell/text.h"
#include "shell/typed_text.h"

namespace rondo {

class Registry;

namespace cli {

// How long a change waits while another program changes the same file.
constexpr std::chrono::milliseconds kDefaultLockWait{5000};

// Messages of the engine go to stderr; questions are answered No, so the
// command line never changes a catalogue on its own.
class CliHost : public EngineHost {
 public:
  explicit CliHost(std::ostream& err) : err_(err) {}

  // The answers the command's arguments give to the dialogs. An answer the
  // catalogue cannot store is refused as a dialog would refuse it: with the
  // reason, and as if "Storno" was pressed.
  std::optional<std::string> text;
  std::optional<std::vector<std::string>> groups;
  std::optional<std::string> AskText(const TextPrompt& prompt) override {
    if (text && prompt.field) {
      if (const std::string refusal = TypedTextRefusal(*text, *prompt.field, prompt.width);
          !refusal.empty()) {
        ShowMessage(refusal + " Nic nebylo změněno.");
        return std::nullopt;
      }
    }
    return text;
  }
  std::optional<std::vector<std::string>> PickGroups(const std::vector<std::string>&) override {
    if (groups) {
      for (const auto& group : *groups) {
        if (const std::string refusal = TypedTextRefusal(group, TypedField::kGroupName);
            group != kUnassignedGroup && !refusal.empty()) {
          ShowMessage(refusal + " Nic nebylo změněno.");
          return std::nullopt;
        }
      }
    }
    return groups;
  }

  bool Confirm(const std::string& text) override {
    if (text == msg::kOldFormatQuestion)
      oldFormat_ = true;
    return false;
  }
  void ShowMessage(const std::string& text) override {
    // Names quoted in a message may hold control characters of their own.
    err_ << EscapeControlsInMessage(text) << '\n';
    // A report of success is not a failure.
    if (text != msg::kImportDone)
      failed_ = true;
  }

  bool Failed() const { return failed_; }
  bool OldFormat() const { return oldFormat_; }

  // --wait: how long a change waits for another program's change.
  std::chrono::milliseconds lockWait{kDefaultLockWait};
  bool KeepWaitingForLock(const std::string&, std::chrono::milliseconds waited) override {
    return waited < lockWait;
  }

 private:
  std::ostream& err_;
  bool failed_ = false;
  bool oldFormat_ = false;
};

// Every cell keeps its row and column, and no stored byte reaches the
// terminal as a control sequence.
inline std::string CleanCell(const std::string& cell) {
  return EscapeControls(cell);
}

// A text quoted in a message on stderr.
inline std::string Shown(const std::string& text) {
  return EscapeControlsInMessage(text);
}

// Refuses a typed text the catalogue cannot store; false after saying why.
bool Storable(const std::string& text, TypedField field, std::ostream& err,
              std::optional<std::size_t> width = std::nullopt);
// The same for a set of group names (kUnassignedGroup stands for none).
bool StorableGroups(const std::vector<std::string>& names, TypedField field, std::ostream& err);

template <typename List>
void PrintRows(const List& list, std::ostream& out) {
  for (const auto& row : list.rows) {
    for (std::size_t i = 0; i < row.cells.size(); ++i) {
      if (i > 0)
        out << '\t';
      out << CleanCell(row.cells[i]);
    }
    out << '\n';
  }
}

struct Arguments {
  std::optional<std::string> db;
  std::chrono::milliseconds wait{kDefaultLockWait};
  std::vector<std::string> words;
  // --format csv|json of a listing command; none for the TAB-separated
  // rows (--format tsv).
  std::optional<ExportFormat> format;
};

// Reports wrong arguments with the usage text; returns kExitUsage.
int Usage(std::ostream& err, const std::string& problem);
// Reports a catalogue of the old format; returns kExitFailed.
int OldFormat(std::ostream& err, const std::string& path);

bool IsMultigroup(const std::string& path, const std::string& serial);
// Whether serial is stored: kExitOk, or kExitNo with the message (ending in
// suffix) written, or the status of a failure already reported.
int StoredStatus(Engine& engine, CliHost& host, const std::string& serial, std::ostream& err,
                 const char* suffix = "");
// Opens a stored disc at its root, as a double click in the disc list does.
// A serial that is not stored, or a multigroup, is a failure with a message.
int OpenDiscRoot(Engine& engine, CliHost& host, const std::string& serial, std::ostream& err);
// Goes down the "/"-separated directories of path on the browsed disc, the
// first directory of each name, as double clicks would. False with a message
// when one is missing.
bool EnterPath(Engine& engine, const std::string& path, const std::string& serial,
               std::ostream& err);

// The commands that list (cli_lists.cpp).
int ListDiscs(const Arguments& a, Engine& engine, CliHost& host, std::ostream& out,
              std::ostream& err);
int ListMembers(const Arguments& a, Engine& engine, CliHost& host, std::ostream& out,
                std::ostream& err);
int ListDirectory(const Arguments& a, Engine& engine, CliHost& host, std::ostream& out,
                  std::ostream& err);
int SearchCatalogue(const Arguments& a, Engine& engine, CliHost& host, std::ostream& out,
                    std::ostream& err);
int ListDuplicates(const Arguments& a, Engine& engine, CliHost& host, std::ostream& out,
                   std::ostream& err);

// The commands that change discs and items (cli_changes.cpp).
bool IsDiscCommand(const std::string& command);
int ChangeDiscs(const Arguments& a, Engine& engine, CliHost& host, Registry& registry,
                std::ostream& out, std::ostream& err);
int ChangeItem(const Arguments& a, Engine& engine, CliHost& host, Registry& registry,
               std::ostream& out, std::ostream& err);
// A scanned folder or disc image stored as a new disc (cli_add.cpp).
int AddDisc(const Arguments& a, Engine& engine, CliHost& host, Registry& registry,
            std::ostream& out, std::ostream& err);
// rescan SERIAL ROOT: the stored disc scanned again in its place.
int RescanStoredDisc(const Arguments& a, Engine& engine, Registry& registry, std::ostream& out,
                     std::ostream& err);

// The rest (cli_other.cpp).
int Init(const Arguments& a, Registry& registry, std::ostream& out, std::ostream& err);
int Groups(const Arguments& a, Registry& registry, std::ostream& out, std::ostream& err);
int Statistics(const Arguments& a, Engine& engine, CliHost& host, std::ostream& out,
               std::ostream& err);
int Borrowed(const Arguments& a, std::ostream& out, std::ostream& err);
int CheckSurfaceCommand(const Arguments& a, std::ostream& out, std::ostream& err);
int Convert(const Arguments& a, std::ostream& err);

}  // namespace cli
}  // namespace rondo
