// A directory of metafiles for one test and a data-provider anchor whose
// metafile directory it is, built from the shipped example product specification.
#pragma once

#include <string>
#include <vector>

struct ApplicationEntry;
struct DPAB;

class MetafileFixture {
 public:
  MetafileFixture();
  ~MetafileFixture();
  MetafileFixture(const MetafileFixture&) = delete;
  MetafileFixture& operator=(const MetafileFixture&) = delete;

  // The directory, ending in '/'.
  const std::string& directory() const { return directory_; }
  DPAB* anchor() const { return anchor_; }

  // Writes the lines, each ended by a line feed; returns the file's full name.
  std::string write(const std::string& name, const std::vector<std::string>& lines) const;
  // Writes the first `plain` lines as they stand and the rest scrambled the way
  // a reader unscrambles them: line n (from 0) keyed by its length, line feed
  // included, times n.
  std::string writeScrambled(const std::string& name, const std::vector<std::string>& lines, int plain) const;

  struct Parse {
    ApplicationEntry* application = nullptr;
    std::vector<std::string> output;  // the validation messages, in order
    int opened = 0;
    int alreadyDefined = 0;
  };
  // ZEVP_ConstructApplDataModel on the anchor, with standard output captured.
  Parse parse(const std::string& name, int validate = 1, int noEcho = 1, int startup = 0);

  // Unchains and frees an application of the anchor.
  void release(ApplicationEntry* application);

 private:
  void releaseModel();

  std::string directory_;
  DPAB* anchor_ = nullptr;
};
