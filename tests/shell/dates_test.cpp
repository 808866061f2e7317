// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/dates.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <limits>
#include <random>

#include "shell/delay.h"

namespace rondo {
namespace {

LocalDateTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
  return LocalDateTime{y, mo, d, h, mi, s, ms};
}

TEST(OleDate, KnownValues) {
  const std::pair<double, LocalDateTime> cases[] = {
      {0.0, At(1899, 12, 30)},           {2.0, At(1900, 1, 1)},
      {36526.5, At(2000, 1, 1, 12)},     {45000.0, At(2023, 3, 15)},
      {-1.25, At(1899, 12, 29, 6)},      {-1.0, At(1899, 12, 29)},
      {60.0, At(1900, 2, 28)},           {61.0, At(1900, 3, 1)},
      {36585.0, At(2000, 2, 29)},        {-657434.0, At(100, 1, 1)},
      {2958465.5, At(9999, 12, 31, 12)},
  };
  for (const auto& [ole, t] : cases) {
    EXPECT_EQ(EncodeOleDate(t), ole);
    EXPECT_EQ(DecodeOleDate(ole), t) << ole;
  }
  EXPECT_EQ(DecodeOleDate(-0.25), At(1899, 12, 30, 6));  // day 0 read through its fraction
  // A fraction a hair below a whole day is the next midnight.
  EXPECT_EQ(DecodeOleDate(4.9999999999), At(1900, 1, 4));
  EXPECT_EQ(DecodeOleDate(-1.9999999999), At(1899, 12, 30));
  // Nonsense decodes as the epoch.
  for (double bad : {std::nan(""), HUGE_VAL, -HUGE_VAL, 1e300, 2958466.5, -2958466.5}) {
    EXPECT_EQ(DecodeOleDate(bad), At(1899, 12, 30)) << bad;
  }
}

TEST(OleDate, EncodeDecodeIsExact) {
  std::mt19937_64 random(20240611);
  std::uniform_int_distribution<int> dayOffset(-2958000, 2958000);
  std::uniform_int_distribution<int> msOfDay(0, 86399999);
  for (int i = 0; i < 200000; ++i) {
    const int days = i % 4 == 0 ? dayOffset(random) % 800 : dayOffset(random);
    LocalDateTime t = DecodeOleDate(days);
    ASSERT_EQ(EncodeOleDate(t), days);
    const int ms = i % 10 == 1 ? 0 : i % 10 == 2 ? 86399999 : msOfDay(random);
    t.millisecond = ms % 1000;
    t.second = ms / 1000 % 60;
    t.minute = ms / 60000 % 60;
    t.hour = ms / 3600000;
    const double encoded = EncodeOleDate(t);
    ASSERT_EQ(DecodeOleDate(encoded), t) << "days " << days << " ms " << ms;
    ASSERT_EQ(std::trunc(encoded), days);  // the time never leaks into the day
  }
}

TEST(OleDate, Texts) {
  const DateTimeFormat czech{"%d.%m.%Y", "%H:%M:%S"};
  EXPECT_EQ(DateTimeText(0.0, czech), "30.12.1899  00:00:00");
  EXPECT_EQ(DateTimeText(-1.25, czech), "29.12.1899  06:00:00");
  EXPECT_EQ(DateTimeText(EncodeOleDate(At(2023, 3, 15, 23, 59, 59, 999)), czech),
            "15.03.2023  23:59:59");
  EXPECT_EQ(DateTimeText(45000.0, DateTimeFormat{}), "03/15/23  00:00:00");
  // Weekday and day of the year come from the date itself (C locale names).
  const DateTimeFormat extra{"%a %j", "%I %p"};
  EXPECT_EQ(DateTimeText(36526.5, extra), "Sat 001  12 PM");
  EXPECT_EQ(DateTimeText(-1.0, extra), "Fri 363  12 AM");
  EXPECT_EQ(DateTimeText(EncodeOleDate(At(2024, 3, 1, 1)), extra), "Fri 061  01 AM");

  EXPECT_EQ(TimeText(1.0 / 1440.0, czech), "00:01:00");
  EXPECT_EQ(TimeText(3.75, czech), "18:00:00");
  EXPECT_EQ(DateTimeText(3.75, DateTimeFormat{"", "%H"}), "  18");
  const std::string longPattern(600, 'x');  // more than the first buffer holds
  EXPECT_EQ(TimeText(0.0, DateTimeFormat{"", longPattern + "%H"}), longPattern + "00");
}

TEST(OleDate, TypedDatesReadBackInTheirForm) {
  const DateTimeFormat czech{"%d.%m.%Y", "%H:%M:%S"};
  const double day = EncodeOleDate(At(2024, 2, 29));
  EXPECT_EQ(DateText(day, czech), "29.02.2024");
  EXPECT_EQ(ParseDate("29.02.2024", czech.shortDate), day);
  EXPECT_EQ(ParseDate(" 29. 2. 2024 ", czech.shortDate), day);  // spaces, no zeros
  EXPECT_EQ(ParseDate("02/29/24", "%m/%d/%y"), day);
  EXPECT_EQ(ParseDate("1/2/99", "%m/%d/%y"), EncodeOleDate(At(1999, 1, 2)));
  EXPECT_EQ(ParseDate("1/2/1899", "%m/%d/%y"), EncodeOleDate(At(1899, 1, 2)));
  EXPECT_EQ(ParseDate("2026-12-08", "%Y-%m-%d"), EncodeOleDate(At(2026, 12, 8)));
  for (const char* bad : {"29.02.2023", "31.04.2024", "0.1.2024", "1.13.2024", "1.1.", "",
                          "1.1.2024x", "a.b.c", "1-1-2024", "1.1.10000"}) {
    EXPECT_EQ(ParseDate(bad, czech.shortDate), std::nullopt) << bad;
  }
  EXPECT_EQ(ParseDate("1.1.2024", "%d.%B.%Y"), std::nullopt);  // a form it does not read
}

TEST(LocalTime, MatchesTheCLibrary) {
  using namespace std::chrono;
  for (const long long ms : {1700000000123LL, 0LL, -1LL, -1500LL, -2208988800000LL}) {
    const LocalDateTime t = ToLocal(system_clock::time_point{milliseconds(ms)});
    const std::time_t clock = static_cast<std::time_t>(ms >= 0 ? ms / 1000 : -((999 - ms) / 1000));
    std::tm tm{};
    ASSERT_NE(localtime_r(&clock, &tm), nullptr);
    EXPECT_EQ(At(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
                 static_cast<int>(ms - clock * 1000LL)),
              t)
        << ms;
  }
  const LocalDateTime before = ToLocal(system_clock::now());
  const LocalDateTime now = NowLocal();
  EXPECT_LE(EncodeOleDate(before), EncodeOleDate(now));
}

TEST(Delay, WaitsAtLeastTheTime) {
  using Clock = std::chrono::steady_clock;
  auto start = Clock::now();
  DelayMs(30);
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(30));
  int pumped = 0;
  start = Clock::now();
  DelayMs(20, [&pumped] { ++pumped; });
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(20));
  EXPECT_GE(pumped, 1);
  pumped = 0;
  DelayMs(0, [&pumped] { ++pumped; });
  EXPECT_LE(pumped, 1);
}

}  // namespace
}  // namespace rondo
