#include "definition_file.h"

#include <cerrno>

#include "trc1.h"
#include "zev0/scrambler.h"
#include "zev0/storage.h"
#include "zev0/text.h"

TRC_UNIT();

DefinitionFile::~DefinitionFile() {
  if (file_ != nullptr) std::fclose(file_);
}

std::string DefinitionFilePath(const std::string& name) {
  char* qualified = ZEV0_ConstructFullyQualifiedName(nullptr, name.c_str());
  if (qualified == nullptr) {
    TRC(TRC_ERROR, "Error: Could not build fully qualified file name.");
    return "";
  }
  std::string path = qualified;
  ZEV0_FreeStorage(&qualified);
  return path;
}

bool DefinitionFile::nameFile(const char* applKey, const char* kind, const char* RR) {
  name_ = DefinitionFilePath(std::string(applKey) + kind + RR);
  return !name_.empty();
}

bool DefinitionFile::openNamed(const char* mode) {
  const std::string closedOnExec = std::string(mode) + "e";
  file_ = std::fopen(name_.c_str(), closedOnExec.c_str());
  if (file_ != nullptr) return true;
  TRC(TRC_ERROR, "Error: could not open <%s> for mode %s: errno=%d", name_.c_str(), mode, errno);
  return false;
}

bool DefinitionFile::open(const char* applKey, const char* kind, const char* RR, const char* mode) {
  if (!nameFile(applKey, kind, RR)) return false;
  TRC(TRC_DETAIL, "Generating <%s>", name_.c_str());
  return openNamed(mode);
}

bool DefinitionFile::openSQL(const char* applKey, const char* RR, int sqlMode, const char* mode) {
  if (!nameFile(applKey, "SQL", RR)) return false;
  TRC(TRC_DETAIL, "%d : Generating <%s>", sqlMode, name_.c_str());
  return openNamed(mode);
}

bool DefinitionFile::write(std::string_view text) { return put(text, 0); }

bool DefinitionFile::writeLine(std::string_view line) {
  std::string text(line);
  text += '\n';
  return write(text);
}

bool DefinitionFile::writeScrambledLine(std::string line, int* lineCounter) {
  ++*lineCounter;
  ZEV0_EncipherRecord(line.data(), static_cast<int32_t>(static_cast<int64_t>(line.size()) * *lineCounter));
  line += '\n';
  return put(line, *lineCounter);
}

// The failure names the text as far as it goes, and the line of a scrambled file.
bool DefinitionFile::put(std::string_view text, int lineCount) {
  errno = 0;
  size_t wrote = std::fwrite(text.data(), 1, text.size(), file_);
  if (wrote == text.size()) return true;
  int failure = errno;
  if (lineCount > 0)
    TRC(TRC_ERROR, "Error: errno=%d wrote=%d line=%d writing <%.*s>", failure, static_cast<int>(wrote), lineCount,
        static_cast<int>(text.size()), text.data());
  else
    TRC(TRC_ERROR, "Error: errno=%d wrote=%d writing <%.*s>", failure, static_cast<int>(wrote),
        static_cast<int>(text.size()), text.data());
  return false;
}

bool DefinitionFile::close() {
  std::FILE* file = file_;
  file_ = nullptr;
  errno = 0;
  if (std::fclose(file) == 0) return true;
  TRC(TRC_ERROR, "Error: errno=%d closing <%s>", errno, name_.c_str());
  return false;
}
