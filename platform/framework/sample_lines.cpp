#include "internal/sample_lines.h"

#include <cstdint>
#include <cstring>

namespace raf {

namespace {

std::vector<ColumnInfo> columnsOf(Pxraf* request) {
  std::vector<ColumnInfo> columns;
  int last = request->NumColumns();
  for (int column = 0; column <= last; ++column) {
    ColumnInfo info{};
    if (request->GetColumnInfo(&info, column) != 0) continue;
    info.name[sizeof info.name - 1] = '\0';
    info.attributeName[sizeof info.attributeName - 1] = '\0';
    columns.push_back(info);
  }
  return columns;
}

std::string valueOf(const ColumnInfo& column, const std::string& row) {
  if (column.offset < 0 || column.length <= 0 || static_cast<size_t>(column.offset) > row.size() ||
      static_cast<size_t>(column.length) > row.size() - column.offset)
    return "";
  const char* field = row.data() + column.offset;
  if (column.type == RAF_COLUMN_INTEGER_4 && column.length >= 4) {
    int32_t number;
    std::memcpy(&number, field, sizeof number);
    return std::to_string(number);
  }
  if (column.type == RAF_COLUMN_INTEGER_2 && column.length >= 2) {
    int16_t number;
    std::memcpy(&number, field, sizeof number);
    return std::to_string(number);
  }
  std::string text(field, strnlen(field, column.length));
  text.erase(text.find_last_not_of(' ') + 1);
  return PrintableText(text);
}

}  // namespace

std::string PrintableText(const std::string& text) {
  std::string printable = text;
  for (char& c : printable)
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
  return printable;
}

std::vector<std::string> SampleLines(Pxraf* request, const std::vector<std::string>& rows) {
  std::vector<ColumnInfo> columns = columnsOf(request);
  std::vector<std::string> lines;
  std::string header;
  for (size_t i = 0; i < columns.size(); ++i) {
    if (i > 0) header += '\t';
    const ColumnInfo& column = columns[i];
    header += PrintableText(column.attributeName[0] != '\0' ? column.attributeName : column.name);
  }
  lines.push_back(header);
  for (const std::string& row : rows) {
    std::string line;
    for (size_t i = 0; i < columns.size(); ++i) {
      if (i > 0) line += '\t';
      line += valueOf(columns[i], row);
    }
    lines.push_back(line);
  }
  return lines;
}

}  // namespace raf
