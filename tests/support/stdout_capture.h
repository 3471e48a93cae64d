// Collects what the process writes on standard output for the length of a test
// (validation messages, reports), in place of the terminal.
#pragma once

#include <string>
#include <vector>

class StdoutCapture {
 public:
  StdoutCapture();
  ~StdoutCapture();
  StdoutCapture(const StdoutCapture&) = delete;
  StdoutCapture& operator=(const StdoutCapture&) = delete;

  // The lines written since construction or the last take, without their line ends.
  std::vector<std::string> takeLines();

 private:
  int saved_;
  int file_;
  long consumed_ = 0;
};
