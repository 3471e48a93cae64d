// The layout of the 16 characters of an agent time stamp, shared by the stamp
// generator and the time text parser.
#pragma once

namespace zev0 {

struct StampFields {
  int year = 0;  // since 1900
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int counter = 0;  // orders the stamps of one second
};

// Writes the stamp and its NUL (17 bytes). A field that does not fit its place
// (a year of 1000 or more, a negative number) is written as 0, so the others
// keep their positions.
void WritePlovenTime(char* stamp, const StampFields& fields);

}  // namespace zev0
