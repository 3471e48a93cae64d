// The list input file of a managed node list, read (docs/managed-node-list-files.md):
// comments, LISTNAME=, FILTER=( kind value ) and lines of node words.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

// The longest line the reader takes; a longer one is skipped whole.
constexpr size_t ZEVP_LIST_LINE_MAX = 1023;

struct ManagedNodeListText {
  std::string listName;  // empty without a LISTNAME line
  int32_t filterType = 0;  // ZEVP_ManagedNodeFilter
  std::string filterValue;
  std::vector<std::string> nodeWords;  // as written, in file order
};

// A node word: a host name or dotted address, "-" first for an excluded node,
// "[port]" after it for a port other than the default.
struct ManagedNodeWord {
  std::string name;
  uint16_t port = 0;
  bool excluded = false;
  bool valid = false;  // a name, and a port of 1 to 65535 digits' worth when one is given
};

// Reads the file's lines; fileName names it in the traces.
ManagedNodeListText ZEVP_ReadManagedNodeListText(FILE* file, const char* fileName);

ManagedNodeWord ZEVP_SplitManagedNodeWord(std::string_view word);

// The list name of a file without LISTNAME: the name as given, cut to 16
// characters and at its first ".".
std::string ZEVP_DefaultManagedNodeListName(const char* inputFileName);
