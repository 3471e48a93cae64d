// Small text helpers of the metafile parser.
#pragma once

#include <string>
#include <vector>

namespace zevp {

inline bool IsQuote(char c) { return c == '\'' || c == '"'; }

// The text after the quote at `open` up to the next quote of the same kind (or
// to the end).
std::string QuotedText(const std::string& text, size_t open);

std::string UpperCased(std::string text);

// The blank-delimited words of the text.
std::vector<std::string> Words(const std::string& text);

// True when text begins with prefix, compared in upper case.
bool BeginsWithUpper(const std::string& text, const char* prefix);

// A copy of the text in new storage (ZEV0_FreeStorage), or null.
char* NewStorageText(const std::string& text);

}  // namespace zevp
