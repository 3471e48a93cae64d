#include "trace_config.h"

#include <cstdlib>
#include <cstring>

namespace trc1 {

namespace {

bool parseMask(const std::string& text, uint32_t* mask) {
  if (text.empty()) return false;
  char* end = nullptr;
  unsigned long value = std::strtoul(text.c_str(), &end, 0);
  if (*end != '\0') return false;
  *mask = static_cast<uint32_t>(value);
  return true;
}

std::vector<std::string> tokens(const char* text) {
  std::vector<std::string> result;
  std::string current;
  for (const char* p = text; *p; ++p) {
    if (*p == ' ' || *p == ',' || *p == '\t' || *p == ';') {
      if (!current.empty()) result.push_back(current);
      current.clear();
    } else {
      current += *p;
    }
  }
  if (!current.empty()) result.push_back(current);
  return result;
}

}  // namespace

TraceConfig TraceConfig::parse(const char* text) {
  TraceConfig config;
  if (text == nullptr) return config;
  for (const std::string& token : tokens(text)) {
    if (token[0] == '>') {
      config.outputPath = token.substr(1);
      continue;
    }
    size_t equals = token.find('=');
    uint32_t mask = 0;
    if (equals == std::string::npos || !parseMask(token.substr(equals + 1), &mask)) continue;
    std::string unit = token.substr(0, equals);
    if (unit == "*")
      config.defaultClasses = mask;
    else
      config.unitClasses.emplace_back(unit, mask);
  }
  return config;
}

uint32_t TraceConfig::classesFor(const std::string& unitName) const {
  for (const auto& [unit, mask] : unitClasses)
    if (unit == unitName) return mask;
  return defaultClasses;
}

std::string unitNameOf(const char* sourceFile) {
  const char* base = std::strrchr(sourceFile, '/');
  std::string name = base ? base + 1 : sourceFile;
  size_t dot = name.find('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

}  // namespace trc1
