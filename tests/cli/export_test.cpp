// SPDX-License-Identifier: GPL-3.0-or-later
// Every listing command's --format csv and --format json read back by strict
// readers and compared, value for value, with its TAB-separated rows.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <optional>
#include <sstream>

#include "catalogue/engine.h"
#include "catalogue/statistics.h"
#include "cli/cli.h"
#include "platform/environment.h"
#include "settings/registry.h"
#include "shell/dates.h"
#include "shell/sizes.h"
#include "shell/text.h"
#include "support/catalogue_builder.h"

namespace rondo {
namespace {

using Records = std::vector<std::vector<std::string>>;

// RFC 4180: every record ends in CRLF; a field with , " CR or LF is quoted
// and its quotes doubled. nullopt for anything else.
std::optional<Records> ReadCsv(const std::string& text) {
  Records records(1, std::vector<std::string>(1));
  for (std::size_t i = 0; i < text.size();) {
    std::string& field = records.back().back();
    if (text[i] == '"' && field.empty()) {
      for (++i;; ++i) {
        if (i >= text.size())
          return std::nullopt;
        if (text[i] == '"' && (i + 1 >= text.size() || text[i + 1] != '"'))
          break;
        field += text[i];
        i += text[i] == '"' ? 1 : 0;
      }
      ++i;
      if (i < text.size() && text[i] != ',' && text[i] != '\r')
        return std::nullopt;
    } else if (text[i] == ',') {
      records.back().emplace_back();
      ++i;
    } else if (text.compare(i, 2, "\r\n") == 0) {
      records.emplace_back(1);
      i += 2;
    } else if (text[i] == '"' || text[i] == '\r' || text[i] == '\n') {
      return std::nullopt;
    } else {
      field += text[i++];
    }
  }
  if (records.back() != std::vector<std::string>(1))
    return std::nullopt;  // no CRLF after the last record
  records.pop_back();
  return records;
}

// JSON: an array of flat objects. Each object becomes its keys (in
// records[0], checked equal for all) and its values as CSV writes them;
// kinds gets 's', 'n', 'b' or '0' (null) per value.
std::optional<Records> ReadJson(const std::string& text, std::vector<std::string>& kinds) {
  std::size_t i = 0;
  const auto space = [&] {
    while (i < text.size() && std::string_view(" \n\r\t").find(text[i]) != std::string::npos)
      ++i;
  };
  const auto take = [&](char c) {
    space();
    return i < text.size() && text[i] == c ? (++i, true) : false;
  };
  const auto string = [&]() -> std::optional<std::string> {
    if (!take('"'))
      return std::nullopt;
    std::string s;
    while (i < text.size() && text[i] != '"') {
      if (static_cast<unsigned char>(text[i]) < 0x20)
        return std::nullopt;
      if (text[i] != '\\') {
        s += text[i++];
        continue;
      }
      const char e = text.at(++i);
      ++i;
      if (e == 'u') {
        const unsigned code = std::stoul(text.substr(i, 4), nullptr, 16);
        i += 4;
        if (code < 0x80) {
          s += static_cast<char>(code);
        } else {
          s += static_cast<char>(0xC0 | code >> 6);
          s += static_cast<char>(0x80 | (code & 0x3F));
        }
      } else {
        const std::string_view from = "\"\\/nrtbf", to = "\"\\/\n\r\t\b\f";
        if (from.find(e) == std::string_view::npos)
          return std::nullopt;
        s += to[from.find(e)];
      }
    }
    return take('"') ? std::optional(s) : std::nullopt;
  };
  Records records(1);
  if (!take('['))
    return std::nullopt;
  for (bool first = true; !take(']'); first = false) {
    if ((!first && !take(',')) || !take('{'))
      return std::nullopt;
    std::vector<std::string> keys, values;
    std::string kind;
    for (bool firstKey = true; !take('}'); firstKey = false) {
      const auto key = (firstKey || take(',')) ? string() : std::nullopt;
      if (!key || !take(':'))
        return std::nullopt;
      keys.push_back(*key);
      space();
      if (i < text.size() && text[i] == '"') {
        values.push_back(*string());
        kind += 's';
      } else {
        const std::size_t end = text.find_first_of(",}", i);
        const std::string word = text.substr(i, end - i);
        i = end;
        const bool number = !word.empty() && word.find_first_not_of("-0123456789") == word.npos;
        if (!number && word != "true" && word != "false" && word != "null")
          return std::nullopt;
        values.push_back(word == "null" ? "" : word);
        kind += number ? 'n' : word == "null" ? '0' : 'b';
      }
    }
    if (records.size() == 1)
      records[0] = keys;
    if (keys != records[0])
      return std::nullopt;
    records.push_back(values);
    kinds.push_back(kind);
  }
  space();
  return i == text.size() ? std::optional(records) : std::nullopt;
}

class ExportTest : public ::testing::Test {
 protected:
  std::string Run(std::vector<std::string> args) {
    std::ostringstream out, err;
    args.insert(args.begin(), {"--db", (dir / "katalog.big").string()});
    EXPECT_EQ(RunCli(args, registry, out, err), kExitOk) << err.str();
    return out.str();
  }
  test::TempDir dir;
  MemoryRegistry registry;
};

TEST_F(ExportTest, CsvAndJsonHoldTheValuesOfTheTabSeparatedRows) {
  // The environment is as before when the test ends, for the tests after it.
  struct Restore {
    const char* old = std::getenv("LC_ALL");
    std::string locale = old ? old : "";
    ~Restore() {
      old ? ::setenv("LC_ALL", locale.c_str(), 1) : ::unsetenv("LC_ALL");
      ::unsetenv("RONDOTHEKA_BORROWED");
    }
  } restore;
  ::setenv("LC_ALL", "C", 1);
  ::setenv("RONDOTHEKA_BORROWED", (dir / "mnoupujcene.big").c_str(), 1);
  const std::string odd = "Hry, \"staré\"\nčeština";
  test::CatalogueBytes catalogue;
  catalogue
      .AddDisc({.serial = "AAAA-0001",
                .description = odd,
                .groups = "Hry;Řecko",
                .lending = "Pepa, Novák",
                .lendDate = 45100.25,
                .files = 2,
                .dirs = 1,
                .cdSize = 5000},
               {test::Item(true, "Fotky, \"léto\"", 1, 30, "Výlet\tmoře^Rodina"),
                test::Item(false, "moře.jpg", 2, 10), test::Item(false, "a,b\"c.txt", 1, 5)})
      .AddDisc({.serial = "BBBB-0002", .description = "Filmy"},
               {test::Item(false, "a,b\"c.txt", 1, 5)})
      .AddDisc({.serial = "CCCC-0003", .description = "Člen", .inMultigroup = true})
      .AddMultigroup({.serial = "5-6", .description = "Sada, \"vše\""}, {"CCCC-0003"});
  catalogue.Save(dir / "katalog.big");
  Run({"groups", "add", "Řecko, \"2004\""});
  Run({"borrowed", "add", "--description", odd, "--group", "Filmy", "--from", "Pepa", "--date",
       "2024-02-03", "--count", "2"});

  const DisplayFormat format = platform::CurrentDisplayFormat();
  const auto esc = [](const std::string& s) { return EscapeControls(s); };
  const auto size = [&](const std::string& s) {
    return s.empty() ? s
                     : SizeToText(static_cast<std::uint32_t>(std::stoul(s)), format.decimalPoint);
  };
  const auto ole = [](const std::string& s) {
    LocalDateTime t;
    EXPECT_EQ(std::sscanf(s.c_str(), "%d-%d-%dT%d:%d:%d", &t.year, &t.month, &t.day, &t.hour,
                          &t.minute, &t.second),
              6)
        << s;
    return EncodeOleDate(t);
  };
  const auto date = [&](const std::string& s) {
    return s.empty() ? s : DateTimeText(ole(s), format.dateTime);
  };
  // A multigroup's members show their sizes in bytes.
  const auto disc = [&](const std::vector<std::string>& v, bool plain) {
    const auto cd = [&](const std::string& s) { return plain ? s : size(s); };
    return esc(v[0]) + '\t' + esc(v[1]) + '\t' + v[2] + '\t' + esc(v[3]) + '\t' + date(v[4]) +
           '\t' + esc(v[5]) + '\t' + v[6] + '\t' + v[7] + '\t' + cd(v[8]) + '\t' + cd(v[9]) + '\t' +
           date(v[10]) + '\t' +
           (v[11].empty() ? "" : TimeText(std::stod(v[11]) / 86400.0, format.dateTime));
  };
  // What the TAB-separated line of a record is; the lines that stand for no
  // record ("..", the headings of stats) are left out before comparing.
  using Translate = std::function<std::vector<std::string>(const Records&)>;
  const auto each = [](std::function<std::string(const std::vector<std::string>&)> line) {
    return Translate([line](const Records& rows) {
      std::vector<std::string> lines;
      for (std::size_t r = 1; r < rows.size(); ++r)
        lines.push_back(line(rows[r]));
      return lines;
    });
  };
  const struct {
    std::vector<std::string> args;
    std::string types;  // per field: s text, n number, d date, b yes/no
    Translate tsv;
  } cases[] = {
      {{"list"}, "ssssdsnnnndnbb", each([&](const auto& v) { return disc(v, false); })},
      {{"members", "5-6"}, "ssssdsnnnndnbb", each([&](const auto& v) { return disc(v, true); })},
      {{"ls", "--all", "AAAA-0001"}, "sbnnsdss", each([&](const auto& v) {
         return esc(v[0]) + '\t' + size(v[2]) + '\t' + v[4] + '\t' + date(v[5]) + '\t' + esc(v[6]) +
                '\t' + esc(v[7]);
       })},
      {{"search", "e"}, "ssnnsdsssssds", each([&](const auto& v) {
         if (v[1] == "disc")
           return esc(v[0]) + std::string(9, '\t');
         return esc(v[0]) + '\t' + size(v[2]) + '\t' + v[4] + '\t' + date(v[5]) + '\t' + esc(v[6]) +
                '\t' + esc(v[7]) + '\t' + esc(v[8]) + '\t' + esc(v[10]) + '\t' + date(v[11]) +
                '\t' + esc(v[12]);
       })},
      {{"duplicates"}, "nnssssd", each([&](const auto& v) {
         return v[0] + '\t' + v[1] + '\t' + esc(v[2]) + '\t' + v[3] + '\t' + esc(v[4]) + '\t' +
                esc(v[5]) + '\t' + date(v[6]);
       })},
      {{"groups"}, "s", each([&](const auto& v) { return esc(v[0]); })},
      {{"borrowed", "list"}, "sssdn", each([&](const auto& v) {
         return esc(v[0]) + '\t' + esc(v[1]) + '\t' + esc(v[2]) + '\t' +
                DateText(ole(v[3]), format.dateTime) + '\t' + v[4];
       })},
      {{"stats", "--details"},
       "sssv",
       [&](const Records& rows) {
         const auto n = [&](std::size_t r) { return std::stoull(rows[r][3]); };
         DatabaseStatistics s{n(4),
                              std::stoi(rows[5][3]),
                              std::stoi(rows[5][3].substr(2)),
                              n(1),
                              n(2),
                              n(3),
                              static_cast<double>(n(6)) / 86400.0,
                              n(7),
                              n(8),
                              static_cast<std::uint32_t>(n(9))};
         std::vector<std::string> lines;
         for (const auto& f : StatisticsFigures(s, format))
           lines.push_back(f.label + '\t' + f.value);
         for (std::size_t r = 10; r < rows.size(); ++r) {
           const auto& v = rows[r];
           lines.push_back(v[0] == "groupDiscs"  ? esc(v[1]) + '\t' + v[3]
                           : v[0] == "mostFiles" ? v[1] + '\t' + esc(v[2]) + '\t' + v[3]
                                                 : v[1] + '\t' + esc(v[2]) + '\t' + size(v[3]));
         }
         return lines;
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[0]);
    std::vector<std::string> tsv;
    std::istringstream lines(Run(c.args));
    for (std::string line; std::getline(lines, line);) {
      if (line.rfind("..\t", 0) != 0 && line.rfind("Detailní", 0) != 0)
        tsv.push_back(line);
    }
    auto args = c.args;
    args.insert(args.end(), {"--format", "csv"});
    const auto csv = ReadCsv(Run(args));
    args.back() = "json";
    std::vector<std::string> kinds;
    const auto json = ReadJson(Run(args), kinds);
    ASSERT_TRUE(csv && json);
    EXPECT_EQ(*csv, *json);
    ASSERT_EQ(csv->front().size(), c.types.size());
    EXPECT_GE(tsv.size(), 1u);
    EXPECT_EQ(c.tsv(*csv), tsv);
    for (const auto& kind : kinds) {
      for (std::size_t f = 0; f < c.types.size(); ++f) {
        const char want = c.types[f] == 'd' ? 's' : c.types[f];
        EXPECT_TRUE(kind[f] == want || want == 'v' || (kind[f] == '0' && want != 'b'))
            << (*csv)[0][f] << " is " << kind[f];
      }
    }
  }
}

}  // namespace
}  // namespace rondo
