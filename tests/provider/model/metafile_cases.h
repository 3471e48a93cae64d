// Table-driven metafile tests: one small metafile per case, parsed in a
// validation run without record echo; the messages on standard output and the
// model's dump are compared whole.
#pragma once

#include <string>
#include <vector>

struct MetafileCase {
  const char* name;
  std::vector<std::string> metafile;
  std::vector<std::string> messages;
  std::vector<std::string> model;  // DumpModel of the result; empty: no application
};

void RunMetafileCases(const std::vector<MetafileCase>& cases);
