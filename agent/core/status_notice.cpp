#include "status_notice.h"

#include <cstring>

#include "trc1.h"

TRC_UNIT();

namespace {

// The text up to the next comma; false when there is no comma left.
bool takePart(const char** cursor, std::string* part) {
  const char* comma = std::strchr(*cursor, ',');
  if (comma == nullptr) return false;
  part->assign(*cursor, static_cast<size_t>(comma - *cursor));
  *cursor = comma + 1;
  return true;
}

}  // namespace

bool parseStatusNotice(const char* text, statusNotice* notice) {
  *notice = statusNotice{};
  const char* cursor = text != nullptr ? text : "";
  bool complete = takePart(&cursor, &notice->applName) && takePart(&cursor, &notice->attrGroup) &&
                  takePart(&cursor, &notice->sourceName);
  if (complete) notice->requestType = cursor;
  if (complete && !notice->requestType.empty()) return true;
  TRC(TRC_ERROR, "Error: parsing status:");
  TRC(TRC_ERROR, "             applName: <%s>", notice->applName.c_str());
  TRC(TRC_ERROR, "            attrGroup: <%s>", notice->attrGroup.c_str());
  TRC(TRC_ERROR, "           sourceName: <%s>", notice->sourceName.c_str());
  TRC(TRC_ERROR, "          requestType: <%s>", notice->requestType.c_str());
  return false;
}
