// The main of a fuzz harness in the sanitizer build: every input of the corpus folders
// (or files) named, once each, then the empty input, as libFuzzer runs a corpus with
// -runs=0. The libraries there carry no fuzzing coverage, so a harness checks its corpus
// without a build of its own; make fuzz builds the real fuzzer.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {

namespace fs = std::filesystem;

// The regular files under each path, in name order; false when a path cannot be read.
bool CollectInputs(int argc, char** argv, std::vector<fs::path>* inputs) {
  for (int i = 1; i < argc; ++i) {
    std::error_code error;
    if (fs::is_regular_file(argv[i], error)) {
      inputs->push_back(argv[i]);
      continue;
    }
    fs::recursive_directory_iterator entry(argv[i], error), end;
    if (error) {
      std::fprintf(stderr, "%s: %s\n", argv[i], error.message().c_str());
      return false;
    }
    std::vector<fs::path> found;
    for (; entry != end; entry.increment(error)) {
      if (entry->is_regular_file()) found.push_back(entry->path());
    }
    if (error) {
      std::fprintf(stderr, "%s: %s\n", argv[i], error.message().c_str());
      return false;
    }
    std::sort(found.begin(), found.end());
    inputs->insert(inputs->end(), found.begin(), found.end());
  }
  return true;
}

// The harness gets a buffer of exactly the input's size, so that a read past its end
// is the sanitizer's to report.
void RunInput(const std::string& bytes) {
  const auto buffer = std::make_unique<uint8_t[]>(bytes.size());
  std::copy(bytes.begin(), bytes.end(), buffer.get());
  LLVMFuzzerTestOneInput(buffer.get(), bytes.size());
}

}  // namespace

int main(int argc, char** argv) {
  if (LLVMFuzzerInitialize != nullptr) LLVMFuzzerInitialize(&argc, &argv);
  std::vector<fs::path> inputs;
  if (!CollectInputs(argc, argv, &inputs)) return 1;
  if (inputs.empty()) {
    std::fprintf(stderr, "no corpus input given\n");
    return 1;
  }
  for (const fs::path& input : inputs) {
    std::ifstream file(input, std::ios::binary);
    std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    if (!file.good() && !file.eof()) {
      std::fprintf(stderr, "%s: cannot be read\n", input.c_str());
      return 1;
    }
    RunInput(bytes);
  }
  RunInput("");
  std::fprintf(stderr, "%zu inputs and the empty one ran\n", inputs.size());
  return 0;
}
