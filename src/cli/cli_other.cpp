// SPDX-License-Identifier: GPL-3.0-or-later
// The commands around the catalogue: init, groups, stats, borrowed, check
// and convert.
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>

#include "acquisition/surface_check.h"
#include "borrowed/borrowed_list.h"
#include "catalogue/conversion.h"
#include "catalogue/statistics.h"
#include "cli/cli_common.h"
#include "images/image_surface.h"
#include "platform/environment.h"
#include "settings/group_kinds.h"
#include "settings/registry.h"
#include "shell/dates.h"

namespace rondo {
namespace cli {

// Creates the catalogue when it is missing or empty; an existing one stays
// as it is (but must be a catalogue).
int Init(const Arguments& a, Registry& registry, std::ostream& out, std::ostream& err) {
  std::string path = a.db.value_or(registry.ReadText("Cesta"));
  const bool configure = path.empty();
  if (configure) {
    path = platform::DefaultCataloguePath();
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  }
  CliHost host(err);
  host.lockWait = a.wait;
  Engine engine(host);
  engine.DatabasePath = path;
  engine.RunOperation(OperationCode::kSerialExists);  // opens, creates, checks
  if (host.OldFormat())
    return OldFormat(err, path);
  if (host.Failed())
    return kExitFailed;
  if (configure)
    registry.WriteText("Cesta", path);
  out << path << '\n';
  return kExitOk;
}

int Groups(const Arguments& a, Registry& registry, std::ostream& out, std::ostream& err) {
  if (a.words.size() == 1) {
    if (a.format) {
      ExportWriter rows(out, *a.format, GroupExportFields());
      for (const auto& name : ReadGroupList(registry))
        rows.Row({name});
      rows.Finish();
      return kExitOk;
    }
    for (const auto& name : ReadGroupList(registry))
      out << CleanCell(name) << '\n';
    return kExitOk;
  }
  if (a.words.size() == 3 && a.words[1] == "add") {
    if (!Storable(a.words[2], TypedField::kGroupName, err))
      return kExitUsage;
    RegisterGroup(registry, a.words[2]);
    return kExitOk;
  }
  if (a.words.size() == 3 && a.words[1] == "remove") {
    const auto names = ReadGroupList(registry);
    if (std::find(names.begin(), names.end(), a.words[2]) == names.end()) {
      err << "rondotheka-cli: skupina „" << Shown(a.words[2]) << "“ v seznamu není.\n";
      return kExitFailed;
    }
    UnregisterGroup(registry, a.words[2]);
    return kExitOk;
  }
  return Usage(err, "groups [add JMÉNO | remove JMÉNO]");
}

int Statistics(const Arguments& a, Engine& engine, CliHost& host, std::ostream& out,
               std::ostream& err) {
  bool details = false;
  for (std::size_t i = 1; i < a.words.size(); ++i) {
    if (a.words[i] != "--details")
      return Usage(err, "stats [--details]");
    details = true;
  }
  engine.RunOperation(OperationCode::kDatabaseStatistics);
  if (host.OldFormat())
    return OldFormat(err, engine.DatabasePath);
  if (host.Failed())
    return kExitFailed;
  if (a.format) {
    std::optional<DatabaseDetails> d;
    if (details)
      d = LoadDatabaseDetails(engine.DatabasePath, engine.Format());
    ExportWriter rows(out, *a.format, StatisticsExportFields());
    for (const auto& row : StatisticsExportRows(engine.Statistics, d ? &*d : nullptr))
      rows.Row(row);
    rows.Finish();
    if (!d)
      return kExitOk;
    for (const auto& report : d->damageReports)
      err << "rondotheka-cli: " << Shown(report) << '\n';
    return d->damagedDiscs.empty() ? kExitOk : kExitFailed;
  }
  for (const auto& figure : StatisticsFigures(engine.Statistics, engine.Format()))
    out << figure.label << '\t' << figure.value << '\n';
  if (!details)
    return kExitOk;
  const DatabaseDetails d = LoadDatabaseDetails(engine.DatabasePath, engine.Format());
  out << "Detailní infomace\n";
  for (const auto& g : d.groups)
    out << CleanCell(g.group) << '\t' << g.discs << '\n';
  out << "Detailní informace - Extrémy\n";
  for (const Extreme* e : {&d.largestFile, &d.largestDir, &d.mostFiles})
    out << e->label << '\t' << CleanCell(e->path) << '\t' << e->value << '\n';
  for (const auto& report : d.damageReports)
    err << "rondotheka-cli: " << Shown(report) << '\n';
  return d.damagedDiscs.empty() ? kExitOk : kExitFailed;
}

int Borrowed(const Arguments& a, std::ostream& out, std::ostream& err) {
  const std::string path = platform::BorrowedListPath();
  const std::string sub = a.words.size() > 1 ? a.words[1] : "";
  if (sub == "list" && a.words.size() == 2) {
    const BorrowedList list = LoadBorrowedList(path);
    const DisplayFormat format = platform::CurrentDisplayFormat();
    std::optional<ExportWriter> rows;
    if (a.format)
      rows.emplace(out, *a.format, BorrowedExportFields());
    for (const auto& disc : list.discs) {
      if (rows) {
        rows->Row(BorrowedExportRow(disc));
        continue;
      }
      out << CleanCell(disc.description) << '\t' << CleanCell(disc.group) << '\t'
          << CleanCell(disc.from) << '\t' << DateText(disc.date, format.dateTime) << '\t'
          << static_cast<int>(disc.count) << '\n';
    }
    if (rows)
      rows->Finish();
    if (list.strayBytes != 0) {
      err << "rondotheka-cli: " << msg::BorrowedStrayBytes(path, list.strayBytes) << '\n';
      return kExitFailed;
    }
    return kExitOk;
  }
  if (sub == "add") {
    BorrowedDisc disc;
    std::optional<std::string> date;
    std::optional<int> count;
    for (std::size_t i = 2; i < a.words.size(); ++i) {
      const std::string& w = a.words[i];
      if (i + 1 >= a.words.size())
        return Usage(err, "borrowed add: " + w + " potřebuje hodnotu");
      const std::string& value = a.words[++i];
      if (w == "--description") {
        disc.description = value;
      } else if (w == "--group") {
        disc.group = value;
      } else if (w == "--from") {
        disc.from = value;
      } else if (w == "--date") {
        date = value;
      } else if (w == "--count") {
        int n = 0;
        const auto r = std::from_chars(value.data(), value.data() + value.size(), n);
        if (r.ec != std::errc() || r.ptr != value.data() + value.size() || n < 1 || n > 100)
          return Usage(err, "--count je celé číslo 1 až 100");
        count = n;
      } else {
        return Usage(err, "nesprávný argument příkazu borrowed add: " + w);
      }
    }
    disc.count = static_cast<std::uint8_t>(count.value_or(1));
    disc.date = EncodeOleDate(NowLocal());
    if (date) {
      const auto parsed = ParseDate(*date, "%Y-%m-%d");
      if (!parsed) {
        err << "rondotheka-cli: " << msg::NotADate(*date) << '\n';
        return kExitUsage;
      }
      disc.date = *parsed;
    } else {
      disc.date = static_cast<double>(static_cast<long long>(disc.date));
    }
    if (const auto copy = AppendBorrowedDisc(path, disc, WaitAtMost(a.wait))) {
      err << "rondotheka-cli: " << msg::BorrowedRewritten(path, *copy) << '\n';
    }
    return kExitOk;
  }
  if (sub == "remove" && a.words.size() == 3) {
    const std::size_t removed = RemoveBorrowedDiscs(path, a.words[2], WaitAtMost(a.wait));
    out << removed << '\n';
    return removed == 0 ? kExitNo : kExitOk;
  }
  return Usage(err, "borrowed list | borrowed add ... | borrowed remove POPIS");
}

namespace {

// The surface check prints its error lines as they come, so a long check
// shows its trouble while it runs.
class CliSurfaceHost : public SurfaceCheckHost {
 public:
  explicit CliSurfaceHost(std::ostream& out) : out_(out) {}
  void File(const std::string&, std::uint64_t) override {}
  void Block(std::size_t) override {}
  // A line names a file on the medium, which may hold control characters.
  void Error(const std::string& line) override { out_ << Shown(line) << '\n' << std::flush; }
  bool Running() override { return true; }

 private:
  std::ostream& out_;
};

}  // namespace

int CheckSurfaceCommand(const Arguments& a, std::ostream& out, std::ostream& err) {
  if (a.words.size() != 2)
    return Usage(err, "check KOŘEN");
  CliSurfaceHost host(out);
  const auto started = std::chrono::steady_clock::now();
  // An image file is checked by reading its files where the image records
  // them.
  std::error_code ec;
  SurfaceCheckResult result;
  if (std::filesystem::is_regular_file(a.words[1], ec)) {
    try {
      images::ImageSurfaceFiles image(a.words[1]);
      result = CheckSurface(a.words[1], host, image);
    } catch (const images::ImageError& e) {
      err << "rondotheka-cli: " << Shown(e.what()) << '\n';
      return kExitFailed;
    }
  } else {
    result = CheckSurface(a.words[1], host);
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  if (result.rootUnreadable)
    return kExitFailed;
  if (result.mediumGone)
    out << kMediumRemoved << '\n';
  const auto rate = seconds > 0.0
                        ? static_cast<std::uint64_t>(static_cast<double>(result.bytes) / seconds)
                        : result.bytes;
  char secondsText[32];
  std::snprintf(secondsText, sizeof secondsText, "%.1f", seconds);
  out << "Přečteno: " << result.bytes << " B, " << secondsText << " s, průměr " << rate << " B/s\n";
  return result.errors == 0 ? kExitOk : kExitNo;
}

int Convert(const Arguments& a, std::ostream& err) {
  if (a.words.size() != 2)
    return Usage(err, "convert CESTA");
  try {
    ConversionProgress progress;
    progress.wait = WaitAtMost(a.wait);
    ConvertOldCatalogue(a.words[1], progress);
  } catch (const std::exception& e) {
    err << "rondotheka-cli: " << Shown(e.what()) << msg::kFileUnchanged << '\n';
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace cli
}  // namespace rondo
