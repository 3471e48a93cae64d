// Stands in for a data-provider program that the agent starts: it proves that it ran,
// and under which argument 0, by writing argument 0 to the file that
// ZEV_TEST_DPSTUB_MARKER names.
#include <cstdio>
#include <cstdlib>

int main(int, char** argv) {
  const char* marker = std::getenv("ZEV_TEST_DPSTUB_MARKER");
  if (marker == nullptr) return 2;
  std::FILE* file = std::fopen(marker, "w");
  if (file == nullptr) return 3;
  std::fputs(argv[0], file);
  return std::fclose(file) == 0 ? 0 : 4;
}
