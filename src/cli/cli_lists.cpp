// SPDX-License-Identifier: GPL-3.0-or-later
// The commands that list: list, members/exists, ls, search, duplicates.
#include <algorithm>
#include <charconv>
#include <sstream>

#include "cli/cli_common.h"
#include "cli/cli_duplicates.h"
#include "settings/group_kinds.h"

namespace rondo {
namespace cli {

// Lists a stored disc's root or a directory on it, going down the path as a
// double click on each directory would.
int ListDirectory(const Arguments& a, Engine& engine, CliHost& host, std::ostream& out,
                  std::ostream& err) {
  std::vector<std::string> positional;
  for (std::size_t i = 1; i < a.words.size(); ++i) {
    if (a.words[i] == "--all") {
      engine.ShowForeignItems = true;
    } else if (a.words[i] == "--group" && i + 1 < a.words.size()) {
      engine.GroupFilter = a.words[++i];
    } else if (a.words[i].rfind("--group=", 0) == 0) {
      engine.GroupFilter = a.words[i].substr(8);
    } else if (a.words[i].rfind("--", 0) == 0) {
      return Usage(err, "neznámý argument příkazu ls: " + a.words[i]);
    } else {
      positional.push_back(a.words[i]);
    }
  }
  if (positional.empty() || positional.size() > 2) {
    return Usage(err, "ls potřebuje SERIAL a nejvýš jednu CESTU");
  }
  const std::string& serial = positional[0];
  if (const int status = OpenDiscRoot(engine, host, serial, err); status != kExitOk)
    return status;

  const std::string path = positional.size() == 2 ? positional[1] : std::string();
  if (!EnterPath(engine, path, serial, err))
    return kExitFailed;
  engine.SortDirList(0);
  if (a.format) {
    ExportWriter rows(out, *a.format, DirExportFields());
    for (const auto& row : engine.Dirs.rows) {
      if (IsExportedDirRow(row))
        rows.Row(DirExportRow(row));
    }
    rows.Finish();
  } else {
    PrintRows(engine.Dirs, out);
  }
  return host.Failed() ? kExitFailed : kExitOk;
}

// The search window's options, given as arguments.
int SearchCatalogue(const Arguments& a, Engine& engine, CliHost& host, std::ostream& out,
                    std::ostream& err) {
  FixedSearchHost search;
  bool wrap = true;
  std::vector<std::string> groups;
  std::optional<std::string> pattern;
  for (std::size_t i = 1; i < a.words.size(); ++i) {
    const std::string& w = a.words[i];
    const bool hasValue = i + 1 < a.words.size();
    if (w == "--kind" && hasValue) {
      const std::string& kind = a.words[++i];
      if (kind == "all") {
        search.kind = SearchKind::kAll;
      } else if (kind == "dirs") {
        search.kind = SearchKind::kDirectories;
      } else if (kind == "files") {
        search.kind = SearchKind::kFiles;
      } else {
        return Usage(err, "--kind je all, dirs nebo files");
      }
    } else if (w == "--depth" && hasValue) {
      const std::string& text = a.words[++i];
      int depth = 0;
      const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), depth);
      if (ec != std::errc() || end != text.data() + text.size() || depth < 1 || depth > 250) {
        return Usage(err, "--depth je číslo 1 až 250");
      }
      search.depth = depth;
    } else if (w == "--group" && hasValue) {
      groups.push_back(a.words[++i]);
    } else if (w == "--case") {
      search.matchCase = true;
    } else if (w == "--no-dir-groups") {
      search.directoryGroups = false;
    } else if (w == "--no-cache") {
      search.cache = false;
    } else if (w == "--no-wrap") {
      wrap = false;
    } else if (w.rfind("--", 0) == 0 || pattern) {
      return Usage(err, "nesprávný argument příkazu search: " + w);
    } else {
      pattern = w;
    }
  }
  if (!pattern || pattern->empty())
    return Usage(err, "search potřebuje VZOR");
  search.pattern = wrap ? WrapPattern(*pattern) : *pattern;
  if (!groups.empty())
    search.groups = groups;

  engine.Search = &search;
  engine.RunOperation(OperationCode::kSearch);
  engine.Search = nullptr;
  if (host.OldFormat())
    return OldFormat(err, engine.DatabasePath);
  if (a.format) {
    ExportWriter rows(out, *a.format, SearchExportFields());
    for (std::size_t row = 0; row < engine.Found.size(); ++row)
      rows.Row(SearchExportRow(engine.Found, row));
    rows.Finish();
    return host.Failed() ? kExitFailed : kExitOk;
  }
  const DisplayFormat& format = engine.Format();
  for (std::size_t row = 0; row < engine.Found.size(); ++row) {
    for (std::size_t column = 0; column < kSearchColumnCount; ++column) {
      if (column > 0)
        out << '\t';
      out << CleanCell(engine.Found.Cell(row, column, format.dateTime, format.decimalPoint));
    }
    out << '\n';
  }
  return host.Failed() ? kExitFailed : kExitOk;
}

// The disc rows as TAB-separated cells or in the asked format.
void PrintDiscs(const Arguments& a, const DiscList& discs, std::ostream& out) {
  if (!a.format) {
    PrintRows(discs, out);
    return;
  }
  ExportWriter rows(out, *a.format, DiscExportFields());
  for (const auto& row : discs.rows) {
    if (IsExportedDiscRow(row))
      rows.Row(DiscExportRow(row));
  }
  rows.Finish();
}

int ListDiscs(const Arguments& a, Engine& engine, CliHost& host, std::ostream& out,
              std::ostream& err) {
  std::string group(kGroupAll);
  for (std::size_t i = 1; i < a.words.size(); ++i) {
    if (a.words[i] == "--group" && i + 1 < a.words.size()) {
      group = a.words[++i];
    } else if (a.words[i].rfind("--group=", 0) == 0) {
      group = a.words[i].substr(8);
    } else {
      return Usage(err, "neznámý argument příkazu list: " + a.words[i]);
    }
  }
  engine.GroupFilter = group;
  engine.RunOperation(OperationCode::kListCds);
  if (host.OldFormat())
    return OldFormat(err, engine.DatabasePath);
  PrintDiscs(a, engine.Discs, out);
  return host.Failed() ? kExitFailed : kExitOk;
}

int ListMembers(const Arguments& a, Engine& engine, CliHost& host, std::ostream& out,
                std::ostream& err) {
  const std::string& command = a.words[0];
  if (command == "exists" && a.format)
    return Usage(err, "exists nemá --format");
  if (a.words.size() != 2)
    return Usage(err, command + " potřebuje právě jedno SERIAL");
  if (command == "exists") {
    std::ostringstream quiet;  // "no" is the answer, not a failure
    const int status = StoredStatus(engine, host, a.words[1], quiet);
    if (status == kExitOk || status == kExitNo)
      out << (status == kExitOk ? "yes" : "no") << '\n';
    else
      err << quiet.str();
    return status;
  }
  if (const int status = StoredStatus(engine, host, a.words[1], err); status != kExitOk)
    return status == kExitNo ? kExitFailed : status;
  engine.RunOperation(OperationCode::kShowMultigroup);
  PrintDiscs(a, engine.Discs, out);
  return host.Failed() ? kExitFailed : kExitOk;
}

int ListDuplicates(const Arguments& a, Engine& engine, CliHost& host, std::ostream& out,
                   std::ostream& err) {
  std::string problem;
  const auto options = ParseDuplicateArguments(a.words, problem);
  if (!options)
    return Usage(err, problem);
  FixedDuplicateHost duplicates;
  duplicates.options = *options;
  engine.DuplicateSearch = &duplicates;
  engine.RunOperation(OperationCode::kFindDuplicates);
  engine.DuplicateSearch = nullptr;
  if (host.OldFormat())
    return OldFormat(err, engine.DatabasePath);
  if (a.format) {
    const DuplicateReport& report = engine.Duplicates;
    ExportWriter rows(out, *a.format, DuplicateExportFields());
    for (std::size_t group = 1; group <= report.Groups().size(); ++group) {
      for (std::size_t copy = 0; copy < report.Groups()[group - 1].copies; ++copy)
        rows.Row(DuplicateExportRow(report, group, copy));
    }
    rows.Finish();
  } else {
    PrintDuplicates(engine.Duplicates, engine.Format(), out);
  }
  return host.Failed() ? kExitFailed : kExitOk;
}

}  // namespace cli
}  // namespace rondo
