#include "file_server_fixture.h"

#include <gtest/gtest.h>

#include <atomic>

#include "application_entry.h"
#include "bare_anchor.h"
#include "dp_log_capture.h"
#include "file_server.h"
#include "io_entry.h"
#include "model_records.h"
#include "process_entry.h"
#include "text_patterns.h"

namespace {

constexpr int kPassWaitMs = 10000;

std::atomic<FileServerFixture*> active{nullptr};

std::vector<std::string> WithDirectory(const std::vector<std::string>& lines, const std::string& directory) {
  std::vector<std::string> result;
  for (const std::string& line : lines) result.push_back(ReplacedEverywhere(line, "%DIR%", directory));
  return result;
}

std::string Joined(const std::vector<std::string>& values) {
  std::string text;
  for (const std::string& value : values) text += (text.empty() ? "" : " ") + value;
  return text;
}

}  // namespace

FileServerFixture::FileServerFixture(const std::vector<std::string>& metafile)
    : files_("zev_monitored"), application_(WithDirectory(metafile, files_.path())) {
  overrides_.routines().queueAndWaitDCHstatus = Answer;
  active = this;
}

FileServerFixture::~FileServerFixture() {
  DPAB* anchor = application_.anchor();
  TellEveryThreadToEnd(anchor);
  clock_.open();
  EXPECT_TRUE(WaitForThreadCount(anchor, 0)) << "the file servers did not end";
  active = nullptr;
}

void FileServerFixture::start(int32_t state) {
  for (TableEntry* table = application_.application()->FirstTable; table != nullptr; table = table->next)
    for (SourceEntry* source = table->FirstSource; source != nullptr; source = source->next)
      source->State = state;
  ZEVP_CheckAndStartFileServer(anchor(), ZEVP_FileServer);
}

bool FileServerFixture::firstPass(int servers) {
  for (int i = 0; i < servers; ++i)
    if (!clock_.waitForSleeper(kPassWaitMs)) return false;
  return true;
}

bool FileServerFixture::nextPass(int servers) {
  release(servers);
  return firstPass(servers);
}

void FileServerFixture::release(int servers) {
  for (int i = 0; i < servers; ++i) clock_.release();
}

bool FileServerFixture::passSleeps(int count) {
  for (int i = 0; i < count; ++i) {
    if (!clock_.waitForSleeper(kPassWaitMs)) return false;
    clock_.release();
  }
  return true;
}

void FileServerFixture::signalFileServers() {
  DPAB* anchor = application_.anchor();
  BSV1_GetLock(&anchor->fileIOListLock);
  for (IOEntry* io = anchor->fileIOEntries; io != nullptr; io = io->NextOfKind) ZEVP_WakeFileServer(io);
  BSV1_ReleaseLock(&anchor->fileIOListLock);
}

std::vector<std::string> FileServerFixture::takeRequests() {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::string> taken;
  taken.swap(requests_);
  return taken;
}

std::vector<std::string> FileServerFixture::takeRows() {
  std::vector<std::string> rows;
  for (const std::string& request : takeRequests())
    if (request.compare(0, 4, "row ") == 0) rows.push_back(request.substr(4));
  return rows;
}

std::vector<std::string> FileServerFixture::takeLog() const { return TakeDPlogMessages(application_.anchor()); }

std::vector<std::string> FileServerFixture::takeLog(int number) const {
  return TakeDPlogMessages(application_.anchor(), number);
}

void FileServerFixture::failRows(int count) {
  std::lock_guard<std::mutex> lock(mutex_);
  failingRows_ = count;
}

void FileServerFixture::onNextRow(std::function<void()> action) {
  std::lock_guard<std::mutex> lock(mutex_);
  onNextRow_ = std::move(action);
}

// As the agent answers: online and a row make the source Active, offline Ready; a
// failing row leaves it Inactive, as a time-out does.
void FileServerFixture::Answer(DPAB*, ProcessEntry*, SourceEntry* source) {
  FileServerFixture* fixture = active.load();
  if (fixture == nullptr) return;
  std::function<void()> action;
  {
    std::lock_guard<std::mutex> lock(fixture->mutex_);
    // Answered on the file server's own thread, which waits for the answer.
    switch (source->State) {
      case ZEVP_Ready:
        fixture->requests_.push_back("online");
        source->State = ZEVP_Active;
        break;
      case ZEVP_Inactive:
        fixture->requests_.push_back("offline");
        source->State = ZEVP_Ready;
        break;
      case ZEVP_Output:
        fixture->requests_.push_back("row " + std::to_string(source->DataSequence) + " " + Joined(ValuesOf(source)));
        if (fixture->failingRows_ > 0) {
          --fixture->failingRows_;
          source->State = ZEVP_Inactive;
        } else {
          source->State = ZEVP_Active;
        }
        action.swap(fixture->onNextRow_);
        break;
      default:
        fixture->requests_.push_back("state " + std::to_string(source->State));
    }
  }
  if (action) action();
}
