// SPDX-License-Identifier: GPL-3.0-or-later
// The commands that change stored discs and items: lend, return, clear,
// rename, set-groups, remove, multigroup, import-groups, comment and
// item-groups.
#include <algorithm>
#include <set>

#include "cli/cli_common.h"

namespace rondo {
namespace cli {

namespace {

const std::set<std::string> kDiscCommands = {"lend",       "return", "clear",      "rename",
                                             "set-groups", "remove", "multigroup", "import-groups"};

// Selects the rows of the given serials, as a user would in the disc list.
void Select(Engine& engine, const std::vector<std::string>& serials) {
  engine.Discs.rows.clear();
  for (const auto& serial : serials) {
    DiscRow row;
    row.cells[kColSerial] = serial;
    row.selected = true;
    engine.Discs.rows.push_back(std::move(row));
  }
}

}  // namespace

bool IsDiscCommand(const std::string& command) {
  return kDiscCommands.count(command) != 0;
}

int ChangeDiscs(const Arguments& a, Engine& engine, CliHost& host, Registry& registry,
                std::ostream& out, std::ostream& err) {
  const std::string& command = a.words[0];
  std::vector<std::string> rest(a.words.begin() + 1, a.words.end());
  engine.Settings = &registry;
  OperationCode code = OperationCode::kListCds;
  if (command == "lend") {
    if (rest.size() < 3 || rest[0] != "--to")
      return Usage(err, "lend --to JMÉNO SERIAL...");
    if (!Storable(rest[1], TypedField::kLendingName, err))
      return kExitUsage;
    host.text = rest[1];
    rest.erase(rest.begin(), rest.begin() + 2);
    code = OperationCode::kLendCds;
  } else if (command == "return" || command == "clear" || command == "remove") {
    if (rest.empty())
      return Usage(err, command + " potřebuje aspoň jedno SERIAL");
    code = command == "return"  ? OperationCode::kReturnCds
           : command == "clear" ? OperationCode::kClearLending
                                : OperationCode::kRemoveCds;
  } else if (command == "rename") {
    if (rest.size() != 2)
      return Usage(err, "rename SERIAL JMÉNO");
    if (!Storable(rest[1], TypedField::kDiscName, err))
      return kExitUsage;
    host.text = rest[1];
    rest.resize(1);
    code = OperationCode::kRenameCd;
  } else if (command == "set-groups") {
    if (rest.empty())
      return Usage(err, "set-groups SERIAL [SKUPINA...]");
    host.groups = std::vector<std::string>(rest.begin() + 1, rest.end());
    if (!StorableGroups(*host.groups, TypedField::kDiscGroups, err))
      return kExitUsage;
    rest.resize(1);
    code = OperationCode::kChangeCdGroups;
  } else if (command == "multigroup") {
    if (rest.size() < 2)
      return Usage(err, "multigroup JMÉNO SERIAL...");
    const std::string name = rest[0];
    if (!Storable(name, TypedField::kDiscName, err))
      return kExitUsage;
    Select(engine, std::vector<std::string>(rest.begin() + 1, rest.end()));
    const std::string serial = engine.CreateMultigroup(name);
    if (host.OldFormat())
      return OldFormat(err, engine.DatabasePath);
    if (host.Failed() || serial.empty())
      return kExitFailed;
    out << serial << '\n';
    return kExitOk;
  } else {  // import-groups
    if (!rest.empty())
      return Usage(err, "import-groups nemá žádné argumenty");
    engine.RunOperation(OperationCode::kImportGroups);
    if (host.OldFormat())
      return OldFormat(err, engine.DatabasePath);
    return host.Failed() ? kExitFailed : kExitOk;
  }
  Select(engine, rest);
  engine.RunOperation(code);
  if (host.OldFormat())
    return OldFormat(err, engine.DatabasePath);
  return host.Failed() ? kExitFailed : kExitOk;
}

// comment SERIAL PATH TEXT / item-groups SERIAL PATH [GROUP...]: the item is
// the last name of PATH in the directory the rest of PATH leads to.
int ChangeItem(const Arguments& a, Engine& engine, CliHost& host, Registry& registry,
               std::ostream& out, std::ostream& err) {
  (void)out;
  const bool groups = a.words[0] == "item-groups";
  if (a.words.size() < 3 || (!groups && a.words.size() != 4)) {
    return Usage(err,
                 groups ? "item-groups SERIAL CESTA [SKUPINA...]" : "comment SERIAL CESTA TEXT");
  }
  const std::string& serial = a.words[1];
  std::string path = a.words[2];
  while (!path.empty() && path.back() == '/')
    path.pop_back();
  const std::size_t slash = path.rfind('/');
  const std::string directory = slash == std::string::npos ? "" : path.substr(0, slash);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name.empty())
    return Usage(err, "CESTA musí končit jménem položky");

  engine.Settings = &registry;
  engine.ShowForeignItems = true;
  if (const int status = OpenDiscRoot(engine, host, serial, err); status != kExitOk)
    return status;
  if (!EnterPath(engine, directory, serial, err))
    return kExitFailed;
  auto& rows = engine.Dirs.rows;
  const auto it = std::find_if(rows.begin(), rows.end(), [&](const DirRow& row) {
    return (row.kind == DirRowKind::kDirectory || row.kind == DirRowKind::kFile) &&
           row.Caption() == name;
  });
  if (it == rows.end()) {
    err << "rondotheka-cli: položka „" << path << "“ na CD " << serial << " není.\n";
    return kExitFailed;
  }
  for (auto& row : rows)
    row.selected = false;
  it->selected = true;
  if (groups) {
    host.groups = std::vector<std::string>(a.words.begin() + 3, a.words.end());
  } else {
    host.text = a.words[3];
  }
  engine.RunOperation(groups ? OperationCode::kChangeItemGroups
                             : OperationCode::kChangeItemComment);
  return host.Failed() ? kExitFailed : kExitOk;
}

}  // namespace cli
}  // namespace rondo
