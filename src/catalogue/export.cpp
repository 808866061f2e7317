// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/export.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <ostream>
#include <streambuf>

#include "borrowed/borrowed_list.h"
#include "catalogue/dir_list.h"
#include "catalogue/disc_list.h"
#include "catalogue/duplicates.h"
#include "catalogue/format/errors.h"
#include "catalogue/format/safe_replace.h"
#include "catalogue/search.h"
#include "catalogue/statistics.h"
#include "shell/dates.h"
#include "shell/fields.h"

namespace rondo {

namespace {

constexpr std::array<ExportField, 14> kDiscFields = {{
    {"description", "CD - Popis"},
    {"groups", "Skupina"},
    {"serial", "Serial"},
    {"lending", "Půjčeno"},
    {"lendDate", "Datum půjčení/vrácení"},
    {"volumeLabel", "Originální jméno"},
    {"files", "Souborů"},
    {"directories", "Adresářů"},
    {"size", "Velikost CD (B)"},
    {"blockSize", "Velikost datového bloku (B)"},
    {"created", "Vytvořeno"},
    {"scanSeconds", "Čas vytváření (s)"},
    {"multigroup", "Multiskupina"},
    {"audioCd", "AudioCD"},
}};

constexpr std::array<ExportField, 8> kDirFields = {{
    {"name", "Jméno"},
    {"directory", "Adresář"},
    {"size", "Velikost (B)"},
    {"attributes", "Atributy (číslo)"},
    {"attributeLetters", "Atributy"},
    {"time", "Vytvořeno"},
    {"comment", "Komentář"},
    {"groups", "Skupina"},
}};

constexpr std::array<ExportField, 13> kSearchFields = {{
    {"name", "Jméno"},
    {"kind", "Druh"},
    {"size", "Velikost (B)"},
    {"attributes", "Atributy (číslo)"},
    {"attributeLetters", "Atributy"},
    {"time", "Vytvořeno"},
    {"comment", "Komentář"},
    {"location", "Umístění"},
    {"disc", "CD"},
    {"serial", "Serial"},
    {"lending", "Půjčeno"},
    {"lendDate", "Datum půjčení"},
    {"volumeLabel", "Originální jméno"},
}};

constexpr std::array<ExportField, 7> kDuplicateFields = {{
    {"group", "Skupina duplicit"},
    {"size", "Velikost (B)"},
    {"name", "Jméno"},
    {"serial", "Serial"},
    {"disc", "CD"},
    {"location", "Umístění"},
    {"time", "Vytvořeno"},
}};

constexpr std::array<ExportField, 5> kBorrowedFields = {{
    {"description", "Popis"},
    {"group", "Skupina"},
    {"from", "Od koho"},
    {"date", "Datum"},
    {"count", "Počet"},
}};

constexpr std::array<ExportField, 1> kGroupFields = {{{"name", "Skupina"}}};

constexpr std::array<ExportField, 4> kStatisticsFields = {{
    {"name", "Údaj"},
    {"label", "Popisek"},
    {"path", "Cesta"},
    {"value", "Hodnota"},
}};

ExportValue Text(std::string text) {
  return ExportValue(std::move(text));
}
ExportValue Number(std::int64_t n) {
  return ExportValue(n);
}
ExportValue Date(double ole) {
  return ExportValue(ExportDate{ole});
}

// The value behind a disc list cell: kNoValue for an empty one.
ExportValue DiscNumber(const DiscRow& row, std::size_t column) {
  const double v = row.values[column];
  if (v == kNoValue)
    return {};
  return Number(static_cast<std::int64_t>(std::llround(v)));
}

std::string CommentPart(const std::string& comment) {
  const std::size_t caret = comment.find('^');
  return caret == std::string::npos ? std::string() : comment.substr(0, caret);
}

void WriteCsvText(std::ostream& out, std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
    out << text;
    return;
  }
  out << '"';
  for (char c : text) {
    if (c == '"')
      out << '"';
    out << c;
  }
  out << '"';
}

void WriteJsonText(std::ostream& out, std::string_view text) {
  out << '"';
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    // C1 control characters (U+0080..U+009F, "\xC2\x80".."\xC2\x9F") are
    // escaped as well: a terminal would act on them.
    const bool c1 = c == 0xC2 && i + 1 < text.size() &&
                    static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                    static_cast<unsigned char>(text[i + 1]) <= 0x9F;
    if (c == '"' || c == '\\') {
      out << '\\' << static_cast<char>(c);
    } else if (c == '\n') {
      out << "\\n";
    } else if (c == '\t') {
      out << "\\t";
    } else if (c == '\r') {
      out << "\\r";
    } else if (c < 0x20 || c == 0x7F || c1) {
      const unsigned code = c1 ? static_cast<unsigned char>(text[++i]) : c;
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", code);
      out << escaped;
    } else {
      out << static_cast<char>(c);
    }
  }
  out << '"';
}

void WriteHtmlText(std::ostream& out, std::string_view text) {
  for (char c : text) {
    switch (c) {
      case '&':
        out << "&amp;";
        break;
      case '<':
        out << "&lt;";
        break;
      case '>':
        out << "&gt;";
        break;
      case '"':
        out << "&quot;";
        break;
      case '\'':
        out << "&#39;";
        break;
      default:
        out << c;
    }
  }
}

// The page's look and its sorting: a click on a column header sorts by it,
// a second click the other way; numbers by value, texts in Czech order.
constexpr std::string_view kHtmlStyle =
    "body{font-family:sans-serif;font-size:10pt;margin:1em}"
    "table{border-collapse:collapse}"
    "th,td{border:1px solid #bbb;padding:2px 6px;text-align:left;white-space:pre-wrap}"
    "th{background:#e8e8e8;cursor:pointer;user-select:none}"
    "th.up::after{content:\" \\25B2\"}th.down::after{content:\" \\25BC\"}"
    "td.n{text-align:right}tr:nth-child(even) td{background:#f6f6f6}";

constexpr std::string_view kHtmlScript =
    "(function(){var t=document.getElementById('rows');var hs=t.tHead.rows[0].cells;"
    "var col=-1,down=false;"
    "function key(td){return td.hasAttribute('data-v')?parseFloat(td.getAttribute('data-v'))"
    ":td.textContent;}"
    "function sort(c){down=c===col?!down:false;col=c;"
    "var b=t.tBodies[0];var rs=Array.prototype.slice.call(b.rows);"
    "rs.sort(function(x,y){var a=key(x.cells[c]),z=key(y.cells[c]);var r;"
    "if(typeof a==='number'&&typeof z==='number'){r=a-z;}"
    "else if(typeof a==='number'){r=1;}else if(typeof z==='number'){r=-1;}"
    "else{r=a.localeCompare(z,'cs',{numeric:true,sensitivity:'base'});}"
    "return down?-r:r;});"
    "for(var i=0;i<rs.length;i++)b.appendChild(rs[i]);"
    "for(var j=0;j<hs.length;j++)hs[j].className=j===c?(down?'down':'up'):'';}"
    "for(var k=0;k<hs.length;k++)(function(c){hs[c].addEventListener('click',"
    "function(){sort(c);});})(k);})();";

// A stream buffer that writes into a FileStream (which raises IoError on
// any failure).
class FileStreamBuffer : public std::streambuf {
 public:
  explicit FileStreamBuffer(FileStream& file) : file_(file) {
    setp(buffer_.data(), buffer_.data() + buffer_.size());
  }
  void Drain() {
    const auto n = static_cast<std::size_t>(pptr() - pbase());
    if (n != 0)
      file_.Write(pbase(), n);
    setp(buffer_.data(), buffer_.data() + buffer_.size());
  }

 protected:
  int_type overflow(int_type c) override {
    Drain();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(c);
      pbump(1);
    }
    return traits_type::not_eof(c);
  }
  int sync() override {
    Drain();
    return 0;
  }

 private:
  FileStream& file_;
  std::array<char, 1 << 16> buffer_{};
};

}  // namespace

std::span<const ExportField> DiscExportFields() {
  return kDiscFields;
}
std::span<const ExportField> DirExportFields() {
  return kDirFields;
}
std::span<const ExportField> SearchExportFields() {
  return kSearchFields;
}
std::span<const ExportField> DuplicateExportFields() {
  return kDuplicateFields;
}
std::span<const ExportField> BorrowedExportFields() {
  return kBorrowedFields;
}
std::span<const ExportField> GroupExportFields() {
  return kGroupFields;
}
std::span<const ExportField> StatisticsExportFields() {
  return kStatisticsFields;
}

std::string IsoDateTime(double oleDate) {
  const LocalDateTime t = DecodeOleDate(oleDate);
  char text[40];
  if (t.millisecond != 0) {
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second, t.millisecond);
  } else {
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
  }
  return text;
}

bool IsExportedDiscRow(const DiscRow& row) {
  return !(row.icon == kNoIcon && row.Caption() == kUpRowCaption);
}

bool IsExportedDirRow(const DirRow& row) {
  return row.kind == DirRowKind::kDirectory || row.kind == DirRowKind::kFile;
}

ExportRow DiscExportRow(const DiscRow& row) {
  const auto& c = row.cells;
  const auto date = [&](std::size_t column) {
    return row.values[column] == kNoValue ? ExportValue() : Date(row.values[column]);
  };
  ExportValue seconds;
  if (row.values[kColScanTime] != kNoValue)
    seconds = Number(std::llround(row.values[kColScanTime] * 86400.0));
  return {Text(c[kColDescription]),
          Text(c[kColGroups]),
          Text(c[kColSerial]),
          Text(c[kColLending]),
          date(kColLendDate),
          Text(c[kColVolumeLabel]),
          DiscNumber(row, kColFileCount),
          DiscNumber(row, kColDirCount),
          DiscNumber(row, kColCdSize),
          DiscNumber(row, kColBlockSize),
          date(kColCreated),
          seconds,
          ExportValue(row.icon == kMultigroupIconIndex),
          ExportValue(row.icon == kAudioCdIconIndex)};
}

ExportRow DirExportRow(const DirRow& row) {
  return {Text(row.cells[kDirColName]),
          ExportValue(row.kind == DirRowKind::kDirectory),
          Number(row.size),
          Number(row.attributes),
          Text(AttributeLetters(row.attributes)),
          Date(row.time),
          Text(row.cells[kDirColComment]),
          Text(row.cells[kDirColGroups])};
}

ExportRow SearchExportRow(const SearchResults& found, std::size_t index) {
  const SearchResults::Row& r = found.row(index);
  const SearchResults::Disc& d = found.disc(r);
  const bool discRow = r.kind == SearchRowKind::kDisc;
  const char* kind = discRow ? "disc" : r.kind == SearchRowKind::kDirectory ? "directory" : "file";
  ExportRow row{Text(discRow ? ToUtf8(d.description) : ToUtf8(Cp1250Text(r.name))), Text(kind)};
  if (discRow) {
    row.insert(row.end(), {ExportValue(), ExportValue(), Text(""), ExportValue(), Text("")});
  } else {
    row.insert(row.end(),
               {Number(r.size), Number(r.attributes), Text(AttributeLetters(r.attributes)),
                Date(r.time), Text(ToUtf8(Cp1250Text(CommentPart(r.comment))))});
  }
  row.insert(row.end(),
             {Text(found.Location(index)), Text(ToUtf8(d.description)), Text(ToUtf8(d.serial)),
              Text(ToUtf8(d.lending)), d.lendDate == 0.0 ? ExportValue() : Date(d.lendDate),
              Text(ToUtf8(d.volumeLabel))});
  return row;
}

ExportRow DuplicateExportRow(const DuplicateReport& report, std::size_t group, std::size_t copy) {
  const auto& g = report.Groups()[group - 1];
  const auto& c = report.CopyOf(g, copy);
  const auto& d = report.DiscOf(c);
  return {Number(static_cast<std::int64_t>(group)),
          Number(c.size),
          Text(report.Name(c)),
          Text(ToUtf8(d.serial)),
          Text(ToUtf8(d.description)),
          Text(report.Location(c)),
          Date(c.time)};
}

ExportRow BorrowedExportRow(const BorrowedDisc& disc) {
  return {Text(disc.description), Text(disc.group), Text(disc.from), Date(disc.date),
          Number(disc.count)};
}

std::vector<ExportRow> StatisticsExportRows(const DatabaseStatistics& s,
                                            const DatabaseDetails* details) {
  // The labels are the window's, so that each row can be matched with the
  // line the command prints.
  const auto figure = [](const char* name, const char* label, ExportValue value) {
    return ExportRow{Text(name), Text(label), ExportValue(), std::move(value)};
  };
  const auto n = [](std::uint64_t v) { return Number(static_cast<std::int64_t>(v)); };
  std::vector<ExportRow> rows = {
      figure("discs", "Počet CD:", n(s.discs)),
      figure("multigroups", "Počet multiskupin:", n(s.multigroups)),
      figure("audioCds", "z toho AudioCD:", n(s.audioCds)),
      figure("databaseBytes", "Velikost databáze:", n(s.fileSize)),
      figure("databaseVersion", "Verze databáze:",
             Text(std::to_string(s.versionMajor) + "." + std::to_string(s.versionMinor))),
      figure("scanSeconds", "Doba tvoření celkem:", Number(std::llround(s.creationDays * 86400.0))),
      figure("files", "Celkem souborů:", n(s.files)),
      figure("directories", "Celkem adresářů:", n(s.dirs)),
      figure("dataMebibytes", "Dat na CD celkem:", n(s.dataMegabytes)),
  };
  if (details) {
    for (const auto& g : details->groups)
      rows.push_back({Text("groupDiscs"), Text(g.group), ExportValue(), n(g.discs)});
    const std::pair<const char*, const Extreme*> extremes[] = {
        {"largestFile", &details->largestFile},
        {"largestDirectory", &details->largestDir},
        {"mostFiles", &details->mostFiles}};
    for (const auto& [name, e] : extremes) {
      const bool found = !e->path.empty();
      rows.push_back({Text(name), Text(e->label), found ? Text(e->path) : ExportValue(),
                      found ? n(e->amount) : ExportValue()});
    }
  }
  return rows;
}

ExportWriter::ExportWriter(std::ostream& out, ExportFormat format,
                           std::span<const ExportField> fields, std::string_view title)
    : out_(out), format_(format), fields_(fields) {
  switch (format_) {
    case ExportFormat::kCsv:
      for (std::size_t i = 0; i < fields_.size(); ++i)
        out_ << (i == 0 ? "" : ",") << fields_[i].name;
      out_ << "\r\n";
      break;
    case ExportFormat::kJson:
      out_ << '[';
      break;
    case ExportFormat::kHtml:
      out_ << "<!DOCTYPE html>\n<html lang=\"cs\">\n<head>\n<meta charset=\"utf-8\">\n<title>";
      WriteHtmlText(out_, title);
      out_ << "</title>\n<style>" << kHtmlStyle << "</style>\n</head>\n<body>\n<h1>";
      WriteHtmlText(out_, title);
      out_ << "</h1>\n<table id=\"rows\">\n<thead><tr>";
      for (const auto& field : fields_) {
        out_ << "<th title=\"" << field.name << "\">";
        WriteHtmlText(out_, field.caption);
        out_ << "</th>";
      }
      out_ << "</tr></thead>\n<tbody>\n";
      break;
  }
}

void ExportWriter::Row(const ExportRow& values) {
  switch (format_) {
    case ExportFormat::kCsv:
      for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0)
          out_ << ',';
        std::visit(
            [&](const auto& v) {
              using T = std::decay_t<decltype(v)>;
              if constexpr (std::is_same_v<T, std::string>)
                WriteCsvText(out_, v);
              else if constexpr (std::is_same_v<T, std::int64_t>)
                out_ << v;
              else if constexpr (std::is_same_v<T, bool>)
                out_ << (v ? "true" : "false");
              else if constexpr (std::is_same_v<T, ExportDate>)
                out_ << IsoDateTime(v.ole);
            },
            values[i]);
      }
      out_ << "\r\n";
      break;
    case ExportFormat::kJson:
      out_ << (first_ ? "\n{" : ",\n{");
      for (std::size_t i = 0; i < values.size() && i < fields_.size(); ++i) {
        out_ << (i == 0 ? "\"" : ",\"") << fields_[i].name << "\":";
        std::visit(
            [&](const auto& v) {
              using T = std::decay_t<decltype(v)>;
              if constexpr (std::is_same_v<T, std::string>)
                WriteJsonText(out_, v);
              else if constexpr (std::is_same_v<T, std::int64_t>)
                out_ << v;
              else if constexpr (std::is_same_v<T, bool>)
                out_ << (v ? "true" : "false");
              else if constexpr (std::is_same_v<T, ExportDate>)
                out_ << '"' << IsoDateTime(v.ole) << '"';
              else
                out_ << "null";
            },
            values[i]);
      }
      out_ << '}';
      break;
    case ExportFormat::kHtml:
      out_ << "<tr>";
      for (const auto& value : values) {
        std::visit(
            [&](const auto& v) {
              using T = std::decay_t<decltype(v)>;
              if constexpr (std::is_same_v<T, std::string>) {
                out_ << "<td>";
                WriteHtmlText(out_, v);
              } else if constexpr (std::is_same_v<T, std::int64_t>) {
                out_ << "<td class=\"n\" data-v=\"" << v << "\">" << v;
              } else if constexpr (std::is_same_v<T, bool>) {
                out_ << "<td>" << (v ? "ano" : "ne");
              } else if constexpr (std::is_same_v<T, ExportDate>) {
                out_ << "<td>" << IsoDateTime(v.ole);
              } else {
                out_ << "<td>";
              }
            },
            value);
        out_ << "</td>";
      }
      out_ << "</tr>\n";
      break;
  }
  first_ = false;
}

void ExportWriter::Finish() {
  switch (format_) {
    case ExportFormat::kCsv:
      break;
    case ExportFormat::kJson:
      out_ << (first_ ? "]\n" : "\n]\n");
      break;
    case ExportFormat::kHtml:
      out_ << "</tbody>\n</table>\n<script>" << kHtmlScript << "</script>\n</body>\n</html>\n";
      break;
  }
  out_.flush();
}

void WriteExportFile(const std::string& path, const std::function<void(std::ostream&)>& write) {
  ReplacementFile file(path);
  FileStreamBuffer buffer(file.Stream());
  std::ostream out(&buffer);
  // The buffer's writes raise IoError; the stream passes it on.
  out.exceptions(std::ios::badbit);
  try {
    write(out);
    out.flush();
  } catch (const std::ios_base::failure&) {
    throw IoError("Soubor „" + path + "“ se nepodařilo zapsat.");
  }
  buffer.Drain();
  file.Commit();
}

}  // namespace rondo
