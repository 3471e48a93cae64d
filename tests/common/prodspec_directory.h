// A product specification file written for one test, in a directory of its own,
// and the settings that point the reader at it. Records are stored scrambled as
// the reader takes them.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "zev0/scrambler.h"

// A directory of its own for one case's files.
class ProdSpecDirectory {
 public:
  ProdSpecDirectory() {
    char pattern[] = "/tmp/zev_prodspec_XXXXXX";
    char* made = mkdtemp(pattern);
    EXPECT_NE(made, nullptr);
    path_ = std::string(made ? made : "/tmp") + "/";
  }
  ~ProdSpecDirectory() { std::filesystem::remove_all(path_); }

  // Writes the plain identifier line and the records scrambled as the reader takes
  // them: at most 511 characters a record, record n keyed (its length, line end
  // included) x n.
  void write(const std::vector<std::string>& lines, const std::string& lineEnd = "\n",
             const std::string& identifier = "//PSF\n") const {
    std::ofstream file(path_ + name_, std::ios::binary);
    file << identifier;
    int64_t n = 1;
    for (const std::string& line : lines) {
      std::string rest = line + lineEnd;
      while (!rest.empty()) {
        std::string record = rest.substr(0, 511);
        rest.erase(0, record.size());
        ZEV0_EncipherRecord(record.data(), static_cast<int32_t>(static_cast<int64_t>(record.size()) * n++));
        file << record;
      }
    }
  }

  // Points the reader at this directory's file.
  void use(const std::string& name = "TESTPSF") {
    name_ = name;
    setenv("ZEV_PRODSPEC_PATH", path_.c_str(), 1);
    setenv("ZEV_PRODSPEC_NAME", name_.c_str(), 1);
  }

  void remove() const { std::filesystem::remove(path_ + name_); }

  // The directory, ending in "/", and the file's name.
  const std::string& path() const { return path_; }
  const std::string& name() const { return name_; }

 private:
  std::string path_;
  std::string name_ = "TESTPSF";
};
