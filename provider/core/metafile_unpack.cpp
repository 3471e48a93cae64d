#include "zevp/metafile_unpack.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "dp_anchor.h"
#include "dp_shutdown.h"
#include "metafile_io.h"
#include "metafile_record_size.h"
#include "trc1.h"
#include "validation_messages.h"
#include "zev0/hostnames.h"
#include "zev0/scrambler.h"
#include "zev0/storage.h"
#include "zev0/text.h"

TRC_UNIT();

namespace {

// The text file beside the metafile: its extension becomes "txt", or "out" for a
// metafile that is a "txt" file already.
std::string textFileName(std::string name) {
  size_t slash = name.rfind('/');
  size_t base = slash == std::string::npos ? 0 : slash + 1;
  size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot <= base) return name + ".txt";
  std::string extension = name.substr(dot + 1);
  name.resize(dot + 1);
  return name + (extension == "txt" || extension == "TXT" ? "out" : "txt");
}

// A name the caller gave relative to the current directory ("./m.mdl") is taken
// from the metafile directory instead.
std::string outputBaseName(const std::string& given, const char* metaPath) {
  if (given.empty() || given[0] != '.') return given;
  size_t start = 1;
  while (start < given.size() && !std::isalnum(static_cast<unsigned char>(given[start]))) ++start;
  return std::string(metaPath != nullptr ? metaPath : "") + given.substr(start);
}

struct Unpack {
  DPAB* anchor = nullptr;
  std::string metafileName;
  std::string outputName;
  std::FILE* output = nullptr;
  bool markerSeen = false;
};

// Writes one record; opens the text file at the first marker. False when the
// text file cannot be opened.
bool unpackRecord(Unpack& unpack, char* record, int32_t position) {
  if (unpack.markerSeen) {
    ZEV0_DecipherMetaRecord(record, static_cast<int32_t>(static_cast<int64_t>(std::strlen(record)) * position));
  } else {
    std::string marked = record;
    if (marked.compare(0, 6, "//SNMP") == 0) {
      if (marked.find(" TEXT") == std::string::npos) {
        std::snprintf(record, 16, "%s%s\n", "//SNMP", " TEXT");
        TRC(TRC_DETAIL, "TEXT keyword inserted");
      }
    } else if (marked.compare(0, 8, "//PLOVEN") != 0) {
      return true;  // records before the marker are not written
    }
    unpack.markerSeen = true;
    unpack.outputName = textFileName(unpack.outputName);
    TRC(TRC_DETAIL, "Unpack metafile file name %s", unpack.outputName.c_str());
    unpack.output = std::fopen(unpack.outputName.c_str(), "we");
    if (unpack.output == nullptr) {
      TRC(TRC_ERROR, "***** Text Metafile %s open failed. Errno %s", unpack.outputName.c_str(), std::strerror(errno));
      return false;
    }
  }
  std::fputs(record, unpack.output);
  return true;
}

int unpackFile(DPAB* anchor, const char* metafileName) {
  int32_t recordSize = ZEVP_MetaRecordSize();
  Unpack unpack;
  unpack.anchor = anchor;
  unpack.metafileName = metafileName;
  if (ZEV0_IsThisFullyQualifiedName(metafileName)) {
    unpack.outputName = outputBaseName(metafileName, anchor->metafileDirectory);
  } else {
    char* qualified = ZEV0_ConstructFullyQualifiedName(anchor->metafileDirectory, metafileName);
    if (qualified == nullptr) return -1;
    unpack.metafileName = qualified;
    unpack.outputName = qualified;
    ZEV0_FreeStorage(&qualified);
  }
  void* metafile = ZEVP_OpenMetaFile(anchor, unpack.metafileName.c_str(), 0);
  if (metafile == nullptr) return -1;

  // Room for the marker's line with TEXT inserted, whatever the record size.
  std::vector<char> record(static_cast<size_t>(recordSize) + 16);
  int result = 0;
  for (int32_t position = 0; ZEVP_ReadMetaFile(anchor, metafile, record.data(), recordSize) != nullptr; ++position) {
    if (!unpackRecord(unpack, record.data(), position)) {
      result = -1;
      break;
    }
  }
  ZEVP_CloseMetaFile(anchor, metafile);
  if (unpack.output != nullptr) {
    if (std::fclose(unpack.output) != 0) {
      TRC(TRC_ERROR, "***** Text Metafile %s not written. Errno %s", unpack.outputName.c_str(), std::strerror(errno));
      return -1;
    }
    ZEVP_DisplayValidationMessage(ZEVPV94I, unpack.outputName.c_str());
  }
  return result;
}

}  // namespace

int ZEVP_UnpackMetafileToText(const char* metafileName) {
  if (metafileName == nullptr || *metafileName == '\0') {
    ZEVP_DisplayValidationMessage(ZEVPV22E, nullptr);
    ZEVP_DisplayValidationMessage(ZEVPV95E, nullptr);
    return -1;
  }
  DPAB* anchor = ZEVP_StartupInitialization();
  if (anchor == nullptr) {
    ZEVP_DisplayValidationMessage(ZEVPV21E, nullptr);
    ZEVP_DisplayValidationMessage(ZEVPV95E, nullptr);
    return -1;
  }
  int result = unpackFile(anchor, metafileName);
  if (result != 0) ZEVP_DisplayValidationMessage(ZEVPV95E, nullptr);
  ZEVP_ShutdownCleanUp(anchor, 1);
  ZEVP_ReleaseGlobalResources(anchor);
  std::fflush(stdout);
  return result;
}
