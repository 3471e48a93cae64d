#include "stdout_capture.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

StdoutCapture::StdoutCapture() {
  std::fflush(stdout);
  char path[] = "/tmp/zev_stdout_XXXXXX";
  file_ = mkstemp(path);
  if (file_ < 0) std::abort();
  unlink(path);
  saved_ = dup(STDOUT_FILENO);
  dup2(file_, STDOUT_FILENO);
}

StdoutCapture::~StdoutCapture() {
  std::fflush(stdout);
  dup2(saved_, STDOUT_FILENO);
  close(saved_);
  close(file_);
}

std::vector<std::string> StdoutCapture::takeLines() {
  std::fflush(stdout);
  std::string text;
  char block[4096];
  ssize_t got;
  while ((got = pread(file_, block, sizeof block, consumed_)) > 0) {
    text.append(block, static_cast<size_t>(got));
    consumed_ += got;
  }
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', start)) {
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}
