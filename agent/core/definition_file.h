// One definition file of an application as a writer fills it, group by group: named for
// the application key, the kind ("CAT", "ATR", ...) and the release, in the work
// directory; the first group's call opens it anew ("w"), later groups append ("a").
// Every failure is traced; a file that stops is closed and keeps what was written. The
// ODI and JPF files are stored scrambled line by line, each kind counting its lines over
// all groups of the pass.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

// The name in the work directory; empty (traced) when it cannot be built.
std::string DefinitionFilePath(const std::string& name);

class DefinitionFile {
 public:
  DefinitionFile() = default;
  ~DefinitionFile();
  DefinitionFile(const DefinitionFile&) = delete;
  DefinitionFile& operator=(const DefinitionFile&) = delete;

  // Names the file and opens it in that mode. False when the name cannot be built or the
  // file cannot be opened.
  bool open(const char* applKey, const char* kind, const char* RR, const char* mode);
  // As open, traced with the historical-data file's mode (0 to 3).
  bool openSQL(const char* applKey, const char* RR, int sqlMode, const char* mode);

  // Writes the text as it is; false when it could not be written whole.
  bool write(std::string_view text);
  // Writes the line and a line feed.
  bool writeLine(std::string_view line);
  // Advances the file kind's line counter and writes the line scrambled with its length
  // times the counter (the line feed neither counted nor scrambled).
  bool writeScrambledLine(std::string line, int* lineCounter);
  // Closes the file. False when what was written could not be flushed into it: a writer
  // must not succeed with a file that holds less than it wrote.
  bool close();

  const std::string& name() const { return name_; }

 private:
  bool nameFile(const char* applKey, const char* kind, const char* RR);
  bool openNamed(const char* mode);
  // lineCount: the scrambled line's count, 0 for a plain file.
  bool put(std::string_view text, int lineCount);

  std::FILE* file_ = nullptr;
  std::string name_;
};
