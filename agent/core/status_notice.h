// A data provider's source status notice as the agent's DCH server hands it to the
// status monitor: "application,attribute group,source,request code", the request code in
// decimal: 4117 a source came online, 4133 it went offline.
#pragma once

#include <string>

constexpr int kSourceOnlineCode = 4117;   // 0x1015
constexpr int kSourceOfflineCode = 4133;  // 0x1025

struct statusNotice {
  std::string applName;
  std::string attrGroup;
  std::string sourceName;
  std::string requestType;  // the text after the third comma
};

// Splits the notice at its first three commas. False (traced with the parts found) when
// a part is missing.
bool parseStatusNotice(const char* text, statusNotice* notice);
