// A directory of its own for one test's files, removed with the object by the
// process that made it (not by a child forked from it).
#pragma once

#include <sys/types.h>

#include <string>

class ScratchDirectory {
 public:
  explicit ScratchDirectory(const std::string& label = "zev_scratch");
  ~ScratchDirectory();
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  // The directory, ending in '/'.
  const std::string& path() const { return path_; }
  // The full name of a file of the directory.
  std::string file(const std::string& name) const { return path_ + name; }

  // Writes (replacing) or appends the bytes; returns the file's full name.
  std::string write(const std::string& name, const std::string& content) const;
  std::string append(const std::string& name, const std::string& content) const;
  // The whole file; empty when there is none.
  std::string read(const std::string& name) const;
  void remove(const std::string& name) const;

 private:
  pid_t owner_;
  std::string path_;
};
