// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <limits>
#include <optional>
#include <ostream>
#include <set>
#include <sstream>

#include "catalogue/format/entry_walker.h"
#include "cli/cli_common.h"
#include "platform/environment.h"
#include "settings/group_kinds.h"
#include "settings/registry.h"
#include "version.h"

namespace rondo {

namespace cli {

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
    "  rescan SERIAL KOŘEN|OBRAZ\n"
    "                       prozkoumá KOŘEN nebo OBRAZ znovu a nahradí jím obsah\n"
    "                       uloženého CD (serial, popis, skupiny a půjčení zůstanou,\n"
    "                       komentáře a skupiny položek přejdou podle cesty);\n"
    "                       vypíše změny: popisek, tabulátor, počet\n"
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
    "  --format tsv|csv|json\n"
    "                       u výpisů list, members, ls, search, stats, duplicates,\n"
    "                       groups a borrowed list: tsv (výchozí) jako výše, csv\n"
    "                       podle RFC 4180 s řádkem jmen polí, json jako pole\n"
    "                       objektů; hodnoty jsou uložené (velikosti v bajtech,\n"
    "                       data ISO 8601 místního času), texty beze změny\n"
    "  --help, --version\n"
    "\n"
    "Výstup je v UTF-8, jeden řádek na položku, sloupce oddělené tabulátorem.\n"
    "Řídicí znaky uvnitř textů se vypisují jako \\t, \\n, \\r a \\xHH, zpětné\n"
    "lomítko jako \\\\; ve zprávách na stderr stejně, jen lomítko zůstává jedno.\n"
    "Text, který katalog neumí uložit (delší než jeho pole, se znakem mimo\n"
    "kódovou stránku 1250, skupina se znakem ; nebo ^, komentář se znakem ^),\n"
    "se odmítne s kódem 2 a nic se nezmění.\n"
    "Návratové kódy: 0 úspěch, 1 odpověď ne, 2 chybné argumenty, 3 chyba databáze.\n";

}  // namespace

// Refuses a typed text the catalogue cannot store; false after saying why.
bool Storable(const std::string& text, TypedField field, std::ostream& err,
              std::optional<std::size_t> width) {
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
                 const char* suffix) {
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

namespace {

// Takes "--format tsv|csv|json" (or "--format=...") out of the words of a
// listing command: list, members, ls, search, stats, duplicates, groups and
// borrowed list.
int TakeFormat(Arguments& a, std::ostream& err) {
  const std::string& command = a.words[0];
  static const std::set<std::string> kListings = {"list",  "members",    "ls",     "search",
                                                  "stats", "duplicates", "groups", "borrowed"};
  if (kListings.count(command) == 0)
    return kExitOk;
  std::optional<std::string> name;
  std::vector<std::string> kept;
  for (std::size_t i = 0; i < a.words.size(); ++i) {
    const std::string& w = a.words[i];
    if (i > 0 && w == "--format") {
      if (i + 1 == a.words.size())
        return Usage(err, "--format potřebuje tsv, csv nebo json");
      name = a.words[++i];
    } else if (i > 0 && w.rfind("--format=", 0) == 0) {
      name = w.substr(9);
    } else {
      kept.push_back(w);
    }
  }
  if (!name)
    return kExitOk;
  const bool listing = command == "groups"     ? kept.size() == 1
                       : command == "borrowed" ? kept.size() == 2 && kept[1] == "list"
                                               : true;
  if (!listing)
    return Usage(err, "--format patří jen k výpisům (groups, borrowed list)");
  if (*name == "csv") {
    a.format = ExportFormat::kCsv;
  } else if (*name == "json") {
    a.format = ExportFormat::kJson;
  } else if (*name != "tsv") {
    return Usage(err, "--format je tsv, csv nebo json");
  }
  a.words = std::move(kept);
  return kExitOk;
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
  if (command == "convert")
    return Convert(a, err);
  static const std::set<std::string> kCommands = {
      "list",          "members", "exists",      "ls",     "add",        "recalc", "search",
      "lend",          "return",  "clear",       "rename", "set-groups", "remove", "multigroup",
      "import-groups", "comment", "item-groups", "stats",  "duplicates", "rescan"};
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
  if (command == "duplicates")
    return ListDuplicates(a, engine, host, out, err);
  if (IsDiscCommand(command))
    return ChangeDiscs(a, engine, host, registry, out, err);
  if (command == "add")
    return AddDisc(a, engine, host, registry, out, err);
  if (command == "rescan")
    return RescanStoredDisc(a, engine, registry, out, err);
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
  if (command == "list")
    return ListDiscs(a, engine, host, out, err);
  if (command == "members" || command == "exists")
    return ListMembers(a, engine, host, out, err);
  return Usage(err, "neznámý příkaz: " + command);
}

}  // namespace

}  // namespace cli

int RunCli(const std::vector<std::string>& args, Registry& registry, std::ostream& out,
           std::ostream& err) {
  using namespace cli;
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
  if (const int status = TakeFormat(a, err); status != kExitOk)
    return status;
  try {
    return Run(a, registry, out, err);
  } catch (const std::exception& e) {
    err << "rondotheka-cli: " << Shown(e.what()) << '\n';
    return kExitFailed;
  }
}

}  // namespace rondo
