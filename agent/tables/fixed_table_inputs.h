// What the fixed tables read from a request's predicates, taken apart.
//
// The remote-file table's ORIGINNODE names the application: "source:APPLNAMErr" (a subnode
// name). The action table's ATTRVALS carries the alert: four fields separated by ";" (empty
// ones do not count), the fourth holding "_SITNODE=" and the situation's origin node, then
// "_ATTRPREF=" and the attribute list up to a "~".
#pragma once

#include <string>
#include <string_view>

struct remoteFileNode {
  std::string sourceName;
  std::string key;     // the application's name (up to 13 characters): finds its definition
  std::string suffix;  // the release: the last two characters of the whole text
};

constexpr size_t kMaxRemoteFileKey = 13;

// False, traced, for a node without a source, or whose part after ":" has fewer than two
// characters or holds a "/" (it names a file of the work directory).
bool SplitRemoteFileNode(std::string_view node, remoteFileNode* split);

struct alertValues {
  std::string originNode;     // after "_SITNODE=", at most kMaxAlertOriginNode characters
  std::string attributeList;  // after "_ATTRPREF=", at most kMaxAlertAttributeList characters
};

constexpr size_t kMaxAlertOriginNode = 64;
constexpr size_t kMaxAlertAttributeList = 3200;

// False, traced with what is missing.
bool ParseAlertValues(std::string_view attrvals, alertValues* alert);
