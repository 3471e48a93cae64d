// The road of a monitored file's lines to the agent: a FILE data provider in a
// process of its own, the agent's DCH server in its host program, and consumers
// in this process parked for the rows, the data-provider log and the sources'
// status.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "dch/dch_api.h"
#include "dch/dch_protocol.h"
#include "dch_road_fixture.h"
#include "file_provider_process.h"

namespace {

using Lines = std::vector<std::string>;

constexpr int kRowWaitMs = 5000;
// Each source's online request waits a second after it: the last of several
// sources comes that many seconds after the provider's start.
constexpr int kOnlineWaitMs = 12000;
constexpr int kQuietMs = 1300;  // more than a pass
constexpr unsigned kWatchdogSeconds = 60;

const char kOnline[] = "FILEAPP,LINES,localhost,4117";
const char kOffline[] = "FILEAPP,LINES,localhost,4133";

Lines EventGroup(const std::string& group, const std::string& file) {
  return {"//NAME " + group + " E 5", "//SOURCE FILE %DIR%" + file, "//ATTRIBUTES ';'", "Text D 64"};
}

Lines Metafile(const std::vector<Lines>& groups) {
  Lines lines = {"//APPL FileApp"};
  for (const Lines& group : groups) lines.insert(lines.end(), group.begin(), group.end());
  return lines;
}

std::string Numbered(int first, int last) {
  std::string text;
  for (int n = first; n <= last; ++n) text += "line " + std::to_string(n) + "\n";
  return text;
}

class FileInputRoadTest : public DCHroadTest {
 protected:
  // The row's values and control field; an empty list when no row came.
  static Lines NextRow(RowWaiter& rows, uint16_t* control = nullptr, int waitMs = kRowWaitMs) {
    std::string message = rows.next(waitMs);
    if (message.empty()) return {"<no row>"};
    Row row;
    EXPECT_TRUE(ReadRow(message, &row));
    if (control != nullptr) *control = row.controlField;
    return row.values;
  }

  // The first value of the next `count` rows.
  static Lines Texts(RowWaiter& rows, size_t count) {
    Lines texts;
    while (texts.size() < count) {
      Lines values = NextRow(rows);
      texts.push_back(values.empty() ? "<empty>" : values[0]);
      if (texts.back() == "<no row>") break;
    }
    return texts;
  }

  // The texts of the data-provider log rows that come until it is quiet.
  static Lines LogTexts(RowWaiter& log, int quietMs = kQuietMs) {
    Lines texts;
    for (std::string message = log.next(quietMs); !message.empty(); message = log.next(quietMs)) {
      Row row;
      if (ReadRow(message, &row) && row.values.size() > 4) texts.push_back(row.values[4]);
    }
    return texts;
  }

  // The texts of the data-provider log rows until each wanted part has been in one,
  // or the wait has passed: a busy machine may be slow with the first.
  static Lines LogTextsUntil(RowWaiter& log, const Lines& wanted, int waitMs = kOnlineWaitMs) {
    Lines texts;
    auto seen = [&] {
      return std::all_of(wanted.begin(), wanted.end(), [&](const std::string& part) { return Count(texts, part) > 0; });
    };
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (!seen() && std::chrono::steady_clock::now() < deadline) {
      std::string message = log.next(waitMs);
      Row row;
      if (ReadRow(message, &row) && row.values.size() > 4) texts.push_back(row.values[4]);
    }
    return texts;
  }

  // Waits for the notice among the status notices; false when it did not come.
  static bool Heard(StatusWaiter& status, const std::string& notice, int waitMs = kOnlineWaitMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (std::chrono::steady_clock::now() < deadline) {
      std::string heard = status.next(waitMs);
      if (heard == notice) return true;
      if (heard.empty()) return false;
    }
    return false;
  }

  static int Count(const Lines& texts, const std::string& part) {
    int count = 0;
    for (const std::string& text : texts) count += text.find(part) != std::string::npos ? 1 : 0;
    return count;
  }

  // A data provider takes some ten seconds to end in order (its shut-down looks at
  // its threads every five): the watchdog gives these tests more time.
  void SetUp() override {
    DCHroadTest::SetUp();
    alarm(kWatchdogSeconds);
  }

  void TearDown() override {
    if (provider_ != nullptr) {
      EXPECT_TRUE(provider_->stop()) << "the data provider did not end in order";
      EXPECT_EQ(provider_->errorText().find("Sanitizer"), std::string::npos) << provider_->errorText();
      if (HasFailure()) std::cerr << "The data provider's trace:\n" << provider_->traceText();
    }
    provider_.reset();
    DCHroadTest::TearDown();
  }

  FileProviderProcess& provider(const Lines& metafile) {
    provider_ = std::make_unique<FileProviderProcess>(port(), metafile);
    return *provider_;
  }

  // The consumers of one watched file's group, its log and the sources' status.
  struct Watched {
    StatusWaiter status;
    RowWaiter rows{"FILEAPP", "LINES"};
    RowWaiter log{"DVAGENT", "DPLOG"};
  };

  // Starts a provider that watches the file watched.log of this content, and waits
  // until its source is online; the log so far is dropped. The file's full name.
  std::string startWatching(Watched& watched, const std::string& content) {
    syncWithServer();
    FileProviderProcess& dp = provider(Metafile({EventGroup("Lines", "watched.log")}));
    std::string path = dp.files().write("watched.log", content);
    EXPECT_TRUE(dp.start());
    EXPECT_TRUE(Heard(watched.status, kOnline));
    LogTexts(watched.log, 300);
    return path;
  }

  std::unique_ptr<FileProviderProcess> provider_;
};

TEST_F(FileInputRoadTest, TailSendsExactlyTheAppendedLinesInOrder) {
  Watched watched;
  startWatching(watched, Numbered(1, 1000));
  FileProviderProcess& dp = *provider_;
  RowWaiter& rows = watched.rows;
  EXPECT_EQ(NextRow(rows, nullptr, kQuietMs), Lines{"<no row>"}) << "the lines it found are not sent";

  for (int n = 1001; n <= 1003; ++n) dp.files().append("watched.log", Numbered(n, n));
  EXPECT_EQ(Texts(rows, 3), (Lines{"line 1001", "line 1002", "line 1003"}));
  dp.files().append("watched.log", Numbered(1004, 1203));
  Lines burst;
  for (int n = 1004; n <= 1203; ++n) burst.push_back("line " + std::to_string(n));
  EXPECT_EQ(Texts(rows, burst.size()), burst);

  dp.files().append("watched.log", "written in");
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  dp.files().append("watched.log", " two parts\n");
  EXPECT_EQ(Texts(rows, 1), Lines{"written in two parts"});
  EXPECT_EQ(NextRow(rows, nullptr, kQuietMs), Lines{"<no row>"});
}

// Lines written by a writer that goes on while the file is copied and truncated.
class Writer {
 public:
  explicit Writer(const std::string& path) : path_(path), thread_([this] { run(); }) {}
  ~Writer() { stop(); }
  void stop() {
    running_ = false;
    if (thread_.joinable()) thread_.join();
  }
  // Truncates the file between two lines; the number of the first line after it.
  int truncate() {
    std::lock_guard<std::mutex> lock(mutex_);
    FILE* file = std::fopen(path_.c_str(), "w");
    if (file != nullptr) std::fclose(file);
    return next_;
  }
  int next() {
    std::lock_guard<std::mutex> lock(mutex_);
    return next_;
  }

 private:
  void run() {
    while (running_) {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        FILE* file = std::fopen(path_.c_str(), "a");
        if (file != nullptr) {
          std::fprintf(file, "line %d\n", next_++);
          std::fclose(file);
        }
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }

  std::string path_;
  std::mutex mutex_;
  int next_ = 1001;
  std::atomic<bool> running_{true};
  std::thread thread_;
};

int NumberOf(const std::string& text) { return text.compare(0, 5, "line ") == 0 ? std::stoi(text.substr(5)) : -1; }

TEST_F(FileInputRoadTest, CopyTruncateWhileTheWriterGoesOnRestartsOnceAndLosesNothingAfterIt) {
  Watched watched;
  std::string path = startWatching(watched, Numbered(1, 1000));
  Writer writer(path);
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  int firstAfter = writer.truncate();
  std::this_thread::sleep_for(std::chrono::milliseconds(2500));
  writer.stop();
  int last = writer.next() - 1;

  Lines received;
  for (Lines texts = Texts(watched.rows, 1); texts != Lines{"<no row>"}; texts = Texts(watched.rows, 1)) {
    received.push_back(texts[0]);
    if (NumberOf(texts[0]) == last) break;
  }
  std::vector<int> before;
  std::vector<int> after;
  for (const std::string& text : received) (NumberOf(text) < firstAfter ? before : after).push_back(NumberOf(text));
  std::vector<int> expected;
  for (int n = firstAfter; n <= last; ++n) expected.push_back(n);
  EXPECT_EQ(after, expected) << "every line written after the truncation, once and in order";
  EXPECT_TRUE(std::is_sorted(before.begin(), before.end()) &&
              std::adjacent_find(before.begin(), before.end()) == before.end());
  EXPECT_EQ(Count(LogTexts(watched.log), "switched or re-creation detected"), 1);
}

TEST_F(FileInputRoadTest, RenamedAndRecreatedFileIsReadFromItsFirstLine) {
  Watched watched;
  std::string path = startWatching(watched, Numbered(1, 50));
  ASSERT_EQ(std::rename(path.c_str(), (path + ".1").c_str()), 0);
  provider_->files().write("watched.log", "another first\nsecond\n");
  EXPECT_EQ(Texts(watched.rows, 2), (Lines{"another first", "second"}));
  Lines texts = LogTexts(watched.log);
  // Seen as replaced, or, when a pass fell between the two steps, as deleted and created.
  EXPECT_EQ(Count(texts, "switched or re-creation detected") + Count(texts, "no longer exists"), 1);
}

TEST_F(FileInputRoadTest, DeletedFileGoesOfflineAndComesBackWithItsFirstLine) {
  Watched watched;
  std::string path = startWatching(watched, Numbered(1, 50));
  provider_->files().remove("watched.log");
  EXPECT_TRUE(Heard(watched.status, kOffline));
  EXPECT_EQ(Count(LogTexts(watched.log), "File " + path + " deleted / no longer exists."), 1);
  provider_->files().write("watched.log", "new first\nnew second\n");
  EXPECT_TRUE(Heard(watched.status, kOnline));
  EXPECT_EQ(Texts(watched.rows, 2), (Lines{"new first", "new second"}));
}

// A file whose rows are routed to a second group, rotated (moved away, then written
// anew) twice: its routed source goes offline and online again with it each time,
// and the new file's lines are rows of both groups.
TEST_F(FileInputRoadTest, ARoutedFileRotatedTwiceFeedsBothGroupsAfterEachRotation) {
  StatusWaiter status;
  RowWaiter lines("FILEAPP", "LINES");
  RowWaiter split("FILEAPP", "SPLIT");
  syncWithServer();
  FileProviderProcess& dp =
      provider({"//APPL FileApp", "//NAME Lines E 5", "//INTERNAL OUTPUT route", "//SOURCE FILE %DIR%watched.log",
                "//ATTRIBUTES ';'", "Text D 64", "//NAME Split E 5", "//INTERNAL INPUT route", "//ATTRIBUTES ';'",
                "First D 16", "Second D 16"});
  std::string path = dp.files().write("watched.log", "found;0\n");
  ASSERT_TRUE(dp.start());
  ASSERT_TRUE(Heard(status, kOnline));
  dp.files().append("watched.log", "appended;0\n");
  EXPECT_EQ(NextRow(lines), Lines{"appended"});
  EXPECT_EQ(NextRow(split), (Lines{"appended", "0"}));
  for (int rotation = 1; rotation <= 2; ++rotation) {
    SCOPED_TRACE("rotation " + std::to_string(rotation));
    const std::string number = std::to_string(rotation);
    ASSERT_EQ(std::rename(path.c_str(), (path + "." + number).c_str()), 0);
    ASSERT_TRUE(Heard(status, kOffline));
    dp.files().write("watched.log", "rotated;" + number + "\n");
    ASSERT_TRUE(Heard(status, kOnline));
    EXPECT_EQ(NextRow(lines), Lines{"rotated"});
    EXPECT_EQ(NextRow(split), (Lines{"rotated", number}));
  }
}

TEST_F(FileInputRoadTest, FilesCreatedLateOrEmptyStartOnceTheyHoldALine) {
  RowWaiter late("FILEAPP", "LATE");
  RowWaiter empty("FILEAPP", "EMPTY");
  RowWaiter log("DVAGENT", "DPLOG");
  syncWithServer();
  FileProviderProcess& dp = provider(Metafile({EventGroup("Late", "late.log"), EventGroup("Empty", "empty.log")}));
  std::string latePath = dp.files().file("late.log");
  std::string emptyPath = dp.files().write("empty.log", "");
  ASSERT_TRUE(dp.start());
  const std::string lateNotice = "File " + latePath + " does not exist. Monitoring delayed for attribute group Late";
  const std::string emptyNotice = "File " + emptyPath + " contains no valid data record.";
  Lines texts = LogTextsUntil(log, {lateNotice, emptyNotice});
  Lines more = LogTexts(log, 300);
  texts.insert(texts.end(), more.begin(), more.end());
  EXPECT_EQ(Count(texts, lateNotice), 1);
  EXPECT_EQ(Count(texts, emptyNotice), 1);
  dp.files().write("late.log", "late 1\nlate 2\n");
  dp.files().append("empty.log", "at last\n");
  EXPECT_EQ(Texts(late, 2), (Lines{"late 1", "late 2"}));
  EXPECT_EQ(Texts(empty, 1), Lines{"at last"});
  EXPECT_EQ(Count(LogTexts(log), "does not exist"), 0) << "once only";
}

TEST_F(FileInputRoadTest, CopyPassesSendTheWholeFileAsOneSet) {
  StatusWaiter status;
  RowWaiter sets("FILEAPP", "SETS");
  RowWaiter single("FILEAPP", "SINGLE");
  RowWaiter cleared("FILEAPP", "CLEARED");
  syncWithServer();
  auto copyGroup = [](const std::string& group, const std::string& file, const std::string& option) {
    return Lines{"//NAME " + group + " P 2", "//SOURCE FILE %DIR%" + file + " " + option, "//ATTRIBUTES ';'",
                 "Text D 64"};
  };
  FileProviderProcess& dp = provider(Metafile({copyGroup("Sets", "sets.log", "COPY"),
                                               copyGroup("Single", "single.log", "COPY"),
                                               copyGroup("Cleared", "cleared.log", "COPY CLEAR")}));
  dp.files().write("sets.log", "r1\nr2\nr3\n");
  dp.files().write("single.log", "only\n");
  dp.files().write("cleared.log", "c1\nc2\n");
  ASSERT_TRUE(dp.start());
  ASSERT_TRUE(Heard(status, "FILEAPP,CLEARED,localhost,4117"));
  for (int pass = 0; pass < 2; ++pass) {
    SCOPED_TRACE(pass);
    std::vector<uint16_t> controls;
    Lines texts;
    for (int i = 0; i < 3; ++i) {
      uint16_t control = 0;
      Lines values = NextRow(sets, &control);
      controls.push_back(control);
      texts.push_back(values.empty() ? "<empty>" : values[0]);
    }
    EXPECT_EQ(controls, (std::vector<uint16_t>{1, 0, 16}));
    EXPECT_EQ(texts, (Lines{"r1", "r2", "r3"}));
    uint16_t control = 0;
    EXPECT_EQ(NextRow(single, &control), Lines{"only"});
    EXPECT_EQ(control, 17);
    // The empty row of 16 that closes the set clears the agent's row.
    EXPECT_EQ(NextRow(single, &control), Lines{std::string(4, ' ')});
    EXPECT_EQ(control, DCH_ClearedRow);
  }
  EXPECT_EQ(Texts(cleared, 2), (Lines{"c1", "c2"}));
  EXPECT_EQ(dp.files().read("cleared.log"), "");
  dp.files().append("cleared.log", "c3\n");
  EXPECT_EQ(Texts(cleared, 1), Lines{"c3"});
}

TEST_F(FileInputRoadTest, UnregisteredGroupIsReadWithoutAnyRequestToTheAgent) {
  StatusWaiter status;
  RowWaiter rows("FILEAPP", "LINES");
  RowWaiter hidden("FILEAPP", "~HIDDEN");
  syncWithServer();
  FileProviderProcess& dp =
      provider(Metafile({EventGroup("~Hidden", "hidden.log"), EventGroup("Lines", "watched.log")}));
  std::string hiddenPath = dp.files().write("hidden.log", "old\n");
  dp.files().write("watched.log", "old\n");
  ASSERT_TRUE(dp.start());
  ASSERT_TRUE(Heard(status, kOnline));
  dp.files().append("hidden.log", "secret\n");
  dp.files().append("watched.log", "shown\n");
  EXPECT_EQ(Texts(rows, 1), Lines{"shown"});
  EXPECT_EQ(NextRow(hidden, nullptr, kQuietMs), Lines{"<no row>"});
  std::string attributes = Text(dc_getApplAttributes, "FILEAPP");
  EXPECT_NE(attributes.find("LINES"), std::string::npos) << attributes;
  EXPECT_EQ(attributes.find("HIDDEN"), std::string::npos) << attributes;
  EXPECT_EQ(status.next(300), "") << "no notice of the unregistered group";
  Lines output = dp.output(300);
  EXPECT_EQ(Count(output, "Monitoring for file " + hiddenPath + " started."), 1) << "its file is read";
}

}  // namespace
