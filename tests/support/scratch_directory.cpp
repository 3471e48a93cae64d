#include "scratch_directory.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

ScratchDirectory::ScratchDirectory(const std::string& label) : owner_(getpid()) {
  std::string pattern = "/tmp/" + label + "_XXXXXX";
  const char* made = mkdtemp(pattern.data());
  EXPECT_NE(made, nullptr) << "no scratch directory";
  path_ = std::string(made != nullptr ? made : "/tmp") + "/";
}

ScratchDirectory::~ScratchDirectory() {
  if (getpid() == owner_) std::filesystem::remove_all(path_);
}

std::string ScratchDirectory::write(const std::string& name, const std::string& content) const {
  std::ofstream(file(name), std::ios::binary | std::ios::trunc) << content;
  return file(name);
}

std::string ScratchDirectory::append(const std::string& name, const std::string& content) const {
  std::ofstream(file(name), std::ios::binary | std::ios::app) << content;
  return file(name);
}

std::string ScratchDirectory::read(const std::string& name) const {
  std::ifstream stream(file(name), std::ios::binary);
  std::ostringstream content;
  content << stream.rdbuf();
  return content.str();
}

void ScratchDirectory::remove(const std::string& name) const { std::filesystem::remove(file(name)); }
