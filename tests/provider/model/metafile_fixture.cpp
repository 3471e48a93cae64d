#include "metafile_fixture.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "dp_anchor.h"
#include "dp_shutdown.h"
#include "internal_routing_block.h"
#include "metafile_parser.h"
#include "model_release.h"
#include "stdout_capture.h"
#include "zev0/scrambler.h"
#include "zev0/storage.h"

MetafileFixture::MetafileFixture() {
  char pattern[] = "/tmp/zev_metafiles_XXXXXX";
  const char* made = mkdtemp(pattern);
  EXPECT_NE(made, nullptr);
  directory_ = std::string(made != nullptr ? made : "/tmp") + "/";
  // The node name of every source is the local host's short name.
  setenv("QFEB0_HOSTNAME", "dphost.example", 1);
  setenv("ZEV_PRODSPEC_PATH", ZEV_EXAMPLES_DIR "/", 1);
  setenv("ZEV_PRODSPEC_NAME", "ZEVPSF", 1);
  setenv("ZEVP_META_PATH", directory_.c_str(), 1);
  anchor_ = ZEVP_StartupInitialization();
  EXPECT_NE(anchor_, nullptr) << "no data-provider anchor";
}

MetafileFixture::~MetafileFixture() {
  if (anchor_ != nullptr) {
    releaseModel();
    ZEVP_ShutdownCleanUp(anchor_, 1);
    ZEVP_ReleaseGlobalResources(anchor_);
  }
  std::filesystem::remove_all(directory_);
}

std::string MetafileFixture::write(const std::string& name, const std::vector<std::string>& lines) const {
  return writeScrambled(name, lines, static_cast<int>(lines.size()));
}

std::string MetafileFixture::writeScrambled(const std::string& name, const std::vector<std::string>& lines,
                                            int plain) const {
  std::string path = directory_ + name;
  std::ofstream file(path, std::ios::binary);
  for (size_t n = 0; n < lines.size(); ++n) {
    std::string record = lines[n] + "\n";
    if (static_cast<int>(n) >= plain)
      ZEV0_EncipherRecord(record.data(), static_cast<int32_t>(record.size() * n));
    file << record;
  }
  return path;
}

MetafileFixture::Parse MetafileFixture::parse(const std::string& name, int validate, int noEcho, int startup) {
  Parse result;
  StdoutCapture capture;
  result.application =
      ZEVP_ConstructApplDataModel(anchor_, name.c_str(), validate, &result.opened, &result.alreadyDefined, startup,
                                  noEcho);
  result.output = capture.takeLines();
  return result;
}

// What the shut-down of a data provider releases of the model.
void MetafileFixture::releaseModel() {
  while (anchor_->applications != nullptr) ZEVP_ReleaseApplResources(anchor_, anchor_->applications, 1);
  while (anchor_->ioEntries != nullptr) ZEVP_ReleaseIOResources(anchor_, anchor_->ioEntries);
  while (InternalRoutingBlock* block = anchor_->internalRoutingBlocks) {
    anchor_->internalRoutingBlocks = block->next;
    ZEV0_FreeStorage(&block->Name);
    ZEV0_FreeStorage(&block->RecordCopy);
    BSV1_DestroyLock(&block->Lock);
    ZEV0_FreeStorage(&block);
  }
}

void MetafileFixture::release(ApplicationEntry* application) { ZEVP_ReleaseApplResources(anchor_, application, 1); }
