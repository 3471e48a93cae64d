// Text checked against regular expressions, and a marker replaced in text. They are
// compiled here once: <regex> costs a test program more to build than all its cases.
#pragma once

#include <string>

// True when the whole text matches the ECMAScript pattern.
bool MatchesPattern(const std::string& text, const std::string& pattern);
// True when some part of the text matches the ECMAScript pattern.
bool ContainsPattern(const std::string& text, const std::string& pattern);
// The text with every occurrence of the marker (taken literally) replaced.
std::string ReplacedEverywhere(std::string text, const std::string& marker, const std::string& replacement);
