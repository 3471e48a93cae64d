// Which stored rows a situation's samples emit, as ZEVA_EMIT_DUP_REC chooses: the limit
// is read once per process, so each case runs in a child of its own.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "manual_clock.h"
#include "run_in_child.h"
#include "user_table_fixture.h"

namespace {

using Names = std::vector<std::string>;

// A row stored before the situation, one in its first second, one ten seconds later.
void ExpectSamples(const char* emitDuplicates, const Names& first, const Names& second) {
  RunInChild([&] {
    setenv("ZEVA_EMIT_DUP_REC", emitDuplicates, 1);
    ManualClock clock;
    UserTable table;
    auto rows = table.Online("host", {Row("old", 1, 1)});
    clock.advance(10);
    uint32_t situation = table.Open(table.Spec({"host:MYAPP00"}, 1, "SIT"));
    UserTable::Add(*rows, Row("new", 1, 2));
    EXPECT_EQ(NamesOf(table.Sample(situation)), first);
    clock.advance(10);
    UserTable::Add(*rows, Row("newer", 1, 3));
    EXPECT_EQ(NamesOf(table.Sample(situation)), second);
  });
}

TEST(SampleBaselineTest, WithDuplicatesTheFirstSampleStartsAtTheRequestAndLaterOnesEmitEveryRow) {
  ExpectSamples("1", Names{"new"}, (Names{"old", "new", "newer"}));
}

TEST(SampleBaselineTest, WithoutDuplicatesTheFirstSampleEmitsEveryRowAndLaterOnesStartAtTheLastEmission) {
  ExpectSamples("0", (Names{"old", "new"}), (Names{"new", "newer"}));
}

}  // namespace
