#include "work_directory.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "prodspec_directory.h"
#include "zev0/prodspec.h"

namespace {

// The scratch directory goes with the process that made it (not with a child of it).
class ScratchDirectory {
 public:
  ScratchDirectory() : owner_(getpid()) {
    char pattern[] = "/tmp/zev_definitions_XXXXXX";
    char* made = mkdtemp(pattern);
    path_ = std::string(made != nullptr ? made : "/tmp") + "/";
    setenv("ZEV_WORK_PATH", path_.c_str(), 1);
  }
  ~ScratchDirectory() {
    if (getpid() == owner_) std::filesystem::remove_all(path_);
  }
  const std::string& path() const { return path_; }

 private:
  pid_t owner_;
  std::string path_;
};

const std::string& ScratchPath() {
  static ScratchDirectory directory;
  return directory.path();
}

// The work directory is settled first: the utilities fix theirs at their first use.
bool ReadProductSpecification(const std::vector<std::string>& records) {
  ScratchPath();
  static ProdSpecDirectory directory;
  directory.use();
  directory.write(records);
  return ZEV0_InitializeProductSpec() == 1;
}

}  // namespace

const std::string& DefinitionWorkDirectory() {
  static const bool ready = ReadProductSpecification({"PRODUCT_CODE=EV"});
  EXPECT_TRUE(ready) << "the product specification could not be read";
  return ScratchPath();
}

bool UseProductSpecification(const std::vector<std::string>& records) { return ReadProductSpecification(records); }

std::string ReadWorkFile(const std::string& name) {
  std::ifstream file(ScratchPath() + name, std::ios::binary);
  std::ostringstream content;
  content << file.rdbuf();
  return content.str();
}

void WriteWorkFile(const std::string& name, const std::string& content) {
  std::ofstream(ScratchPath() + name, std::ios::binary) << content;
}

void RemoveWorkFile(const std::string& name) { std::filesystem::remove(ScratchPath() + name); }
