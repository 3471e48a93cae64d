// A received trap as one row of the TRAP table: its 13 fields, each followed by
// ';' (docs/trap-reception.md), and, for a configured trap, its console message.
#pragma once

#include <cstdint>
#include <string>

struct DPAB;

// The row buffer's size; a row holds at most one byte less.
constexpr uint32_t ZEVS_TRAP_ROW_SIZE = 4000;

struct TrapRow {
  std::string text;  // the row
  // With a configured trap entry: its severity, and the console message's
  // category, severity text and text.
  bool specified = false;
  int32_t severity = 0;
  std::string category;
  std::string severityText;
  std::string consoleText;
};

namespace zevs {

// Decodes the datagram (trap_decoder.h), looks its trap up in the trap
// configuration and builds its row; attribute names for the VarBinds come from
// the anchor's applications (none for a null anchor). False, and no row, for a
// datagram that is not a version-0 trap.
bool TrapDatagramToRow(DPAB* anchor, const char* datagram, uint32_t length, TrapRow* row);

}  // namespace zevs
