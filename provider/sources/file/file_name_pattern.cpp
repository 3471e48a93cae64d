#include "file_name_pattern.h"

#include <cctype>
#include <cstring>

#include "file_pattern_control_block.h"
#include "trc1.h"

TRC_UNIT();

namespace zevp {

namespace {

constexpr size_t npos = std::string::npos;

std::string Text(const char* text, int32_t length) {
  return text != nullptr ? std::string(text, static_cast<size_t>(length)) : std::string();
}

int64_t Number(const std::string& digits) {
  int64_t value = 0;
  for (char digit : digits) value = value * 10 + (digit - '0');
  return value;
}

// The run of a pattern letter: where its first letter stands and how many there are.
struct LetterRun {
  size_t first = npos;
  size_t count = 0;
};

LetterRun RunOf(const std::string& numericPattern, char letter) {
  LetterRun run;
  for (size_t i = 0; i < numericPattern.size(); ++i) {
    if (numericPattern[i] != letter) continue;
    if (run.first == npos) run.first = i;
    ++run.count;
  }
  return run;
}

int64_t DigitsAt(const std::string& digits, const LetterRun& run) {
  if (run.first == npos) return 0;
  return Number(digits.substr(run.first, run.count));
}

// The value of the name's numeric run: a date when the pattern marks year, month
// or day, else the number its digits form.
int64_t NumericValue(const std::string& numericPattern, const std::string& digits) {
  LetterRun year = RunOf(numericPattern, 'Y');
  LetterRun month = RunOf(numericPattern, 'M');
  LetterRun day = RunOf(numericPattern, 'D');
  if (year.count + month.count + day.count == 0) return Number(digits);
  int64_t yearValue = DigitsAt(digits, year);
  if (year.count == 2) yearValue += yearValue > 69 ? 1900 : 2000;
  return yearValue * 100000 + DigitsAt(digits, month) * 1000 + DigitsAt(digits, day);
}

}  // namespace

bool MatchMonitorFileName(const FileSpecControlBlock& spec, const std::string& name, PatternMatch* match) {
  size_t dot = name.rfind('.');
  std::string base = dot == npos ? name : name.substr(0, dot);
  std::string extension = dot == npos ? std::string() : name.substr(dot + 1);
  bool specExtension = spec.Extension != nullptr;
  if (dot != npos && !specExtension) {
    TRC(TRC_UNIT_DETAIL, "File %s with extension skipped for pattern without extension", name.c_str());
    return false;
  }
  if (dot == npos && specExtension) {
    TRC(TRC_UNIT_DETAIL, "File %s without extension skipped for pattern with extension", name.c_str());
    return false;
  }
  if (specExtension && !spec.WildcardExtension && extension != spec.Extension) {
    TRC(TRC_UNIT_DETAIL, "File skipped, extension %s does not match defined extension %s", extension.c_str(),
        spec.Extension);
    return false;
  }
  size_t baseLength = base.size();
  auto prefixLength = static_cast<size_t>(spec.PrefixLength);
  auto patternLength = static_cast<size_t>(spec.PatternLength);
  if (baseLength < static_cast<size_t>(spec.CriteriaLength)) {
    TRC(TRC_UNIT_DETAIL, "File skipped, name length %d shorter than defined criteria length %d",
        static_cast<int>(baseLength), spec.CriteriaLength);
    return false;
  }
  if (base.compare(0, prefixLength, Text(spec.Prefix, spec.PrefixLength)) != 0) {
    TRC(TRC_UNIT_DETAIL, "File skipped, file name prefix mismatch against defined prefix %s",
        spec.Prefix != nullptr ? spec.Prefix : "");
    return false;
  }
  if (spec.SuffixLength > 0 &&
      base.compare(prefixLength + patternLength, static_cast<size_t>(spec.SuffixLength), spec.Suffix) != 0) {
    TRC(TRC_UNIT_DETAIL, "File skipped, file name suffix mismatch against defined suffix %s", spec.Suffix);
    return false;
  }
  if (spec.SuffixLength == 0 && baseLength > prefixLength + patternLength) {
    TRC(TRC_UNIT_DETAIL, "File skipped, file may include suffix where none defined. %d %d",
        static_cast<int>(baseLength), static_cast<int>(prefixLength + patternLength));
    return false;
  }
  std::string patternPart = base.substr(prefixLength, patternLength);
  std::string pattern = Text(spec.Pattern, spec.PatternLength);
  auto numericOffset = static_cast<size_t>(spec.NumericOffset);
  auto numericLength = static_cast<size_t>(spec.NumericLength);
  std::string digits = numericLength > 0 ? patternPart.substr(numericOffset, numericLength) : std::string();
  for (char c : digits) {
    if (!std::isdigit(static_cast<unsigned char>(c))) {
      TRC(TRC_UNIT_DETAIL, "File skipped, file name %s does not match numeric pattern %s offset %d", name.c_str(),
          pattern.c_str(), spec.NumericOffset);
      return false;
    }
  }
  // The letters are placed within the numeric run, as the digits are: in {??YYMMDD} the
  // year is the run's first two digits, not the pattern's third and fourth characters.
  match->value = numericLength > 0 ? NumericValue(pattern.substr(numericOffset, numericLength), digits) : 0;
  match->characters = spec.CharLength > 0 ? patternPart.substr(static_cast<size_t>(spec.CharOffset),
                                                               static_cast<size_t>(spec.CharLength))
                                          : std::string();
  TRC(TRC_UNIT_DETAIL, "File specification numeric value %lld", static_cast<long long>(match->value));
  return true;
}

bool IsNewerMatch(const PatternMatch& candidate, const PatternMatch& best) {
  if (candidate.value != best.value) return candidate.value > best.value;
  for (size_t i = 0; i < candidate.characters.size() && i < best.characters.size(); ++i)
    if (static_cast<unsigned char>(candidate.characters[i]) < static_cast<unsigned char>(best.characters[i]))
      return false;
  return true;
}

}  // namespace zevp
