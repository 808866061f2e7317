// SPDX-License-Identifier: GPL-3.0-or-later
// OLE Automation date-times: the day count since 1899-12-30 and the time of
// day as a fraction of a day.
//
// Encoding is `days + ms/86400000` for days on or after 1899-12-30. Before it
// the OLE convention keeps the integer part as the (negative) day and lets the
// fraction still be the time since that day's midnight, added away from zero:
// day -1 at 06:00 is -1.25, not -0.75. The decoder undoes both forms exactly,
// for every millisecond of the day across the whole range of the type.
//
// A value that is not a number, infinite or further than 2958466 days from
// the epoch (past the year 9999 either way) decodes as 0.0, i.e. 1899-12-30
// 00:00:00.000, instead of producing an absurd or undefined date.

#include "shell/dates.h"

#include <cmath>
#include <ctime>
#include <vector>

namespace rondo {
namespace {

constexpr std::int64_t kMsPerDay = 86'400'000;
constexpr double kMsPerDayD = 86'400'000.0;
constexpr double kMaxOleDays = 2'958'466.0;

// Days from 1970-01-01 to a proleptic Gregorian date (H. Hinnant's
// days_from_civil).
constexpr std::int64_t DaysFromCivil(std::int64_t y, std::int64_t m, std::int64_t d) {
  y -= m <= 2 ? 1 : 0;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;                                    // [0, 399]
  const std::int64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;  // [0, 365]
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;            // [0, 146096]
  return era * 146097 + doe - 719468;
}

struct CivilDate {
  std::int64_t year;
  int month;
  int day;
};

// The inverse: a date from days since 1970-01-01 (civil_from_days).
constexpr CivilDate CivilFromDays(std::int64_t z) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;                                       // [0, 146096]
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;  // [0, 399]
  const std::int64_t y = yoe + era * 400;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);  // [0, 365]
  const std::int64_t mp = (5 * doy + 2) / 153;                       // [0, 11]
  const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);      // [1, 31]
  const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);         // [1, 12]
  return {y + (m <= 2 ? 1 : 0), m, d};
}

constexpr std::int64_t kOleEpoch = DaysFromCivil(1899, 12, 30);  // in Unix days
static_assert(kOleEpoch == -25569);
static_assert(DaysFromCivil(1970, 1, 1) == 0);

constexpr std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  const std::int64_t q = a / b;
  return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

// A decoded OLE date: the day relative to 1899-12-30 and the milliseconds
// since its midnight.
struct OleParts {
  std::int64_t days;
  std::int64_t msOfDay;
};

OleParts SplitOleDate(double oleDate) {
  if (!std::isfinite(oleDate) || std::fabs(oleDate) > kMaxOleDays) {
    oleDate = 0.0;
  }
  double whole;
  double fraction;
  if (oleDate >= 0.0) {
    whole = std::floor(oleDate);
    fraction = oleDate - whole;
  } else {
    whole = std::ceil(oleDate);
    fraction = whole - oleDate;
  }
  OleParts parts{static_cast<std::int64_t>(whole), std::llround(fraction * kMsPerDayD)};
  // A fraction that rounds up to a full day is the next midnight.
  if (parts.msOfDay >= kMsPerDay) {
    parts.msOfDay -= kMsPerDay;
    parts.days += 1;
  }
  return parts;
}

LocalDateTime FromParts(const OleParts& parts) {
  const CivilDate date = CivilFromDays(parts.days + kOleEpoch);
  LocalDateTime t;
  t.year = static_cast<int>(date.year);
  t.month = date.month;
  t.day = date.day;
  std::int64_t ms = parts.msOfDay;
  t.millisecond = static_cast<int>(ms % 1000);
  ms /= 1000;
  t.second = static_cast<int>(ms % 60);
  ms /= 60;
  t.minute = static_cast<int>(ms % 60);
  t.hour = static_cast<int>(ms / 60);
  return t;
}

// strftime into a growing buffer. A pattern may legitimately give nothing
// (strftime then also returns 0), so the growth stops at a limit.
std::string FormatTm(const std::string& pattern, const std::tm& tm) {
  if (pattern.empty()) {
    return {};
  }
  constexpr std::size_t kLimit = 64 * 1024;
  std::vector<char> buffer(256 + pattern.size() * 4);
  for (;;) {
    const std::size_t written = std::strftime(buffer.data(), buffer.size(), pattern.c_str(), &tm);
    if (written > 0) {
      return std::string(buffer.data(), written);
    }
    if (buffer.size() >= kLimit) {
      return {};
    }
    buffer.resize(buffer.size() * 4 > kLimit ? kLimit : buffer.size() * 4);
  }
}

std::tm ToTm(const OleParts& parts) {
  const LocalDateTime t = FromParts(parts);
  const std::int64_t unixDays = parts.days + kOleEpoch;
  std::tm tm{};
  tm.tm_year = t.year - 1900;
  tm.tm_mon = t.month - 1;
  tm.tm_mday = t.day;
  tm.tm_hour = t.hour;
  tm.tm_min = t.minute;
  tm.tm_sec = t.second;
  // 1970-01-01 was a Thursday.
  tm.tm_wday = static_cast<int>(unixDays + 4 - FloorDiv(unixDays + 4, 7) * 7);
  tm.tm_yday = static_cast<int>(unixDays - DaysFromCivil(t.year, 1, 1));
  tm.tm_isdst = -1;
  return tm;
}

}  // namespace

double EncodeOleDate(const LocalDateTime& t) {
  const std::int64_t days = DaysFromCivil(t.year, t.month, t.day) - kOleEpoch;
  const std::int64_t msOfDay =
      ((std::int64_t{t.hour} * 60 + t.minute) * 60 + t.second) * 1000 + t.millisecond;
  const double fraction = static_cast<double>(msOfDay) / kMsPerDayD;
  const double whole = static_cast<double>(days);
  return days < 0 ? whole - fraction : whole + fraction;
}

LocalDateTime DecodeOleDate(double oleDate) {
  return FromParts(SplitOleDate(oleDate));
}

LocalDateTime ToLocal(std::chrono::system_clock::time_point tp) {
  using namespace std::chrono;
  const std::int64_t ms = floor<milliseconds>(tp.time_since_epoch()).count();
  const std::int64_t seconds = FloorDiv(ms, 1000);
  const auto millisecond = static_cast<int>(ms - seconds * 1000);
  const auto clock = static_cast<std::time_t>(seconds);
  std::tm tm{};
  LocalDateTime t;
  if (localtime_r(&clock, &tm) != nullptr) {
    t.year = tm.tm_year + 1900;
    t.month = tm.tm_mon + 1;
    t.day = tm.tm_mday;
    t.hour = tm.tm_hour;
    t.minute = tm.tm_min;
    t.second = tm.tm_sec;
  } else {
    // No time zone answer: fall back to UTC rather than to nothing.
    const std::int64_t unixDays = FloorDiv(seconds, 86400);
    const std::int64_t secondOfDay = seconds - unixDays * 86400;
    const CivilDate date = CivilFromDays(unixDays);
    t.year = static_cast<int>(date.year);
    t.month = date.month;
    t.day = date.day;
    t.hour = static_cast<int>(secondOfDay / 3600);
    t.minute = static_cast<int>(secondOfDay / 60 % 60);
    t.second = static_cast<int>(secondOfDay % 60);
  }
  t.millisecond = millisecond;
  return t;
}

double FileWriteTime(std::time_t seconds) {
  std::tm local{};
  if (::localtime_r(&seconds, &local) == nullptr)
    return 0.0;
  LocalDateTime t;
  t.year = local.tm_year + 1900;
  t.month = local.tm_mon + 1;
  t.day = local.tm_mday;
  t.hour = local.tm_hour;
  t.minute = local.tm_min;
  t.second = local.tm_sec - local.tm_sec % 2;
  return EncodeOleDate(t);
}

LocalDateTime NowLocal() {
  return ToLocal(std::chrono::system_clock::now());
}

std::string DateTimeText(double oleDate, const DateTimeFormat& format) {
  const std::tm tm = ToTm(SplitOleDate(oleDate));
  return FormatTm(format.shortDate, tm) + "  " + FormatTm(format.longTime, tm);
}

std::string TimeText(double oleDate, const DateTimeFormat& format) {
  return FormatTm(format.longTime, ToTm(SplitOleDate(oleDate)));
}

std::string DateText(double oleDate, const DateTimeFormat& format) {
  return FormatTm(format.shortDate, ToTm(SplitOleDate(oleDate)));
}

std::optional<double> ParseDate(std::string_view text, std::string_view pattern) {
  std::size_t t = 0;
  const auto skipSpaces = [&] {
    while (t < text.size() && text[t] == ' ')
      ++t;
  };
  std::size_t digits = 0;
  const auto number = [&](std::size_t maxDigits) -> std::optional<int> {
    skipSpaces();
    int value = 0;
    digits = 0;
    while (t < text.size() && digits < maxDigits && text[t] >= '0' && text[t] <= '9') {
      value = value * 10 + (text[t] - '0');
      ++t;
      ++digits;
    }
    if (digits == 0)
      return std::nullopt;
    return value;
  };
  int day = -1;
  int month = -1;
  int year = -1;
  for (std::size_t p = 0; p < pattern.size(); ++p) {
    if (pattern[p] == '%' && p + 1 < pattern.size()) {
      const char field = pattern[++p];
      std::optional<int> value;
      switch (field) {
        case 'd':
        case 'e':
          value = number(2);
          day = value.value_or(-1);
          break;
        case 'm':
          value = number(2);
          month = value.value_or(-1);
          break;
        case 'y':
          value = number(4);
          if (value) {
            // Two digits name a year from 1950 to 2049; more digits are
            // taken as they are.
            year = digits <= 2 ? (*value < 50 ? 2000 + *value : 1900 + *value) : *value;
          }
          break;
        case 'Y':
          value = number(4);
          year = value.value_or(-1);
          break;
        case '%':
          skipSpaces();
          if (t >= text.size() || text[t] != '%')
            return std::nullopt;
          ++t;
          value = 0;
          break;
        default:
          return std::nullopt;  // a form this reader does not know
      }
      if (!value)
        return std::nullopt;
    } else if (pattern[p] == ' ') {
      skipSpaces();
    } else {
      skipSpaces();
      if (t >= text.size() || text[t] != pattern[p])
        return std::nullopt;
      ++t;
    }
  }
  skipSpaces();
  if (t != text.size() || day < 1 || month < 1 || month > 12 || year < 1 || year > 9999)
    return std::nullopt;
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  const int monthDays = kDays[month - 1] + (month == 2 && leap ? 1 : 0);
  if (day > monthDays)
    return std::nullopt;
  LocalDateTime d;
  d.year = year;
  d.month = month;
  d.day = day;
  return EncodeOleDate(d);
}

}  // namespace rondo
