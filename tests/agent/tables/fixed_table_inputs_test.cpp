// What the fixed tables take from a request's predicates: the remote-file table's node
// and the action table's alert values, with what each refuses.
#include "fixed_table_inputs.h"

#include <gtest/gtest.h>

#include <string>

#include "trace_capture.h"

namespace {

TEST(FixedTableInputsTest, ARemoteFileNodeNamesASourceAnApplicationAndARelease) {
  const struct {
    std::string node;
    bool taken;
    const char* source;
    const char* key;
    const char* suffix;
    const char* trace;
  } cases[] = {
      {"srcA:MYAPP00", true, "srcA", "MYAPP", "00", nullptr},
      {"host:ABCDEFGHIJKLMNOPQ01", true, "host", "ABCDEFGHIJKLM", "01", nullptr},  // the key cut to 13
      {"host:00", true, "host", "", "00", nullptr},
      {"a:b:APP03", true, "a", "b:APP", "03", nullptr},
      {":MYAPP00", false, "", "", "", "Error: sourceName was NULL."},
      {"srcA", false, "", "", "", "Error: applKey_tableName_RR was NULL."},
      {"srcA:0", false, "", "", "", "Error: applKey_tableName_RR was NULL."},
      {"host:../x00", false, "", "", "", "Error: applKey_tableName_RR was NULL."},
      {"host:APP0/", false, "", "", "", "Error: applKey_tableName_RR was NULL."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.node);
    TraceCapture trace("*=0x80");
    remoteFileNode split;
    ASSERT_EQ(SplitRemoteFileNode(c.node, &split), c.taken);
    if (c.taken) {
      EXPECT_EQ(split.sourceName, c.source);
      EXPECT_EQ(split.key, c.key);
      EXPECT_EQ(split.suffix, c.suffix);
      EXPECT_EQ(trace.take(), "");
    } else {
      EXPECT_TRUE(trace.contains(c.trace)) << trace.take();
    }
  }
}

TEST(FixedTableInputsTest, AnAlertCarriesItsOriginNodeAndAttributeListInItsFields) {
  const struct {
    std::string attrvals;
    bool taken;
    std::string originNode;
    std::string attributeList;
    const char* trace;
  } cases[] = {
      {"a;b;c;_SITNODE=host:APP00;_ATTRPREF=Count=7~", true, "host:APP00", "Count=7", nullptr},
      {"a;;b;c;_SITNODE=n;_ATTRPREF=x~tail", true, "n", "x", nullptr},  // empty fields do not count
      {"a;b;c;_SITNODE;_ATTRPREF~", true, "", "", nullptr},             // nothing past a field's end
      {"a;b;c;_SITNODE=" + std::string(70, 'n') + ";_ATTRPREF=l~", true, std::string(64, 'n'), "l", nullptr},
      {"a;b;c", false, "", "", "Error: predicate could not be determined <a;b;c>"},
      {"a;b;c;_SITNODE=n;_ATTRPREF=l", false, "", "", "Error: could not find terminator in <_ATTRPREF=l>"},
      {"a;b;c;_SITNODE=n~", false, "", "", "Error: could not find terminator in <>"},
      {"a;b;c;d;_ATTRPREF=l~", false, "", "", "Error: could not find _SITNODE in <d>"},
      {"a;b;c;_SITNODE=n;list~", false, "", "", "Error: could not find _ATTRPREF in <list>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.attrvals);
    TraceCapture trace("*=0x80");
    alertValues alert;
    ASSERT_EQ(ParseAlertValues(c.attrvals, &alert), c.taken);
    if (c.taken) {
      EXPECT_EQ(alert.originNode, c.originNode);
      EXPECT_EQ(alert.attributeList, c.attributeList);
    } else {
      EXPECT_TRUE(trace.contains(c.trace)) << trace.take();
    }
  }
}

}  // namespace
