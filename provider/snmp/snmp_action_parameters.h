// The keyword parameters of the SNMP worker's actions (SNMPSTARTGET, SNMPSTOPGET,
// SNMPSET), read out of an action's parameter text. The text comes from the agent
// or from the MIB interest file: every reader stays within it and copies what it
// hands back.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace zevp {

// The word right after the keyword (e.g. "APPLNAME="), up to the next blank or the
// end; empty when a blank follows at once. None when the keyword is absent.
std::optional<std::string> KeywordWord(const char* text, const char* keyword);

// As KeywordWord, with the blanks after the keyword skipped; none also when the word
// found is the next keyword (it holds '='): the value was left empty.
std::optional<std::string> KeywordWordAfterBlanks(const char* text, const char* keyword);

// SET's VALUE=: from its first non-blank up to the blank before the next keyword
// (the word that holds the next '='), so it may hold blanks; without a later keyword
// up to the end. Trailing blanks are not part of it. None when VALUE= is absent.
// *laterKeyword tells whether a keyword follows.
std::optional<std::string> SetValueText(const char* text, bool* laterKeyword);

// One target agent of an AGENTINFO= list.
struct AgentInfoEntry {
  std::string name;
  std::string community;  // empty: the default
};

// The AGENTINFO= list "( {name community}, name, ... )": the entries between the
// first '(' and the last ')' (without one, to the end), separated by ','. A braced
// entry gives a name and a community (a missing one is traced and left empty), a
// bare one a name; each ends at its first blank; an entry that begins with ')' ends
// the list, an empty one is skipped. False when the text holds no '('.
bool ParseAgentInfoList(const char* text, std::vector<AgentInfoEntry>* entries);

}  // namespace zevp
