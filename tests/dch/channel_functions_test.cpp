// The channel library's plain functions: subnode names, checksum, help texts, locks,
// the transport choice and the verbosity switch.
#include <gtest/gtest.h>
#include <pthread.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "dch/channel_functions.h"
#include "trace_capture.h"

namespace {

void setOrUnset(const char* name, const char* value) {
  if (value != nullptr)
    setenv(name, value, 1);
  else
    unsetenv(name);
}

// Once-only process state is read in a fresh process: a death test re-runs the test
// program for the statement, and the statement's exit status carries the result.
class FreshProcessTest : public ::testing::Test {
 protected:
  void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

// ---------------------------------------------------------------- subnode names

struct SubnodeCase {
  const char* label;
  std::string source, appl, group, rr;
  std::string subnodeName;  // empty: result 1, nothing written
};

TEST(SubnodeNameTest, BuildsAndCutsTheSourceName) {
  const std::string appl20(20, 'A');
  const SubnodeCase cases[] = {
      {"short names, no cut", "host1", "APPL", "GROUP", "00", "host1:APPL00"},
      {"32 + 20 + 3 = 55: source cut by 23 to 9", std::string(32, 's'), appl20, "G", "00",
       std::string(9, 's') + ":" + appl20 + "00"},
      {"one RR character still reserves two", std::string(30, 's'), "APPL", "G", "0",
       std::string(25, 's') + ":APPL0"},
      {"source longer than 32", std::string(33, 's'), "APPL", "G", "00", ""},
      {"source far beyond the work copy", std::string(100, 's'), "APPL", "G", "00", ""},
      {"application longer than 20", "host1", std::string(21, 'A'), "G", "00", ""},
      {"attribute group longer than 32", "host1", "APPL", std::string(33, 'G'), "00", ""},
      {"RR longer than 2", "host1", "APPL", "G", "000", ""},
  };
  for (const SubnodeCase& c : cases) {
    SCOPED_TRACE(c.label);
    char subnodeName[33];
    memset(subnodeName, '#', sizeof subnodeName);
    int rc = ZEVA_SetSubnodeName(c.appl.c_str(), c.group.c_str(), c.source.c_str(), c.rr.c_str(), subnodeName,
                                 nullptr);
    if (c.subnodeName.empty()) {
      EXPECT_EQ(rc, 1);
      EXPECT_EQ(subnodeName[0], '#');
    } else {
      EXPECT_EQ(rc, 0);
      EXPECT_EQ(subnodeName, c.subnodeName);
    }
  }
}

TEST(SubnodeNameTest, UntouchedNameKeepsEverythingOrRefusesBoth) {
  char subnodeName[33];
  char untouched[70];
  ASSERT_EQ(ZEVA_SetSubnodeName("APPL", "GROUP", "host1", "00", subnodeName, untouched), 0);
  EXPECT_STREQ(untouched, "host1:APPLGROUP00");
  EXPECT_STREQ(subnodeName, "host1:APPL00");

  // 32 + 20 + 32 + 2 (+ 2) exceeds 69: neither name is written.
  std::string source(32, 's'), appl(20, 'A'), group(32, 'G');
  memset(subnodeName, '#', sizeof subnodeName);
  memset(untouched, '#', sizeof untouched);
  TraceCapture capture;
  EXPECT_EQ(ZEVA_SetSubnodeName(appl.c_str(), group.c_str(), source.c_str(), "00", subnodeName, untouched), 1);
  EXPECT_TRUE(capture.contains("Error: Length ([32] + [20] +[32] +[2])"));
  EXPECT_EQ(subnodeName[0], '#');
  EXPECT_EQ(untouched[0], '#');
  // Without the untouched buffer the same names make a subnode name.
  EXPECT_EQ(ZEVA_SetSubnodeName(appl.c_str(), group.c_str(), source.c_str(), "00", subnodeName, nullptr), 0);
  EXPECT_EQ(strlen(subnodeName), 32u);
}

TEST(SubnodeNameTest, MissingNamesAreRefused) {
  char subnodeName[33];
  EXPECT_EQ(ZEVA_SetSubnodeName(nullptr, "G", "host1", "00", subnodeName, nullptr), 1);
  EXPECT_EQ(ZEVA_SetSubnodeName("APPL", nullptr, "host1", "00", subnodeName, nullptr), 1);
  EXPECT_EQ(ZEVA_SetSubnodeName("APPL", "G", nullptr, "00", subnodeName, nullptr), 1);
  EXPECT_EQ(ZEVA_SetSubnodeName("APPL", "G", "host1", nullptr, subnodeName, nullptr), 1);
  EXPECT_EQ(ZEVA_SetSubnodeName("APPL", "G", "host1", "00", nullptr, nullptr), 1);
}

struct ParseCase {
  const char* label;
  const char* subnodeName;
  const char* sourceName;  // null: no source name
  const char* applKey;     // null: result 1
};

TEST(SubnodeNameTest, SplitsIntoSourceNameAndApplicationKey) {
  const std::string longSource = std::string(33, 's') + ":APPL00";
  const std::string over70 = "host1:" + std::string(65, 'A');
  const std::string over32 = "host1:" + std::string(27, 'A');
  const ParseCase cases[] = {
      {"ordinary", "host1:APPL00", "host1", "APP"},
      {"leading colons skipped", "::host1:APPL00", "host1", "APP"},
      {"short application part", "host1:AB", "host1", "AB"},
      {"untouched name", "host1:APPLGROUP00", "host1", "APP"},
      {"no colon", "host1", nullptr, nullptr},
      {"nothing but colons", ":::", nullptr, nullptr},
      {"nothing after the source", "host1:", "host1", nullptr},
      {"source part longer than 32", longSource.c_str(), nullptr, nullptr},
      {"name longer than 70", over70.c_str(), nullptr, nullptr},
      {"name longer than 32 has no key", over32.c_str(), "host1", nullptr},
  };
  for (const ParseCase& c : cases) {
    SCOPED_TRACE(c.label);
    const char* source = ZEVA_GetSrcNameFromSubNodeName(c.subnodeName);
    if (c.sourceName == nullptr)
      EXPECT_EQ(source, nullptr);
    else
      EXPECT_STREQ(source, c.sourceName);
    char applKey[4] = "###";
    int rc = ZEVA_GetApplKeyFromSubNodeName(c.subnodeName, applKey);
    if (c.applKey == nullptr) {
      EXPECT_EQ(rc, 1);
    } else {
      EXPECT_EQ(rc, 0);
      EXPECT_STREQ(applKey, c.applKey);
    }
  }
}

TEST(SubnodeNameTest, ParsingErrorsAreTraced) {
  TraceCapture capture;
  char applKey[4];
  EXPECT_EQ(ZEVA_GetSrcNameFromSubNodeName(nullptr), nullptr);
  EXPECT_EQ(ZEVA_GetApplKeyFromSubNodeName(nullptr, applKey), 1);
  EXPECT_EQ(ZEVA_GetApplKeyFromSubNodeName("host1:APPL00", nullptr), 1);
  EXPECT_EQ(capture.count("Error: subnodeName was NULL."), 3);
  ZEVA_GetSrcNameFromSubNodeName("host1");
  EXPECT_TRUE(capture.contains("Error: could not determine sourceName from<host1>"));
  ZEVA_GetApplKeyFromSubNodeName("host1", applKey);
  EXPECT_TRUE(capture.contains("Error: could not determine sourceName from[host1]"));
  ZEVA_GetSrcNameFromSubNodeName(":::");
  EXPECT_TRUE(capture.contains("Error: could not find ':' token in <:::>"));
  ZEVA_GetApplKeyFromSubNodeName("host1:", applKey);
  EXPECT_TRUE(capture.contains("Error: parsing [host1:]"));
}

TEST(SubnodeNameTest, SourceNameLivesInOneBufferForAllCalls) {
  char* first = ZEVA_GetSrcNameFromSubNodeName("first:APPL00");
  char* second = ZEVA_GetSrcNameFromSubNodeName("second:APPL00");
  EXPECT_EQ(first, second);
  EXPECT_STREQ(first, "second");
}

// ---------------------------------------------------------------- checksum and help texts

TEST(AttrGroupChecksumTest, DecimalTextOfTheSixteenBitChecksum) {
  EXPECT_STREQ(ZEVA_ComputeChecksumOnAttrGroup("abc"), "31225");
  EXPECT_STREQ(ZEVA_ComputeChecksumOnAttrGroup(""), "65535");
  // One static buffer, overwritten by the next call.
  EXPECT_EQ(ZEVA_ComputeChecksumOnAttrGroup("abc"), ZEVA_ComputeChecksumOnAttrGroup(""));
}

TEST(HelpTextTest, SeparatorsAndQuotesBecomeBlanks) {
  char text[] = "a,b:c;d'e\"f g";
  ZEVA_validateHelpText(text);
  EXPECT_STREQ(text, "a b c d e f g");
  ZEVA_validateHelpText(nullptr);
}

// ---------------------------------------------------------------- locks

TEST(LockTest, PlainMutexLocksAndUnlocks) {
  pthread_mutex_t mutex = PTHREAD_MUTEX_INITIALIZER;
  EXPECT_EQ(ZEVA_GetLock(&mutex, nullptr), 0);
  EXPECT_EQ(pthread_mutex_trylock(&mutex), EBUSY);
  EXPECT_EQ(ZEVA_ReleaseLock(&mutex, nullptr), 0);
  EXPECT_EQ(pthread_mutex_trylock(&mutex), 0);
  pthread_mutex_unlock(&mutex);
}

// pthread calls leave errno alone: a failure must not come back as 0.
TEST(LockTest, FailureIsReportedNonZeroWithTheTag) {
  pthread_mutexattr_t attributes;
  pthread_mutexattr_init(&attributes);
  pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_ERRORCHECK);
  pthread_mutex_t mutex;
  pthread_mutex_init(&mutex, &attributes);
  pthread_mutexattr_destroy(&attributes);
  TraceCapture capture;
  int tag = 0;

  errno = 0;
  EXPECT_EQ(ZEVA_ReleaseLock(&mutex, &tag), EPERM);
  EXPECT_TRUE(capture.contains("Error: pthread_mutex_unlock failed, rc=" + std::to_string(EPERM)));
  ASSERT_EQ(ZEVA_GetLock(&mutex, &tag), 0);
  errno = 0;
  EXPECT_EQ(ZEVA_GetLock(&mutex, &tag), EDEADLK);
  char tagText[32];
  snprintf(tagText, sizeof tagText, "[@%p]", static_cast<void*>(&tag));
  EXPECT_TRUE(capture.contains("Error: pthread_mutex_lock failed, rc=" + std::to_string(EDEADLK)));
  EXPECT_TRUE(capture.contains(tagText));
  EXPECT_EQ(ZEVA_ReleaseLock(&mutex, &tag), 0);
  pthread_mutex_destroy(&mutex);
}

TEST(LockTest, EnvironmentLockIsReadyWithoutInitialisation) {
  pthread_mutex_t* lock = ZEVA_GetEnvVarsInitLock();
  ASSERT_NE(lock, nullptr);
  EXPECT_EQ(lock, ZEVA_GetEnvVarsInitLock());
  EXPECT_EQ(ZEVA_GetLock(lock, nullptr), 0);
  EXPECT_EQ(ZEVA_ReleaseLock(lock, nullptr), 0);
}

// 0 when both wrappers traced their entry and exit, whatever the trace classes.
int verboseLockTraceStatus() {
  setenv("ZEVA_VERBOSE", "Y", 1);
  pthread_mutex_t mutex = PTHREAD_MUTEX_INITIALIZER;
  TraceCapture capture("*=0");
  bool locked = ZEVA_GetLock(&mutex, nullptr) == 0 && ZEVA_ReleaseLock(&mutex, nullptr) == 0;
  return locked && capture.count("<<Entry>>") == 2 && capture.count("<<Exit: 0>>") == 2 ? 0 : 1;
}

TEST_F(FreshProcessTest, VerboseLocksTraceEntryAndExit) {
  EXPECT_EXIT(_exit(verboseLockTraceStatus()), ::testing::ExitedWithCode(0), "");
}

TEST(LockTest, QuietLocksTraceNothingExtra) {
  // This test program leaves ZEVA_VERBOSE unset.
  ASSERT_EQ(getenv("ZEVA_VERBOSE"), nullptr);
  pthread_mutex_t mutex = PTHREAD_MUTEX_INITIALIZER;
  TraceCapture capture;
  ZEVA_GetLock(&mutex, nullptr);
  ZEVA_ReleaseLock(&mutex, nullptr);
  EXPECT_FALSE(capture.contains("<<Entry>>"));
}

// ---------------------------------------------------------------- once-only settings

struct SettingCase {
  const char* value;  // null: unset
  int expected;
};

int verbosityWith(const char* value) {
  setOrUnset("ZEVA_VERBOSE", value);
  return DV_Debug();
}

// 0 when a change of ZEVA_VERBOSE after the first call is not seen.
int verbosityReadOnceStatus() {
  setenv("ZEVA_VERBOSE", "Y", 1);
  int first = DV_Debug();
  setenv("ZEVA_VERBOSE", "D", 1);
  return first == 1 && DV_Debug() == 1 && DV_Debug_Initialize() == 'Y' ? 0 : 1;
}

int ipcTypeWith(const char* value) {
  setOrUnset("ZEVA_DCH_IPCTYPE", value);
  return ZEVA_GetIPCtype();
}

// 0 when the type is read again only after it read as 0.
int ipcTypeRereadStatus(const char* first, int firstType) {
  setenv("ZEVA_DCH_IPCTYPE", first, 1);
  int got = ZEVA_GetIPCtype();
  setenv("ZEVA_DCH_IPCTYPE", "2", 1);
  int expectedSecond = firstType == 0 ? 2 : firstType;
  return got == firstType && ZEVA_GetIPCtype() == expectedSecond ? 0 : 1;
}

TEST_F(FreshProcessTest, VerbosityFromFirstUpperCaseCharacter) {
  const SettingCase cases[] = {{nullptr, 0}, {"Yes", 1}, {"D", 2}, {"y", 0}, {"d", 0}, {"N", 0}, {"", 0}};
  for (const SettingCase& c : cases) {
    SCOPED_TRACE(c.value != nullptr ? c.value : "(unset)");
    EXPECT_EXIT(_exit(verbosityWith(c.value)), ::testing::ExitedWithCode(c.expected), "");
  }
}

TEST_F(FreshProcessTest, VerbosityIsReadOnce) {
  EXPECT_EXIT(_exit(verbosityReadOnceStatus()), ::testing::ExitedWithCode(0), "");
  EXPECT_EXIT((unsetenv("ZEVA_VERBOSE"), _exit(DV_Debug_Initialize())), ::testing::ExitedWithCode('N'), "");
}

TEST_F(FreshProcessTest, TransportTypeFromEnvironment) {
  const SettingCase cases[] = {{nullptr, 1}, {"1", 1}, {"2", 2}, {"3", 3}};
  for (const SettingCase& c : cases) {
    SCOPED_TRACE(c.value != nullptr ? c.value : "(unset)");
    EXPECT_EXIT(_exit(ipcTypeWith(c.value)), ::testing::ExitedWithCode(c.expected), "");
  }
}

TEST_F(FreshProcessTest, TransportTypeIsKeptUnlessItReadAsZero) {
  EXPECT_EXIT(_exit(ipcTypeRereadStatus("1", 1)), ::testing::ExitedWithCode(0), "");
  EXPECT_EXIT(_exit(ipcTypeRereadStatus("none", 0)), ::testing::ExitedWithCode(0), "");
}

}  // namespace
