#include "atomic_situations_setting.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "atomic_situation_list.h"
#include "run_in_child.h"
#include "trace_capture.h"

// The column limit is read once per process: each case runs in a child with 64 columns.
namespace {

struct Listed {
  const char* name;
  int column;
};

struct SettingCase {
  const char* setting;
  std::vector<Listed> added;
  std::vector<std::string> traced;
};

void checkSetting(const SettingCase& c) {
  SCOPED_TRACE(c.setting);
  RunInChild([&] {
    unsetenv("WJD_MAXCOLS");
    TraceCapture capture("*=0xff");
    atomicSituationList list;
    EXPECT_EQ(addAtomicSituations(c.setting, &list), static_cast<int>(c.added.size()));
    EXPECT_EQ(list.getNumberOfElements(), static_cast<int>(c.added.size()));
    for (const Listed& listed : c.added) {
      atomicSituationEntry* entry = list.findEntry(listed.name);
      ASSERT_NE(entry, nullptr) << listed.name;
      EXPECT_EQ(entry->getColumnNumber(), listed.column) << listed.name;
    }
    std::string traced = capture.take();
    for (const std::string& line : c.traced) EXPECT_NE(traced.find(line), std::string::npos) << line << " in:\n" << traced;
  });
}

const std::string k34 = std::string(34, 'N');
const std::string k35 = std::string(35, 'N');

TEST(AtomicSituationsSettingTest, EntriesAreNameColonColumnWithAColumnBelowTheColumnLimit) {
  const std::string longNames = k35 + ":2," + k34 + ":3";
  const SettingCase cases[] = {
      {"SIT_A:3, SIT_B:70,SIT_C",
       {{"SIT_A", 3}},
       {"Atomic column number <3>", "Error: invalid column value <70> specified for atomic situation <SIT_B>",
        "Error: column number not specified for atomic situation <SIT_C>"}},
      {longNames.c_str(),
       {{k34.c_str(), 3}},
       {"Error: specified atomic situation name <" + k35 + "> is too long"}},
      {"::,:::SIT_D:5:6",
       {{"SIT_D", 5}},
       {"Error: invalid situation name:column number specification in <::>"}},
      {",,SIT_E:2,,", {{"SIT_E", 2}}, {}},
      {"SIT_F:", {}, {"Error: column number not specified for atomic situation <SIT_F>"}},
      {"Z0:0,Z1:-1,Z64:64,Z63:63",
       {{"Z63", 63}},
       {"Error: invalid column value <0> specified for atomic situation <Z0>",
        "Error: invalid column value <-1> specified for atomic situation <Z1>",
        "Error: invalid column value <64> specified for atomic situation <Z64>"}},
  };
  for (const SettingCase& c : cases) checkSetting(c);
}

// A value cut to the 2048-byte work area could change its last column number.
TEST(AtomicSituationsSettingTest, AValueBeyondTheWorkAreaIsRefusedWhole) {
  std::string fits = "SIT_G:5";
  fits.append(2047 - fits.size(), ',');
  checkSetting({fits.c_str(), {{"SIT_G", 5}}, {}});
  std::string over = fits + "1";
  checkSetting({over.c_str(), {}, {"does not fit its 2048-byte work area"}});
}

}  // namespace
