// A sample as text lines of tab-separated fields (internal to the framework).
#pragma once

#include <string>
#include <vector>

#include "pxraf.h"

namespace raf {

// The text with each tab, line feed and carriage return made a blank, so that it stays
// one field of one line.
std::string PrintableText(const std::string& text);

// A header line of the request's columns 0 to NumColumns() (each column's attribute
// name, else its column name), then a line per row: a text column up to its first NUL
// without trailing blanks, an integer column in decimal. A column that GetColumnInfo
// refuses is left out; a column that reaches past the row prints empty.
std::vector<std::string> SampleLines(Pxraf* request, const std::vector<std::string>& rows);

}  // namespace raf
