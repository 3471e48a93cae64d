// Action entries: the reuse chain on the anchor, the reset, the duplicate rule, the
// start action look-up and the result texts.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "action_entry.h"
#include "bare_anchor.h"
#include "network_manage_entry.h"
#include "zev/action_codes.h"
#include "zev0/storage.h"

namespace {

char* Text(const char* text) { return ZEVP_CopyActionText(text, static_cast<uint32_t>(std::strlen(text))); }

// An entry in use carrying an action, filled as the DCH receive task fills one.
ActionEntry* Action(DPAB* anchor, int32_t type, const char* node, const char* owner, const char* name,
                    const char* parms, uint32_t id = 7) {
  ActionEntry* entry = ZEVP_AllocateActionEntry(anchor);
  entry->ActionType = type;
  entry->ActionSourceNode = node != nullptr ? Text(node) : nullptr;
  entry->ActionOwner = Text(owner);
  entry->ActionName = Text(name);
  entry->ActionParm = parms != nullptr ? Text(parms) : nullptr;
  entry->ActionID = id;
  entry->FieldCount = ZEVP_ACTION_FIELDS_REQUIRED;
  return entry;
}

TEST(ActionEntryTest, ANewEntryIsAppendedAndReleasedOnesAreReusedInChainOrder) {
  BareAnchor anchor;
  ActionEntry* first = ZEVP_AllocateActionEntry(anchor.get());
  ActionEntry* second = ZEVP_AllocateActionEntry(anchor.get());
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, first) << "the first is in use";
  EXPECT_EQ(anchor->actionEntries, first);
  EXPECT_EQ(first->NextEntry, second);
  EXPECT_EQ(first->EyeCatcher, 'A');
  EXPECT_EQ(first->ActionType, ZEV_ACTION_AUTOMATION);
  EXPECT_EQ(first->ActionStatus, ZEV_ACTION_STATUS_UNKNOWN);
  EXPECT_EQ(first->SnmpWord, 0) << "0 when made";

  ZEVP_ReleaseActionEntry(anchor.get(), second);
  ZEVP_ReleaseActionEntry(anchor.get(), first);
  EXPECT_EQ(ZEVP_AllocateActionEntry(anchor.get()), first);
  EXPECT_EQ(ZEVP_AllocateActionEntry(anchor.get()), second);
  EXPECT_EQ(second->NextEntry, nullptr) << "no third entry was made";
}

TEST(ActionEntryTest, AResetEntryCarriesNothingOfItsLastAction) {
  BareAnchor anchor;
  ActionEntry* entry = Action(anchor.get(), ZEV_ACTION_SNMP, "host:APPGRP00", "SNMP Control", "SNMPMANAGE", "x", 42);
  entry->ActionStatus = 13;
  entry->ActionResult = Text("result");
  entry->ResultLength = 6;
  entry->RequestText = Text("42 REQ(x)");
  entry->RemoteState = ZEVP_REMOTE_COMPLETED;
  entry->RequestTime = entry->CompletionTime = 99;
  entry->SnmpRequest = 1;
  entry->WorkState = ZEVP_ACTION_FINISHED;
  // A network request never queued: the reset frees it (the leak checker sees it otherwise).
  entry->NetworkManage = static_cast<NetworkManageEntry*>(ZEV0_GetStorage(sizeof(NetworkManageEntry)));

  ZEVP_ReleaseActionEntry(anchor.get(), entry);
  EXPECT_EQ(entry->InUse, 0);
  for (char* text : {entry->ActionSourceNode, entry->ActionOwner, entry->ActionName, entry->ActionParm,
                     entry->ActionResult, entry->RequestText})
    EXPECT_EQ(text, nullptr);
  EXPECT_EQ(entry->NetworkManage, nullptr);
  EXPECT_EQ(entry->SnmpRequest, 0);
  EXPECT_EQ(entry->SnmpWord, 0x7FFFFFFF);
  EXPECT_EQ(entry->ActionType, ZEV_ACTION_AUTOMATION);
  EXPECT_EQ(entry->ActionStatus, ZEV_ACTION_STATUS_UNKNOWN);
  EXPECT_EQ(entry->ActionID, 0u);
  EXPECT_EQ(entry->ResultLength, 0);
  EXPECT_EQ(entry->RemoteState, ZEVP_REMOTE_NONE);
  EXPECT_EQ(entry->RequestTime, 0);
  EXPECT_EQ(entry->CompletionTime, 0);

  ActionEntry* reused = ZEVP_AllocateActionEntry(anchor.get());
  EXPECT_EQ(reused, entry);
  EXPECT_EQ(reused->WorkState, ZEVP_ACTION_NEW);
  EXPECT_EQ(reused->SnmpWord, 0x7FFFFFFF) << "a reused entry keeps the values of its reset";
}

TEST(ActionEntryTest, OnlyAnActiveRuleOfTheSameNodeOwnerNameAndParametersIsADuplicate) {
  struct Case {
    const char* what;
    int32_t activeType;
    const char* activeParms;
    int32_t newType;
    const char* newParms;
    const char* newOwner;
    int duplicate;
  };
  const Case cases[] = {
      {"rule, equal parameters", ZEV_ACTION_RULE, "A=1", ZEV_ACTION_RULE, "A=1", "Sit", 1},
      {"rule, neither with parameters", ZEV_ACTION_RULE, nullptr, ZEV_ACTION_RULE, nullptr, "Sit", 1},
      {"rule, other parameters", ZEV_ACTION_RULE, "A=1", ZEV_ACTION_RULE, "A=2", "Sit", 0},
      {"rule, one without parameters", ZEV_ACTION_RULE, "A=1", ZEV_ACTION_RULE, nullptr, "Sit", 0},
      {"rule, other owner", ZEV_ACTION_RULE, "A=1", ZEV_ACTION_RULE, "A=1", "Other", 0},
      {"situation or policy actions are all performed", ZEV_ACTION_AUTOMATION, "A=1", ZEV_ACTION_AUTOMATION, "A=1",
       "Sit", 0},
      {"an active SNMP action makes no later one a duplicate", ZEV_ACTION_SNMP, "A=1", ZEV_ACTION_SNMP, "A=1", "Sit",
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BareAnchor anchor;
    Action(anchor.get(), c.activeType, "host:APPGRP00", "Sit", "RULESTART", c.activeParms, 1);
    ActionEntry* later = Action(anchor.get(), c.newType, "host:APPGRP00", c.newOwner, "RULESTART", c.newParms, 2);
    EXPECT_EQ(ZEVP_CheckDuplicateActiveAction(anchor.get(), later), c.duplicate);
  }
}

TEST(ActionEntryTest, AReleasedRuleNoLongerMakesALaterOneADuplicate) {
  BareAnchor anchor;
  ActionEntry* active = Action(anchor.get(), ZEV_ACTION_RULE, "host:APPGRP00", "Sit", "RULESTOP", nullptr, 1);
  ZEVP_ReleaseActionEntry(anchor.get(), active);
  ActionEntry* later = Action(anchor.get(), ZEV_ACTION_RULE, "host:APPGRP00", "Sit", "RULESTOP", nullptr, 2);
  EXPECT_EQ(later, active) << "reused";
  ActionEntry* third = Action(anchor.get(), ZEV_ACTION_RULE, "host:APPGRP00", "Sit", "RULESTOP", nullptr, 3);
  EXPECT_EQ(ZEVP_CheckDuplicateActiveAction(anchor.get(), later), 1) << "the third is active now";
  ZEVP_ReleaseActionEntry(anchor.get(), third);
  EXPECT_EQ(ZEVP_CheckDuplicateActiveAction(anchor.get(), later), 0);
  EXPECT_EQ(ZEVP_CheckDuplicateActiveAction(anchor.get(), nullptr), 1) << "an invalid entry is dropped";
}

TEST(ActionEntryTest, TheStartActionIsFoundByItsIDAndOwnerWhileInUse) {
  BareAnchor anchor;
  Action(anchor.get(), ZEV_ACTION_SNMP, nullptr, "Sit", "SNMPSTOPGET", nullptr, 5);
  ActionEntry* start = Action(anchor.get(), ZEV_ACTION_SNMP, nullptr, "Sit", "SNMPSTARTGET", nullptr, 5);
  Action(anchor.get(), ZEV_ACTION_SNMP, nullptr, "Other", "SNMPSTARTGET", nullptr, 6);
  EXPECT_EQ(ZEVP_LocateStartActionByID(anchor.get(), 5, "Sit"), start);
  EXPECT_EQ(ZEVP_LocateStartActionByID(anchor.get(), 6, "Sit"), nullptr);
  EXPECT_EQ(ZEVP_LocateStartActionByID(anchor.get(), 5, "sit"), nullptr) << "owners compare exactly";
  ZEVP_ReleaseActionEntry(anchor.get(), start);
  EXPECT_EQ(ZEVP_LocateStartActionByID(anchor.get(), 5, "Sit"), nullptr);
}

TEST(ActionEntryTest, AResultTextReplacesTheResultAndSetsItsLength) {
  BareAnchor anchor;
  ActionEntry* entry = ZEVP_AllocateActionEntry(anchor.get());
  entry->ActionResult = Text("old");
  ZEVP_SetActionResultText(entry, ZEVP_RESULT_NETWORK_UNRESOLVED);
  EXPECT_STREQ(entry->ActionResult, "Network resource address unresolved");
  EXPECT_EQ(entry->ResultLength, 35);
  ZEVP_SetActionResultText(entry, 9);
  EXPECT_STREQ(entry->ActionResult, "Request syntax error");
  ZEVP_SetActionResultText(entry, 38);
  EXPECT_STREQ(entry->ActionResult, "Request syntax error") << "no such text: unchanged";
  EXPECT_STREQ(ZEVP_AutoTypeText(2), "Rule");
  EXPECT_STREQ(ZEVP_AutoTypeText(9), " ");
}

}  // namespace
