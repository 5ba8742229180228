#pragma once
// A local calendar time for the tests' fixed clocks, in the numbers people write (month 1..12).
#include <ctime>

inline std::tm CalendarTime(int year, int month, int day, int hour = 0, int minute = 0,
                            int second = 0) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  return t;
}
