#include "agents_file.h"

#include <cerrno>
#include <cstdio>
#include <initializer_list>
#include <vector>

#include "ploven_agent_entry.h"
#include "product_affinity.h"
#include "trc1.h"
#include "zev0/storage.h"
#include "zev0/text.h"
#include "zev0/text_files.h"

TRC_UNIT();

namespace zevs {

const char kAgentsFileHeader[] =
    "Network Name;Network Address;Managed System Name;Product Name;Product Version;Features;Affinity;";

namespace {

constexpr int kFields = 7;

void AppendField(std::string* line, const char* text) {
  size_t start = line->size();
  if (text != nullptr) line->append(text);
  if (line->size() == start) line->push_back(' ');
  for (size_t i = start; i < line->size(); ++i)
    if ((*line)[i] == ';' || (*line)[i] == '\r' || (*line)[i] == '\n') (*line)[i] = ' ';
  line->push_back(';');
}

// The line's fields as ZEV0_strtok splits them at ';' (a run of ';' one separator).
std::vector<std::string> SplitFields(const std::string& line) {
  std::vector<char> text(line.begin(), line.end());
  text.push_back('\0');
  std::vector<std::string> fields;
  // Taken to the end, so the tokenizer lets go of this thread's position.
  for (char* field = ZEV0_strtok(text.data(), ";"); field != nullptr; field = ZEV0_strtok(nullptr, ";"))
    fields.emplace_back(field);
  return fields;
}

}  // namespace

std::string AgentsFileLine(const PlovenAgentEntry& entry) {
  std::string line;
  for (const char* text : {entry.networkName, entry.networkAddress, entry.managedSystemName, entry.productName,
                           entry.productVersion, entry.features, entry.affinity})
    AppendField(&line, text);
  return line;
}

PlovenAgentEntry* AgentFromFileLine(const std::string& line) {
  std::vector<std::string> fields = SplitFields(line);
  if (fields.size() < kFields) return nullptr;
  PlovenAgentEntry* entry = NewPlovenAgentEntry();
  if (entry == nullptr) return nullptr;
  entry->networkName = CopyAgentText(fields[0].c_str());
  entry->networkAddress = CopyAgentText(fields[1].c_str());
  entry->managedSystemName = CopyAgentText(fields[2].c_str());
  entry->productVersion = CopyAgentText(fields[4].c_str());
  entry->affinity = ZEVS_CheckValidAffinity(fields[6].c_str());
  entry->productName = CopyAgentText(ZEVS_LocateProductNameFromAffinity(entry->affinity));
  entry->features = ZEVS_ConstructProductFeatureString(entry->affinity);
  return entry;
}

bool WriteAgentsFile(const char* path, PlovenAgentEntry* first) {
  const std::string newPath = std::string(path) + ".new";
  FILE* file = std::fopen(newPath.c_str(), "we");
  if (file == nullptr) {
    TRC(TRC_ERROR, "***** Ploven agent output file %s open failed, errno %d", newPath.c_str(), errno);
    return false;
  }
  TRC(TRC_DETAIL, "File %s opened for Ploven agent output", newPath.c_str());
  bool written = std::fprintf(file, "%s\n", kAgentsFileHeader) > 0;
  int record = 0;
  for (PlovenAgentEntry* entry = first; entry != nullptr && written; entry = entry->next) {
    BSV1_GetLock(&entry->lock);
    std::string line = AgentsFileLine(*entry);
    BSV1_ReleaseLock(&entry->lock);
    TRC(TRC_DETAIL, "Record %d ->%s", ++record, line.c_str());
    written = std::fprintf(file, "%s\n", line.c_str()) > 0;
  }
  if (!written) {
    TRC(TRC_ERROR, "***** Ploven agent output file %s write failed, errno %d", newPath.c_str(), errno);
    std::fclose(file);
    std::remove(newPath.c_str());
    return false;
  }
  if (zev0::ReplaceWithNewFile(file, newPath.c_str(), path)) return true;
  TRC(TRC_ERROR, "***** Ploven agent output file %s not replaced, errno %d", path, errno);
  return false;
}

int ReadAgentsFile(const char* path, const std::function<void(PlovenAgentEntry*)>& take) {
  FILE* file = std::fopen(path, "re");
  if (file == nullptr) {
    TRC(TRC_DETAIL, "Ploven agent file %s does not exit", path);
    return 0;
  }
  int made = ReadAgentsLines(file, take);
  std::fclose(file);
  TRC(TRC_DETAIL, "-----ReadDiscoveredPlovenAgentFromExt Exit %d -----", made);
  return made;
}

int ReadAgentsLines(FILE* file, const std::function<void(PlovenAgentEntry*)>& take) {
  int made = 0;
  int lineNumber = 0;
  std::string line;
  bool tooLong = false;
  while (zev0::NextTextLine(file, &line, kAgentsFileLineMax, &tooLong)) {
    // The first line is the header.
    if (++lineNumber == 1) continue;
    if (tooLong) {
      TRC(TRC_ERROR, "Ploven agent file line %d longer than %zu characters. Skipped", lineNumber, kAgentsFileLineMax);
      continue;
    }
    PlovenAgentEntry* entry = AgentFromFileLine(line);
    if (entry == nullptr) {
      TRC(TRC_DETAIL, "Ploven agent file line %d lacks a field. Skipped", lineNumber);
      continue;
    }
    take(entry);
    ++made;
  }
  return made;
}

}  // namespace zevs
