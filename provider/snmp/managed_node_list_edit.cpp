#include "managed_node_list_edit.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "managed_node_list.h"
#include "managed_node_list_file.h"
#include "trc1.h"
#include "work_file_name.h"
#include "zev0/hostnames.h"
#include "zev0/storage.h"
#include "zev0/text.h"
#include "zev0/text_files.h"

TRC_UNIT();

namespace {

constexpr char kBlanks[] = " \t";

enum class Edit { add, remove };

// A whole line of any length without its line end; false at the end of the file.
bool WholeLine(FILE* file, std::string* line) {
  line->clear();
  int c;
  while ((c = std::fgetc(file)) != EOF && c != '\n') line->push_back(static_cast<char>(c));
  if (c == EOF && line->empty()) return false;
  if (!line->empty() && line->back() == '\r') line->pop_back();
  return true;
}

bool IsStatementLine(const std::string& line) {
  if (line.empty() || line.find_first_not_of(kBlanks) == std::string::npos) return true;
  if (line[0] == '*') return true;
  std::string upper = line;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper.find("LISTNAME=") != std::string::npos || upper.find("FILTER=") != std::string::npos;
}

// Where the node's word begins in a node line, or npos.
size_t NodeWordAt(const std::string& line, const std::string& node) {
  size_t at = 0;
  while ((at = line.find_first_not_of(kBlanks, at)) != std::string::npos) {
    size_t end = std::min(line.find_first_of(kBlanks, at), line.size());
    ManagedNodeWord word = ZEVP_SplitManagedNodeWord(std::string_view(line).substr(at, end - at));
    if (word.name == node) return at;
    at = end;
  }
  return std::string::npos;
}

// Applies the edit to the lines; true when they changed.
bool EditLines(std::vector<std::string>& lines, const std::string& node, Edit edit, const char* fileName) {
  for (std::string& line : lines) {
    if (IsStatementLine(line)) continue;
    size_t at = NodeWordAt(line, node);
    if (at == std::string::npos) continue;
    bool excluded = line[at] == '-';
    if (edit == Edit::add) {
      TRC(TRC_DETAIL, "Add node %s found in list file %s", node.c_str(), fileName);
      if (!excluded) return false;
      line.erase(at, 1);
      return true;
    }
    TRC(TRC_DETAIL, "Remove node %s found in list file %s", node.c_str(), fileName);
    if (excluded) return false;
    line.insert(at, 1, '-');
    return true;
  }
  if (edit == Edit::remove) return false;
  lines.push_back(node);
  return true;
}

void EditListFile(const char* inputFileName, const char* nodeName, Edit edit) {
  if (inputFileName == nullptr || nodeName == nullptr || nodeName[0] == '\0') return;
  const std::string fileName = zevp::FullWorkFileName(inputFileName);
  const std::string node = ZEVP_SplitManagedNodeWord(nodeName).name;
  BSV1_Lock* editLock = zevp::ManagedNodeListLock();
  BSV1_GetLock(editLock);
  FILE* file = std::fopen(fileName.c_str(), "re");
  if (file == nullptr) {
    TRC(TRC_ERROR,
        edit == Edit::add ? "***** Unable to open Managed Node List file %s, ErrorText <%s>"
                          : "***** Unable to open file %s, ErrorText <%s>",
        fileName.c_str(), std::strerror(errno));
    BSV1_ReleaseLock(editLock);
    return;
  }
  std::vector<std::string> lines;
  std::string line;
  while (WholeLine(file, &line)) lines.push_back(line);
  std::fclose(file);
  if (EditLines(lines, node, edit, fileName.c_str())) {
    const std::string temporary = zevp::FullWorkFileName(edit == Edit::add ? "ZEVSUPDT" : "ZEVSNEWL");
    FILE* out = std::fopen(temporary.c_str(), "we");
    if (out == nullptr) {
      TRC(TRC_ERROR, "***** Unable to open file %s, ErrorText <%s>", temporary.c_str(), std::strerror(errno));
    } else {
      for (const std::string& kept : lines) std::fprintf(out, "%s\n", kept.c_str());
      if (zev0::ReplaceWithNewFile(out, temporary.c_str(), fileName.c_str()))
        TRC(TRC_DETAIL, "%s renamed to %s", temporary.c_str(), fileName.c_str());
      else
        TRC(TRC_ERROR, "***** Rename failed for Managed Node List file %s, ErrorText <%s>", fileName.c_str(),
            std::strerror(errno));
    }
  }
  BSV1_ReleaseLock(editLock);
}

}  // namespace

void ZEVP_AddManagedNodeListFile(const char* inputFileName, const char* nodeName) {
  EditListFile(inputFileName, nodeName, Edit::add);
}

void ZEVP_RemoveManagedNodeListFile(const char* inputFileName, const char* nodeName) {
  EditListFile(inputFileName, nodeName, Edit::remove);
}
