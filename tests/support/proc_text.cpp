#include "proc_text.h"

#include <fcntl.h>
#include <unistd.h>

std::string ProcText(const std::string& path) {
  int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) return "";
  std::string text;
  char block[4096];
  ssize_t count;
  while ((count = read(descriptor, block, sizeof block)) > 0) text.append(block, static_cast<size_t>(count));
  close(descriptor);
  return count < 0 ? "" : text;
}
