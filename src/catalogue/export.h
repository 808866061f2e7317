// SPDX-License-Identifier: GPL-3.0-or-later
// Lists for other programs: the rows of the disc list, a directory, the
// search results, the duplicates, the borrowed list, the groups and the
// statistics as CSV (RFC 4180), JSON or a self-contained HTML page. Both
// programs use the same fields with the same names; the windows and the
// commands only collect the rows.
//
// Values are the stored ones, not the texts the lists show: sizes in bytes,
// attributes as their number (and letters), dates as ISO 8601 local time
// without an offset (the catalogue stores local time and knows no zone),
// "no date" as null (an empty CSV field).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace rondo {

struct BorrowedDisc;
struct DatabaseDetails;
struct DatabaseStatistics;
struct DirRow;
struct DiscRow;
class DuplicateReport;
class SearchResults;

enum class ExportFormat { kCsv, kJson, kHtml };

// An OLE date-time (see shell/dates.h), written as ISO 8601.
struct ExportDate {
  double ole = 0.0;
};

// A cell: nothing (null), a text (UTF-8), a whole number, a yes/no or a
// date.
using ExportValue = std::variant<std::monostate, std::string, std::int64_t, bool, ExportDate>;
using ExportRow = std::vector<ExportValue>;

struct ExportField {
  std::string_view name;     // the JSON key and the CSV header (lower camelCase)
  std::string_view caption;  // the HTML page's column header
};

// The fields of each kind of row, in the order of the cells.
std::span<const ExportField> DiscExportFields();
std::span<const ExportField> DirExportFields();
std::span<const ExportField> SearchExportFields();
std::span<const ExportField> DuplicateExportFields();
std::span<const ExportField> BorrowedExportFields();
std::span<const ExportField> GroupExportFields();
std::span<const ExportField> StatisticsExportFields();

// The rows. A disc list's ".." and a directory's "..", "Skryté položky!"
// and note rows are no data: they are not exported.
bool IsExportedDiscRow(const DiscRow& row);
bool IsExportedDirRow(const DirRow& row);
ExportRow DiscExportRow(const DiscRow& row);
ExportRow DirExportRow(const DirRow& row);
ExportRow SearchExportRow(const SearchResults& found, std::size_t row);
// One row per copy; group is the group's number from 1.
ExportRow DuplicateExportRow(const DuplicateReport& report, std::size_t group, std::size_t copy);
ExportRow BorrowedExportRow(const BorrowedDisc& disc);
// The statistics window's figures, and with details the discs of each group
// and the extremes.
std::vector<ExportRow> StatisticsExportRows(const DatabaseStatistics& stats,
                                            const DatabaseDetails* details);

// The ISO 8601 text of a date: "2004-07-15T18:30:00", with ".mmm" when
// there are milliseconds.
std::string IsoDateTime(double oleDate);

// Writes rows as they come, so that a list of millions of rows is never
// held as one text. Finish ends the output (the closing "]" of JSON, the end
// of the HTML page).
class ExportWriter {
 public:
  // title names the HTML page.
  ExportWriter(std::ostream& out, ExportFormat format, std::span<const ExportField> fields,
               std::string_view title = {});
  void Row(const ExportRow& values);
  void Finish();

 private:
  std::ostream& out_;
  ExportFormat format_;
  std::span<const ExportField> fields_;
  bool first_ = true;
};

// Writes an export file whole or not at all: into a new file beside path
// that replaces path only when everything was written and flushed. A full
// disk or another failure leaves no half file under path. Throws IoError.
void WriteExportFile(const std::string& path, const std::function<void(std::ostream&)>& write);

}  // namespace rondo
