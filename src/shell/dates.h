// SPDX-License-Identifier: GPL-3.0-or-later
// Date-times as the catalogue stores them: OLE Automation doubles, whole days
// since 1899-12-30 and the time of day as the fraction, in local time.
#pragma once

#include <chrono>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace rondo {

struct LocalDateTime {
  int year = 1899;
  int month = 12;  // 1..12
  int day = 30;    // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
  friend bool operator==(const LocalDateTime&, const LocalDateTime&) = default;
};

// Whole days since 1899-12-30 plus milliseconds-of-day / 86400000.0, so the
// same moment always gives the same bits. For days before 1899-12-30 the
// time of day still counts forward from midnight: -1.25 is 1899-12-29 06:00.
double EncodeOleDate(const LocalDateTime& t);
LocalDateTime DecodeOleDate(double oleDate);

// The current moment in local time, as the scanner stamps it.
LocalDateTime NowLocal();
// A system-clock moment converted to local time.
LocalDateTime ToLocal(std::chrono::system_clock::time_point tp);

// A file's last write time (seconds since 1970 UTC) as the scanner stores
// it: local time, cut to the two-second steps FAT keeps. 0.0 for a moment
// the system cannot convert.
double FileWriteTime(std::time_t seconds);

// How the user's locale writes dates and times, as strftime patterns.
struct DateTimeFormat {
  std::string shortDate = "%m/%d/%y";
  std::string longTime = "%H:%M:%S";
};

// The locale's short date, two spaces and the long time.
std::string DateTimeText(double oleDate, const DateTimeFormat& format);
// Only the time of day in the long time form (scan durations).
std::string TimeText(double oleDate, const DateTimeFormat& format);
// Only the date in the short date form.
std::string DateText(double oleDate, const DateTimeFormat& format);

// Reads a date typed in the form of a strftime pattern (%d, %e, %m, %y, %Y
// and literal characters; leading zeros optional, spaces around the parts
// ignored). Midnight of that day, or nullopt when the text is no real date
// in that form.
std::optional<double> ParseDate(std::string_view text, std::string_view pattern);

}  // namespace rondo
