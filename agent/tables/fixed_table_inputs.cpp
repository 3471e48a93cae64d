#include "fixed_table_inputs.h"

#include <algorithm>

#include "trc1.h"

TRC_UNIT();

namespace {

// What follows the first `skip` characters of the field, nothing past its end.
std::string After(std::string_view field, size_t skip, size_t most) {
  return std::string(field.substr(std::min(skip, field.size()), most));
}

}  // namespace

bool SplitRemoteFileNode(std::string_view node, remoteFileNode* split) {
  size_t colon = node.find(':');
  split->sourceName.assign(node.substr(0, colon));
  if (split->sourceName.empty()) {
    TRC(TRC_ERROR, "Error: sourceName was NULL.");
    return false;
  }
  std::string_view rest = colon == std::string_view::npos ? std::string_view() : node.substr(colon + 1);
  if (rest.size() < 2 || rest.find('/') != std::string_view::npos) {
    TRC(TRC_ERROR, "Error: applKey_tableName_RR was NULL.");
    return false;
  }
  split->suffix.assign(rest.substr(rest.size() - 2));
  split->key.assign(rest.substr(0, std::min(rest.size() - 2, kMaxRemoteFileKey)));
  return true;
}

bool ParseAlertValues(std::string_view attrvals, alertValues* alert) {
  std::string_view fields[4];
  std::string_view rest = attrvals;
  int found = 0;
  while (found < 4) {
    size_t start = rest.find_first_not_of(';');
    if (start == std::string_view::npos) break;
    rest.remove_prefix(start);
    size_t end = rest.find(';');
    fields[found++] = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
  }
  if (found < 4) {
    TRC(TRC_ERROR, "Error: predicate could not be determined <%.*s>", static_cast<int>(attrvals.size()),
        attrvals.data());
    return false;
  }
  size_t terminator = rest.find('~');
  if (terminator == std::string_view::npos) {
    TRC(TRC_ERROR, "Error: could not find terminator in <%.*s>", static_cast<int>(rest.size()), rest.data());
    return false;
  }
  std::string_view node = fields[3];
  std::string_view preferences = rest.substr(0, terminator);
  if (node.find("_SITNODE") == std::string_view::npos) {
    TRC(TRC_ERROR, "Error: could not find _SITNODE in <%.*s>", static_cast<int>(node.size()), node.data());
    return false;
  }
  if (preferences.find("_ATTRPREF") == std::string_view::npos) {
    TRC(TRC_ERROR, "Error: could not find _ATTRPREF in <%.*s>", static_cast<int>(preferences.size()),
        preferences.data());
    return false;
  }
  alert->originNode = After(node, 9, kMaxAlertOriginNode);
  alert->attributeList = After(preferences, 10, kMaxAlertAttributeList);
  return true;
}
