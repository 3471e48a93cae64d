// Turns trace classes on for the length of a test and collects what was written.
#pragma once

#include <string>

class TraceCapture {
 public:
  // configuration: as ZEV_TRACE, e.g. "*=0x1ff". Output goes to /dev/null; the
  // lines are kept for the test.
  explicit TraceCapture(const std::string& configuration = "*=0x1ff");
  ~TraceCapture();

  // Everything captured since construction or the last take.
  std::string take();
  // True when some captured line holds the text; keeps the capture.
  bool contains(const std::string& text);
  // How many times the text was captured (a text may end with the line's '\n'); an
  // empty text counts the lines.
  int count(const std::string& text);

 private:
  std::string lines_;
};
