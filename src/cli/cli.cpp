// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <optional>
#include <ostream>
#include <set>
#include <sstream>

#include "acquisition/scan_request_check.h"
#include "acquisition/scanner.h"
#include "acquisition/surface_check.h"
#include "borrowed/borrowed_list.h"
#include "catalogue/conversion.h"
#include "catalogue/engine.h"
#include "catalogue/format/entry_walker.h"
#include "catalogue/format/errors.h"
#include "catalogue/messages.h"
#include "catalogue/statistics.h"
#include "cli/cli_duplicates.h"
#include "images/disc_image.h"
#include "images/image_surface.h"
#include "platform/environment.h"
#include "platform/linux_drives.h"
#include "platform/linux_file_tree.h"
#include "settings/group_kinds.h"
#include "settings/registry.h"
#include "shell/dates.h"
#include "shell/text.h"
#include "shell/typed_text.h"
#include "version.h"

namespace rondo {

namespace {

constexpr const char* kUsage =
    "Použití: rondotheka-cli [--db CESTA] [--wait SEKUNDY] PŘÍKAZ ...\n"
    "\n"
    "Katalog disků QEL Rondotheka z příkazového řádku. Bez --db se použije\n"
    "databáze nastavená v programu (hodnota \"Cesta\"). Když databázi právě mění\n"
    "jiný program, změna na něj čeká nejvýš --wait sekund (výchozí 5), pak skončí\n"
    "s kódem 3 a nic nezmění.\n"
    "\n"
    "Příkazy:\n"
    "  init                 založí databázi, pokud ještě neexistuje; když žádná\n"
    "                       není nastavena, založí výchozí a nastaví ji\n"
    "  list [--group G]     seznam CD skupiny G (All, Půjčené, Nepůjčené nebo\n"
    "                       jméno skupiny; výchozí All), dvanáct sloupců\n"
    "  members SERIAL       členové multiskupiny (první řádek \"..\")\n"
    "  exists SERIAL        vypíše yes (návratový kód 0) nebo no (kód 1)\n"
    "  ls SERIAL [CESTA] [--all] [--group G]\n"
    "                       kořen uloženého CD nebo adresář CESTA (jména oddělená\n"
    "                       \"/\"), šest sloupců seznamu adresářů seřazených podle\n"
    "                       jména; --all ukáže i položky jiných skupin, --group\n"
    "                       vybere skupinu (výchozí All)\n"
    "  add KOŘEN|OBRAZ [--name TEXT] [--group G]... [--comment CESTA TEXT]...\n"
    "      [--dir-groups CESTA SKUPINY]... [--no-structure] [--serial XXXX-XXXX]\n"
    "      [--label TEXT] [--allow-duplicate]\n"
    "                       prozkoumá KOŘEN (přípojný bod nebo složku) nebo OBRAZ\n"
    "                       disku (ISO 9660, UDF; bez připojení), uloží ho jako\n"
    "                       nové CD, přepočítá jeho strukturu a vypíše serial;\n"
    "                       CESTA je úplná cesta položky (KOŘEN/…)\n"
    "  recalc [SERIAL]      přepočítá adresářovou strukturu jednoho nebo všech CD\n"
    "  search VZOR [--kind all|dirs|files] [--depth N] [--group G]... [--case]\n"
    "      [--no-dir-groups] [--no-cache] [--no-wrap]\n"
    "                       hledá jména podle vzoru (* a ?); bez --no-wrap se vzor\n"
    "                       bez * na začátku i konci hledá jako *VZOR*; deset\n"
    "                       sloupců výsledků v pořadí nálezu\n"
    "  lend --to JMÉNO SERIAL...   půjčí CD (datum a čas teď)\n"
    "  return SERIAL...     označí CD jako vrácená\n"
    "  clear SERIAL...      smaže záznam o půjčení\n"
    "  rename SERIAL JMÉNO  přejmenuje CD\n"
    "  set-groups SERIAL [SKUPINA...]  nastaví skupiny CD (bez skupin je vymaže)\n"
    "  remove SERIAL...     odstraní CD; serial multiskupiny ji zruší\n"
    "  multigroup JMÉNO SERIAL...  vytvoří multiskupinu a vypíše její serial\n"
    "  import-groups        převezme do seznamu skupin všechny skupiny z databáze\n"
    "  comment SERIAL CESTA TEXT      nový komentář souboru nebo adresáře CESTA\n"
    "  item-groups SERIAL CESTA [SKUPINA...]  nové skupiny souboru nebo adresáře\n"
    "  stats [--details]    informace o databázi: popisek, tabulátor, hodnota;\n"
    "                       --details přidá počty CD ve skupinách a extrémy\n"
    "  duplicates [--min-size BAJTY] [--by name|name+size|name+size+time]\n"
    "      [--group G]...   soubory uložené na více CD (výchozí --by name+size),\n"
    "                       skupiny podle místa, které zabírají navíc: číslo\n"
    "                       skupiny, velikost, jméno, serial, popis CD, umístění,\n"
    "                       čas; jeden řádek za každou kopii\n"
    "  convert CESTA        převede databázi verze 3.x na současný formát\n"
    "  check KOŘEN|OBRAZ    přečte všechny soubory pod KOŘENEM nebo v OBRAZU disku\n"
    "                       (kontrola povrchu),\n"
    "                       vypíše řádek za každý nečitelný soubor či adresář a\n"
    "                       souhrn; kód 1, když se něco přečíst nedalo\n"
    "  borrowed list        mnou půjčená CD (popis, skupina, od koho, datum, počet)\n"
    "  borrowed add --description D --group G --from F --date RRRR-MM-DD --count N\n"
    "                       přidá mnou půjčené CD (počet 1 až 100)\n"
    "  borrowed remove POPIS   odebere všechna mnou půjčená CD s tímto popisem\n"
    "  groups               seznam skupin\n"
    "  groups add JMÉNO     přidá skupinu\n"
    "  groups remove JMÉNO  odebere skupinu (CD a položky si jméno ponechají)\n"
    "  --help, --version\n"
    "\n"
    "Výstup je v UTF-8, jeden řádek na položku, sloupce oddělené tabulátorem.\n"
    "Řídicí znaky uvnitř textů se vypisují jako \\t, \\n, \\r a \\xHH, zpětné\n"
    "lomítko jako \\\\; ve zprávách na stderr stejně, jen lomítko zůstává jedno.\n"
    "Text, který katalog neumí uložit (delší než jeho pole, se znakem mimo\n"
    "kódovou stránku 1250, skupina se znakem ; nebo ^, komentář se znakem ^),\n"
    "se odmítne s kódem 2 a nic se nezmění.\n"
    "Návratové kódy: 0 úspěch, 1 odpověď ne, 2 chybné argumenty, 3 chyba databáze.\n";

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
std::string CleanCell(const std::string& cell) {
  return EscapeControls(cell);
}

// A text quoted in a message on stderr.
std::string Shown(const std::string& text) {
  return EscapeControlsInMessage(text);
}

// Refuses a typed text the catalogue cannot store; false after saying why.
bool Storable(const std::string& text, TypedField field, std::ostream& err,
              std::optional<std::size_t> width = std::nullopt) {
  const std::string refusal = TypedTextRefusal(text, field, width);
  if (!refusal.empty())
    err << "rondotheka-cli: " << Shown(refusal) << " Nic nebylo změněno.\n";
  return refusal.empty();
}

// The same for a set of group names (kUnassignedGroup stands for none).
bool StorableGroups(const std::vector<std::string>& names, TypedField field, std::ostream& err) {
  std::vector<std::string> kept;
  for (const auto& name : names) {
    if (name != kUnassignedGroup)
      kept.push_back(name);
  }
  const std::string refusal = GroupsRefusal(kept, field);
  if (!refusal.empty())
    err << "rondotheka-cli: " << Shown(refusal) << " Nic nebylo změněno.\n";
  return refusal.empty();
}

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
};

int Usage(std::ostream& err, const std::string& problem) {
  err << "rondotheka-cli: " << problem << "\n\n" << kUsage;
  return kExitUsage;
}

int OldFormat(std::ostream& err, const std::string& path) {
  err << "Databáze „" << path
      << "“ má starý formát; soubor zůstal beze změny. Převede ji rondotheka-cli convert " << path
      << "\n";
  return kExitFailed;
}

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

bool IsMultigroup(const std::string& path, const std::string& serial) {
  FileStream file(path, FileStream::Mode::kReadOnly);
  EntryWalker walker(file);
  CdHeader h;
  const Cp1250Text wanted = ToCp1250(serial);
  while (walker.Next(h)) {
    if (h.Serial.Text() == wanted)
      return h.IsMultigroup();
  }
  return false;
}

// Whether serial is stored: kExitOk, or kExitNo with the message (ending in
// suffix) written, or the status of a failure already reported.
int StoredStatus(Engine& engine, CliHost& host, const std::string& serial, std::ostream& err,
                 const char* suffix = "") {
  engine.PendingSerial = serial;
  const bool exists = engine.RunOperation(OperationCode::kSerialExists);
  if (host.OldFormat())
    return OldFormat(err, engine.DatabasePath);
  if (host.Failed())
    return kExitFailed;
  if (!exists) {
    err << "rondotheka-cli: CD se sériovým číslem " << Shown(serial) << " v databázi není."
        << suffix << "\n";
    return kExitNo;
  }
  return kExitOk;
}

// Opens a stored disc at its root, as a double click in the disc list does.
// A serial that is not stored, or a multigroup, is a failure with a message.
int OpenDiscRoot(Engine& engine, CliHost& host, const std::string& serial, std::ostream& err) {
  if (const int status = StoredStatus(engine, host, serial, err); status != kExitOk)
    return status == kExitNo ? kExitFailed : status;
  if (IsMultigroup(engine.DatabasePath, serial)) {
    err << "rondotheka-cli: " << Shown(serial)
        << " je multiskupina; její členy vypíše příkaz members.\n";
    return kExitFailed;
  }
  engine.OpenDiscRoot(serial, serial);
  return kExitOk;
}

// Goes down the "/"-separated directories of path on the browsed disc, the
// first directory of each name, as double clicks would. False with a message
// when one is missing.
bool EnterPath(Engine& engine, const std::string& path, const std::string& serial,
               std::ostream& err) {
  std::size_t start = 0;
  while (start <= path.size()) {
    const std::size_t slash = std::min(path.find('/', start), path.size());
    const std::string name = path.substr(start, slash - start);
    start = slash + 1;
    if (name.empty())
      continue;
    auto& rows = engine.Dirs.rows;
    const auto it = std::find_if(rows.begin(), rows.end(), [&](const DirRow& row) {
      return row.kind == DirRowKind::kDirectory && row.Caption() == name;
    });
    if (it == rows.end()) {
      err << "rondotheka-cli: adresář „" << Shown(name) << "“ na CD " << Shown(serial)
          << " není.\n";
      return false;
    }
    for (auto& row : rows)
      row.selected = false;
    it->selected = true;
    engine.OpenSelectedItem();
  }
  return true;
}

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
  PrintRows(engine.Dirs, out);
  return host.Failed() ? kExitFailed : kExitOk;
}

// Problems met while scanning go to stderr; the ordinary status lines of the
// add-disc window are not repeated here.
class CliScanProgress : public ScanProgress {
 public:
  explicit CliScanProgress(std::ostream& err) : err_(err) {}
  // Warnings quote names found on the disc, which may hold anything.
  void Warn(const std::string& line) override { err_ << "rondotheka-cli: " << Shown(line) << '\n'; }

 private:
  std::ostream& err_;
};

std::optional<std::uint32_t> ParseSerial(const std::string& text) {
  if (text.size() != 9 || text[4] != '-')
    return std::nullopt;
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (i == 4)
      continue;
    const char c = text[i];
    int digit = -1;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    if (c >= 'A' && c <= 'F')
      digit = c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    if (digit < 0)
      return std::nullopt;
    value = value << 4 | static_cast<std::uint32_t>(digit);
  }
  return value;
}

int AddDisc(const Arguments& a, Engine& engine, CliHost& host, Registry& registry,
            std::ostream& out, std::ostream& err) {
  ScanRequest request;
  request.groups.clear();
  std::optional<std::string> name, label, serial;
  bool allowDuplicate = false;
  for (std::size_t i = 1; i < a.words.size(); ++i) {
    const std::string& w = a.words[i];
    const auto value = [&](std::size_t count) { return i + count < a.words.size(); };
    if (w == "--name" && value(1)) {
      name = a.words[++i];
    } else if (w == "--group" && value(1)) {
      request.groups.push_back(a.words[++i]);
    } else if (w == "--comment" && value(2)) {
      request.commentRows.push_back({a.words[i + 1], a.words[i + 2]});
      i += 2;
    } else if (w == "--dir-groups" && value(2)) {
      request.groupRows.push_back({a.words[i + 1], a.words[i + 2]});
      i += 2;
    } else if (w == "--no-structure") {
      request.withoutStructure = true;
    } else if (w == "--serial" && value(1)) {
      serial = a.words[++i];
    } else if (w == "--label" && value(1)) {
      label = a.words[++i];
    } else if (w == "--allow-duplicate") {
      allowDuplicate = true;
    } else if (w.rfind("--", 0) == 0 || !request.root.empty()) {
      return Usage(err, "nesprávný argument příkazu add: " + w);
    } else {
      request.root = w;
    }
  }
  if (request.root.empty())
    return Usage(err, "add potřebuje KOŘEN");
  if (request.groups.empty())
    request.groups.emplace_back(kUnassignedGroup);
  // Every typed text is checked before anything is read, registered or
  // stored.
  ScanRequest typed = request;
  typed.description = name.value_or("");
  if (const std::string refusal = ScanRequestRefusal(typed, label.value_or("")); !refusal.empty()) {
    err << "rondotheka-cli: " << Shown(refusal) << " Nic nebylo změněno.\n";
    return kExitUsage;
  }

  // A file is a disc image, read without mounting it; a folder that is
  // not there would be stored as an empty disc.
  std::error_code ec;
  std::unique_ptr<images::DiscImage> image;
  if (std::filesystem::is_regular_file(request.root, ec)) {
    try {
      image = std::make_unique<images::DiscImage>(request.root);
    } catch (const images::ImageError& e) {
      err << "rondotheka-cli: " << Shown(e.what()) << '\n';
      return kExitFailed;
    }
  } else if (!std::filesystem::is_directory(request.root, ec)) {
    err << "rondotheka-cli: složka „" << Shown(request.root)
        << "“ neexistuje nebo to není složka. Nic nebylo uloženo.\n";
    return kExitFailed;
  }
  platform::LinuxDrives drives;
  std::optional<VolumeInfo> volume = image ? image->Volume() : drives.Volume(request.root);
  if (!volume) {
    if (!serial) {
      err << "rondotheka-cli: „" << Shown(request.root) << "“ nelze přečíst.\n";
      return kExitFailed;
    }
    volume = VolumeInfo{};
  }
  if (serial) {
    const auto parsed = ParseSerial(*serial);
    if (!parsed)
      return Usage(err, "--serial má tvar XXXX-XXXX (šestnáctkově)");
    volume->serial = *parsed;
  }
  if (label)
    volume->label = *label;
  request.volume = *volume;
  request.description = name.value_or(volume->label);

  engine.PendingSerial = SerialText(volume->serial);
  const bool exists = engine.RunOperation(OperationCode::kSerialExists);
  if (host.OldFormat())
    return OldFormat(err, engine.DatabasePath);
  if (host.Failed())
    return kExitFailed;
  if (exists && !allowDuplicate) {
    err << "rondotheka-cli: CD je již v databázi! (" << engine.PendingSerial
        << "; --allow-duplicate ho uloží znovu)\n";
    return kExitFailed;
  }

  CliScanProgress progress(err);
  platform::LinuxFileTree folder;
  if (image) {
    progress.Warn(image->TreeText());
    for (const std::string& problem : image->Problems())
      progress.Warn(problem);
  }
  FileTree& tree = image ? static_cast<FileTree&>(*image) : folder;
  const ScanResult scanned = ScanDisc(request, tree, registry, progress);
  StoreScannedEntry(engine.DatabasePath, scanned.entry, progress, {}, WaitAtMost(a.wait),
                    !allowDuplicate);
  engine.RecalcSerial = ToUtf8(scanned.header.Serial.Text());
  engine.RunOperation(OperationCode::kRecalculateStructure);
  out << engine.RecalcSerial << '\n';
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
    for (const auto& disc : list.discs) {
      out << CleanCell(disc.description) << '\t' << CleanCell(disc.group) << '\t'
          << CleanCell(disc.from) << '\t' << DateText(disc.date, format.dateTime) << '\t'
          << static_cast<int>(disc.count) << '\n';
    }
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

int Run(const Arguments& a, Registry& registry, std::ostream& out, std::ostream& err) {
  const std::string& command = a.words[0];
  if (command == "init") {
    if (a.words.size() != 1)
      return Usage(err, "init nemá žádné argumenty");
    return Init(a, registry, out, err);
  }

  if (command == "groups")
    return Groups(a, registry, out, err);
  if (command == "borrowed")
    return Borrowed(a, out, err);
  if (command == "check")
    return CheckSurfaceCommand(a, out, err);
  if (command == "convert") {
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
  static const std::set<std::string> kCommands = {
      "list",          "members", "exists",      "ls",     "add",        "recalc", "search",
      "lend",          "return",  "clear",       "rename", "set-groups", "remove", "multigroup",
      "import-groups", "comment", "item-groups", "stats",  "duplicates"};
  if (kCommands.count(command) == 0) {
    return Usage(err, "neznámý příkaz: " + command);
  }

  CliHost host(err);
  host.lockWait = a.wait;
  Engine engine(host, platform::CurrentDisplayFormat());
  engine.DatabasePath = a.db.value_or(registry.ReadText("Cesta"));
  if (engine.DatabasePath.empty()) {
    err << "rondotheka-cli: " << msg::kNoDatabasePath
        << " Zadejte --db CESTA nebo spusťte rondotheka-cli init.\n";
    return kExitFailed;
  }

  if (command == "search")
    return SearchCatalogue(a, engine, host, out, err);
  if (command == "stats")
    return Statistics(a, engine, host, out, err);
  if (command == "duplicates") {
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
    PrintDuplicates(engine.Duplicates, engine.Format(), out);
    return host.Failed() ? kExitFailed : kExitOk;
  }
  if (kDiscCommands.count(command) != 0)
    return ChangeDiscs(a, engine, host, registry, out, err);
  if (command == "add")
    return AddDisc(a, engine, host, registry, out, err);
  if (command == "recalc") {
    if (a.words.size() > 2)
      return Usage(err, "recalc [SERIAL]");
    engine.RecalcSerial = a.words.size() == 2 ? a.words[1] : "All";
    if (a.words.size() == 2) {
      const int status = StoredStatus(engine, host, a.words[1], err, " Nic nebylo změněno.");
      if (status != kExitOk)
        return status == kExitNo ? kExitFailed : status;
    }
    engine.RunOperation(OperationCode::kRecalculateStructure);
    if (host.OldFormat())
      return OldFormat(err, engine.DatabasePath);
    return host.Failed() ? kExitFailed : kExitOk;
  }
  if (command == "comment" || command == "item-groups") {
    // What the catalogue cannot store is refused before the catalogue is
    // opened; the length of a comment only when the room its item's groups
    // leave is known.
    if (command == "comment" && a.words.size() == 4 &&
        !Storable(a.words[3], TypedField::kItemComment, err,
                  std::numeric_limits<std::size_t>::max())) {
      return kExitUsage;
    }
    if (command == "item-groups" && a.words.size() > 3 &&
        !StorableGroups(std::vector<std::string>(a.words.begin() + 3, a.words.end()),
                        TypedField::kItemGroups, err)) {
      return kExitUsage;
    }
    return ChangeItem(a, engine, host, registry, out, err);
  }
  if (command == "ls") {
    engine.GroupFilter = std::string(kGroupAll);
    return ListDirectory(a, engine, host, out, err);
  }
  if (command == "list") {
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
    PrintRows(engine.Discs, out);
    return host.Failed() ? kExitFailed : kExitOk;
  }
  if (command == "members" || command == "exists") {
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
    PrintRows(engine.Discs, out);
    return host.Failed() ? kExitFailed : kExitOk;
  }
  return Usage(err, "neznámý příkaz: " + command);
}

}  // namespace

int RunCli(const std::vector<std::string>& args, Registry& registry, std::ostream& out,
           std::ostream& err) {
  Arguments a;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (a.words.empty() && (arg == "--help" || arg == "-h")) {
      out << kUsage;
      return kExitOk;
    }
    if (a.words.empty() && arg == "--version") {
      out << "rondotheka-cli (QEL Rondotheka " << kVersion << ")\n" << kLicenseNotice;
      return kExitOk;
    }
    if (a.words.empty() && arg == "--db") {
      if (i + 1 == args.size())
        return Usage(err, "--db potřebuje cestu");
      a.db = args[++i];
    } else if (a.words.empty() && arg.rfind("--db=", 0) == 0) {
      a.db = arg.substr(5);
    } else if (a.words.empty() && (arg == "--wait" || arg.rfind("--wait=", 0) == 0)) {
      std::string text;
      if (arg == "--wait") {
        if (i + 1 == args.size())
          return Usage(err, "--wait potřebuje počet sekund");
        text = args[++i];
      } else {
        text = arg.substr(7);
      }
      double seconds = -1;
      const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), seconds);
      if (ec != std::errc() || end != text.data() + text.size() || !(seconds >= 0) ||
          seconds > 86400) {
        return Usage(err, "--wait je počet sekund 0 až 86400");
      }
      a.wait = std::chrono::milliseconds(static_cast<std::int64_t>(seconds * 1000));
    } else {
      a.words.push_back(arg);
    }
  }
  if (a.words.empty())
    return Usage(err, "chybí příkaz");
  try {
    return Run(a, registry, out, err);
  } catch (const std::exception& e) {
    err << "rondotheka-cli: " << Shown(e.what()) << '\n';
    return kExitFailed;
  }
}

}  // namespace rondo
