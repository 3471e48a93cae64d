#include "action_table_subnode.h"

namespace {

constexpr char kLogSubnodeMark[] = "dp:DVAGENT";
constexpr char kActionSubnodeMark[] = "ACT:DVAGENT";
constexpr size_t kTypeLength = 4;
constexpr size_t kReleaseLength = 2;

}  // namespace

std::string actionTableSubnode(const std::string& requested) {
  size_t mark = requested.find(kLogSubnodeMark);
  if (mark == std::string::npos || mark < kTypeLength) return requested;
  std::string release = requested.substr(requested.size() - kReleaseLength);
  return requested.substr(0, mark - kTypeLength) + kActionSubnodeMark + release;
}
