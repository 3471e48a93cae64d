// Whether a directory entry's name matches a FILE source's name pattern
// (prefix{pattern}suffix.extension), and the value by which the newest of the
// matching names is chosen.
#pragma once

#include <cstdint>
#include <string>

struct FileSpecControlBlock;

namespace zevp {

struct PatternMatch {
  // The date (year * 100000 + month * 1000 + day) or number that the pattern's
  // run of '#', 'Y', 'M' and 'D' marks in the name; 0 when it has none.
  int64_t value = 0;
  std::string characters;  // the run that the pattern's '?' marks
};

// True when the name matches the pattern, with its value; false after a trace
// that says why it does not.
bool MatchMonitorFileName(const FileSpecControlBlock& spec, const std::string& name, PatternMatch* match);

// True when a match is newer than the best so far: a larger value, or an equal
// value and a character run that is nowhere smaller, compared from the left.
bool IsNewerMatch(const PatternMatch& candidate, const PatternMatch& best);

}  // namespace zevp
