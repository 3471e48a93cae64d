// The lines that open the ODI and JPF files (the first group's call writes them), made
// from the application's values alone.
#pragma once

#include <string>
#include <vector>

struct DefinitionFileHead {
  std::string stamp;       // when the file is written
  std::string key;         // application key
  std::string RR;          // release
  std::string cvrm;        // current version
  std::string applNameRR;  // application name and release
  std::string applHelp;    // empty: none
  // Product specification items 6 (ODI) and 7 (JPF); null when the product has none: the
  // line is then written empty, traced, and the file goes on.
  const char* affinityName = nullptr;
  const char* affinityString = nullptr;
};

// "*REM: ..." to "*RAF:": ten lines, nine without an application help.
std::vector<std::string> ODIHeaderLines(const DefinitionFileHead& head);
// The comment block and the "product." lines, up to the blank line after them.
std::vector<std::string> JPFProductLines(const DefinitionFileHead& head);
