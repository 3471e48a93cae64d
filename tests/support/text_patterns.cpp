#include "text_patterns.h"

#include <regex>

bool MatchesPattern(const std::string& text, const std::string& pattern) {
  return std::regex_match(text, std::regex(pattern));
}

bool ContainsPattern(const std::string& text, const std::string& pattern) {
  return std::regex_search(text, std::regex(pattern));
}

std::string ReplacedEverywhere(std::string text, const std::string& marker, const std::string& replacement) {
  if (marker.empty()) return text;
  for (size_t at = text.find(marker); at != std::string::npos; at = text.find(marker, at + replacement.size()))
    text.replace(at, marker.size(), replacement);
  return text;
}
