#include "trace_capture.h"

#include <algorithm>
#include <cstdlib>

#include "trc1.h"

TraceCapture::TraceCapture(const std::string& configuration) {
  TRC1_Configure((configuration + " >/dev/null").c_str());
  TRC1_StartCapture();
}

TraceCapture::~TraceCapture() {
  TRC1_StopCapture();
  TRC1_Configure(std::getenv("ZEV_TRACE"));
}

std::string TraceCapture::take() {
  std::string all = lines_ + TRC1_TakeCapture();
  lines_.clear();
  return all;
}

bool TraceCapture::contains(const std::string& text) { return count(text) > 0; }

int TraceCapture::count(const std::string& text) {
  lines_ += TRC1_TakeCapture();
  if (text.empty()) return static_cast<int>(std::count(lines_.begin(), lines_.end(), '\n'));
  int found = 0;
  for (size_t at = lines_.find(text); at != std::string::npos; at = lines_.find(text, at + text.size())) ++found;
  return found;
}
