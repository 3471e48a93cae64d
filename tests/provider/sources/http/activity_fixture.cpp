#include "activity_fixture.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <thread>

#include "bare_anchor.h"
#include "dp_anchor.h"
#include "eventually.h"
#include "http_manager.h"
#include "url_management.h"
#include "url_rule_start.h"
#include "zev/dp_types.h"
#include "zev0/prodspec.h"
#include "zev0/storage.h"

namespace {

constexpr int32_t kCommonPageSize = 64000;

Settings WithDefaults(Settings settings) {
  for (const auto& [name, value] : Settings{{"ZEVP_URL_MAX_REPLY_WAIT", "2"}, {"ZEVP_URL_MAX_FREE_SUBTASK_WAIT", "1"}}) {
    bool given = false;
    for (const auto& setting : settings) given = given || setting.first == name;
    if (!given) settings.emplace_back(name, value);
  }
  return settings;
}

}  // namespace

QuickSleeps::QuickSleeps() : previous_(bsv1::SetClock(this)) {}
QuickSleeps::~QuickSleeps() { bsv1::SetClock(previous_); }

BSV1_Time QuickSleeps::now() {
  auto since = std::chrono::system_clock::now().time_since_epoch();
  auto seconds = std::chrono::duration_cast<std::chrono::seconds>(since);
  return BSV1_Time{seconds.count(), static_cast<int32_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                                             since - seconds)
                                                             .count())};
}

void QuickSleeps::sleep(unsigned seconds) { std::this_thread::sleep_for(std::chrono::milliseconds(2 * seconds)); }

ActivitySubtasks::ActivitySubtasks(int subtasks, const Settings& settings) {
  const Settings all = WithDefaults(settings);
  // The library reads the proxy settings on the subtasks' threads: they stay set
  // until the subtasks have ended.
  settings_ = std::make_unique<ScopedSettings>(all);
  urls_ = std::make_unique<URLmanagement>(all);
  for (int i = 0; i < subtasks; ++i) ZEVP_CreateHTTPclientWorkTask();
}

ActivitySubtasks::~ActivitySubtasks() {
  urls_.reset();
  settings_.reset();
}

URLrequestEntry* ActivitySubtasks::entry(const std::string& url) {
  for (URLrequestEntry* listed : urls_->entries())
    if (url == listed->URL) return listed;
  return urls_->add(url);
}

PageCheck ActivitySubtasks::checkPage(const std::string& url) {
  PageCheck check;
  URLrequestEntry* page = entry(url);
  if (page == nullptr) return check;
  char* lent = static_cast<char*>(ZEV0_GetStorage(kCommonPageSize + 4));
  std::memset(lent, 0, kCommonPageSize + 4);
  BSV1_GetLock(&page->EntryLock);
  page->PageBuffer = lent;
  page->PageBufferSize = kCommonPageSize;
  page->PageLength = 0;
  page->ObjConfirmCount = 1;
  page->ObjRequestOutstanding = 0;
  BSV1_ReleaseLock(&page->EntryLock);
  BSV1_GetTime(&page->RequestStartTime);
  URLactivityTaskBlock* block = ZEVP_LocateFreeActivitySubtask();
  check.dispatched = ZEVP_DispatchActivitySubtask(block, page, page->URL, ZEVP_URL_PAGE_REQUEST, 1, 1, 1);
  // Once abandoned, the subtask leaves the buffer alone; the buffer it may have
  // grown is the entry's.
  BSV1_GetLock(&page->EntryLock);
  check.status = page->RequestStatus;
  check.httpCode = page->RequestDescription.HTTPcode;
  check.text.assign(page->RequestDescription.Text, static_cast<size_t>(page->RequestDescription.TextLength));
  check.pageLength = page->PageLength;
  check.page = page->PageBuffer != nullptr ? std::string(page->PageBuffer) : "";
  check.bufferReplaced = page->PageBuffer != lent;
  check.bufferSize = page->PageBufferSize;
  check.serverType.assign(page->ServerType, static_cast<size_t>(page->ServerTypeLength));
  check.http11 = page->HTTP11;
  check.noHTTP10retry = page->NoHTTP10retry;
  ZEV0_FreeStorage(&page->PageBuffer);
  page->PageBufferSize = 0;
  BSV1_ReleaseLock(&page->EntryLock);
  return check;
}

std::vector<URLactivityTaskBlock*> ActivitySubtasks::pool() {
  std::vector<URLactivityTaskBlock*> blocks;
  URLmanagementBlock* block = urls_->block();
  BSV1_GetLock(&block->SubtaskListLock);
  for (URLactivityTaskBlock* subtask = block->Subtasks; subtask != nullptr; subtask = subtask->next)
    blocks.push_back(subtask);
  BSV1_ReleaseLock(&block->SubtaskListLock);
  return blocks;
}

bool ActivitySubtasks::allFree(int waitMs) {
  return Eventually(
      [this] {
        for (URLactivityTaskBlock* subtask : pool())
          if (subtask->State.load() != ZEVP_SUBTASK_FREE) return false;
        return true;
      },
      waitMs);
}

RunningHTTPmanager::RunningHTTPmanager(DPAB* anchor) : anchor_(anchor) {
  EXPECT_EQ(ZEVP_CreateProcess(anchor, ZEV_DP_HTTP, nullptr, ZEVP_HTTPmanagerTask, 0, &entry_), 1);
  EXPECT_TRUE(Eventually([&] { return anchor->httpManagerEntry.load() != nullptr; }, 5000));
}

void RunningHTTPmanager::stop() {
  if (entry_ == nullptr) return;
  TellToEnd(entry_);
  entry_ = nullptr;
  EXPECT_TRUE(WaitForThreadCount(anchor_, 0));
}

void RunningHTTPmanager::wake() { ZEVP_WakeHTTPmanagerThread(anchor_); }

ScratchDirectory ConsoleCommandOnPath::directory_("zev_tzomesg");

void ConsoleCommandOnPath::SetUp() {
  std::string script = directory_.file("TZOMESG");
  std::ofstream(script) << "#!/bin/sh\necho \"$@\" >> '" << directory_.file("messages") << "'\n";
  chmod(script.c_str(), 0755);
  const char* path = getenv("PATH");
  setenv("PATH", (directory_.path() + ":" + (path != nullptr ? path : "/usr/bin:/bin")).c_str(), 1);
  unsetenv("ZEV_DMC");
  ZEV0_SetDPstartMode(1);
}

std::string ConsoleCommandOnPath::take() {
  std::string messages = directory_.read("messages");
  directory_.remove("messages");
  return messages;
}
