// The keyword parameters of the SNMP worker's actions, the AGENTINFO= list and the
// value field a SET sends, as tables of cases.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "action_entry.h"
#include "attribute_entry.h"
#include "bare_anchor.h"
#include "snmp_action_parameters.h"
#include "snmp_set_request.h"

namespace {

using zevp::AgentInfoEntry;

std::string Shown(const std::optional<std::string>& value) { return value ? "<" + *value + ">" : "none"; }

TEST(SnmpActionParametersTest, KeywordWordsEndAtTheNextBlank) {
  struct Case {
    const char* text;
    const char* keyword;
    const char* word;
    const char* afterBlanks;
  } cases[] = {
      {"APPLNAME=MIB2 ATTRGROUP=IFTABLE", "APPLNAME=", "<MIB2>", "<MIB2>"},
      {"APPLNAME=MIB2 ATTRGROUP=IFTABLE", "ATTRGROUP=", "<IFTABLE>", "<IFTABLE>"},
      {"ATTRGROUP= APPLNAME=MIB2", "ATTRGROUP=", "<>", "none"},  // empty: the next keyword follows
      {"NETADDR=   host1 VALUE=x", "NETADDR=", "<>", "<host1>"},
      {"COMMUNITY= VALUE=two words", "COMMUNITY=", "<>", "none"},
      {"APPLNAME=MIB2", "INTERVAL=", "none", "none"},
      {"INTERVAL=60", "INTERVAL=", "<60>", "<60>"},
      {"", "APPLNAME=", "none", "none"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text) + " " + c.keyword);
    EXPECT_EQ(Shown(zevp::KeywordWord(c.text, c.keyword)), c.word);
    EXPECT_EQ(Shown(zevp::KeywordWordAfterBlanks(c.text, c.keyword)), c.afterBlanks);
  }
  EXPECT_EQ(Shown(zevp::KeywordWord(nullptr, "APPLNAME=")), "none");
}

TEST(SnmpActionParametersTest, TheSetValueRunsToTheBlankBeforeTheNextKeyword) {
  struct Case {
    const char* text;
    const char* value;
    bool later;
  } cases[] = {
      {"NETADDR=10.77.0.1 VALUE=two words ATTR=sysContact", "<two words>", true},
      {"VALUE=  spaced   out  ", "<spaced   out>", false},
      {"VALUE= ATTR=sysContact", "<>", true},
      {"ATTR=sysContact VALUE=", "<>", false},
      {"VALUE=last words", "<last words>", false},
      {"VALUE=a=b", "<>", true},  // the '=' is taken for the next keyword
      {"ATTR=sysContact", "none", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    bool later = !c.later;
    EXPECT_EQ(Shown(zevp::SetValueText(c.text, &later)), c.value);
    EXPECT_EQ(later, c.later);
  }
}

std::string Listed(const std::vector<AgentInfoEntry>& entries) {
  std::string text;
  for (const AgentInfoEntry& entry : entries) text += "[" + entry.name + "|" + entry.community + "]";
  return text;
}

TEST(SnmpActionParametersTest, AgentInfoListsGiveNamesAndCommunities) {
  struct Case {
    const char* text;
    bool parsed;
    const char* entries;
  } cases[] = {
      {"AGENTINFO=( {192.168.5 private}, host1 ) INTERVAL=30", true, "[192.168.5|private][host1|]"},
      {"AGENTINFO=( 10.77.0.1 )", true, "[10.77.0.1|]"},
      {"AGENTINFO=({ host2   pub }, {host3}, { host4 })", true, "[host2|pub][host3|][host4|]"},
      {"AGENTINFO=( host1, ), host2 )", true, "[host1|]"},  // an entry beginning with ')' ends the list
      {"AGENTINFO=( host1, , host2", true, "[host1|][host2|]"},  // no ')': to the end; empty entries skipped
      {"AGENTINFO=( host1 extra, host2 )", true, "[host1|][host2|]"},
      {"AGENTINFO=host1", false, ""},
      {"AGENTINFO=( )", true, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::vector<AgentInfoEntry> entries;
    EXPECT_EQ(zevp::ParseAgentInfoList(c.text, &entries), c.parsed);
    EXPECT_EQ(Listed(entries), c.entries);
  }
}

std::string Hex(const std::string& bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string hex;
  for (unsigned char byte : bytes) {
    hex += digits[byte >> 4];
    hex += digits[byte & 0xF];
  }
  return hex;
}

TEST(SnmpActionParametersTest, SetValuesAreEncodedByTheAttributeType) {
  struct Case {
    char type;
    std::string value;
    int text;
    std::string field;
  } cases[] = {
      {'G', "5", 0, "020105"},
      {'C', "40000", 0, "0203009C40"},
      {'G', "2147483647", 0, "02047FFFFFFF"},
      {'G', "2147483648", 34, ""},  // above the signed INTEGER: out of range, not a negative number
      {'C', "99999999999999999999", 34, ""},
      {'C', "-5", 30, ""},
      {'G', "", 30, ""},
      {'G', "12a", 30, ""},
      {'D', "two words", 0, "0409" + Hex("two words")},
      {'D', "", 0, "0400"},
      {'D', std::string(200, 'x'), 0, "048200C8" + Hex(std::string(200, 'x'))},
      {'T', "x", 29, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(1, c.type) + " " + c.value.substr(0, 20));
    std::string field;
    EXPECT_EQ(zevp::EncodeSetValue(c.type, c.value, &field), c.text);
    if (c.text == 0) {
      EXPECT_EQ(Hex(field), c.field);
    }
  }
}

TEST(SnmpActionParametersTest, AgentErrorStatusesMapToTheirSetTexts) {
  const int expected[] = {36, 32, 33, 34, 35, 36, 36};
  for (int status = 0; status <= 6; ++status) EXPECT_EQ(zevp::SetErrorStatusText(status), expected[status]) << status;
}

// The agent never answers here: a value too long for a request is refused before
// anything is sent.
TEST(SnmpSetRequestTest, AValueLongerThanARequestHoldsIsRefusedUnsent) {
  BareAnchor anchor;
  ActionEntry* action = ZEVP_AllocateActionEntry(anchor.get());
  ASSERT_NE(action, nullptr);
  const std::string parameters = "NETADDR=127.0.0.1 VALUE=" + std::string(1700, 'v') + " ATTR=sysContact";
  action->ActionParm = ZEVP_CopyActionText(parameters.c_str(), static_cast<uint32_t>(parameters.size()));
  std::vector<char> storage(static_cast<size_t>(ZEVP_AttributeEntrySize(64)), 0);
  auto* attribute = reinterpret_cast<AttributeEntry*>(storage.data());
  attribute->AttrType = 'D';
  attribute->MaxValSize = 64;
  char oid[] = {0x06, 0x08, 0x2B, 0x06, 0x01, 0x02, 0x01, 0x01, 0x04, 0x00};
  attribute->AttrOID = oid;
  attribute->AttrOIDlength = sizeof oid;
  ZEVP_DoSNMPsetRequest(action, attribute);
  EXPECT_EQ(action->ActionStatus, 9);
  EXPECT_STREQ(action->ActionResult, "Set value invalid");
  ZEVP_ReleaseActionEntry(anchor.get(), action);
}

}  // namespace
