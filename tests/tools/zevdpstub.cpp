// Stands in for a data-provider program that the agent starts: it proves that it ran,
// and under which argument 0, by writing argument 0 to the file that
// ZEV_TEST_DPSTUB_MARKER names. With ZEV_TEST_DPSTUB_DESCRIPTORS set it adds a line
// "inherited:" with each descriptor above standard error that it was started with.
#include <fcntl.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr int kHighestLookedAt = 1023;

std::string InheritedDescriptors() {
  std::string list = "inherited:";
  for (int descriptor = 3; descriptor <= kHighestLookedAt; ++descriptor)
    if (fcntl(descriptor, F_GETFD) != -1) list += " " + std::to_string(descriptor);
  return list;
}

}  // namespace

int main(int, char** argv) {
  const char* marker = std::getenv("ZEV_TEST_DPSTUB_MARKER");
  if (marker == nullptr) return 2;
  std::string text = argv[0];
  if (std::getenv("ZEV_TEST_DPSTUB_DESCRIPTORS") != nullptr) text += "\n" + InheritedDescriptors();
  std::FILE* file = std::fopen(marker, "w");
  if (file == nullptr) return 3;
  std::fputs(text.c_str(), file);
  return std::fclose(file) == 0 ? 0 : 4;
}
