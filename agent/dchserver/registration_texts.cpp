#include "registration_texts.h"

#include <vector>

#include "trc1.h"

TRC_UNIT();

namespace {

// The non-empty pieces of text between the separators, at most `limit` of them.
std::vector<std::string> pieces(const std::string& text, char separator, size_t limit) {
  std::vector<std::string> found;
  size_t start = 0;
  while (start <= text.size() && found.size() < limit) {
    size_t end = text.find(separator, start);
    if (end == std::string::npos) end = text.size();
    if (end > start) found.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return found;
}

}  // namespace

bool reduceRegisterText(const char* attrRegister, std::string* reduced) {
  reduced->clear();
  for (const std::string& record : pieces(attrRegister, ';', SIZE_MAX)) {
    if (record.size() > RegistrationTexts::kMaxRecord) {
      TRC(TRC_ERROR, "Error: %d > %d", static_cast<int>(record.size()),
          static_cast<int>(RegistrationTexts::kMaxRecord));
      return false;
    }
    std::vector<std::string> fields = pieces(record, ',', 3);
    if (fields.size() < 3) continue;
    reduced->append(fields[0]).append(",").append(fields[1]).append(",").append(fields[2]).append(":");
  }
  return true;
}

bool RegistrationTexts::addGroup(const RegisteredGroup& group) {
  std::string reduced;
  if (!reduceRegisterText(group.attrRegister, &reduced)) return false;
  std::string typeAndTTL = std::string(1, group.sampleType) + "," + std::to_string(group.TTL) + ":";
  if (groups_ == 0) {
    applInfo_.append(applName_).append(",");
    help_.append(applHelp_).append(",");
  }
  applInfo_.append(group.name).append(",").append(typeAndTTL);
  attrInfo_.append(group.name).append(",").append(reduced).append(";");
  help_.append(group.name).append(",").append(group.help).append(",").append(group.attributeHelp);
  // Each group's help ends with ':', by which the agent pairs the help blocks with the
  // groups in order; the attribute help of a group without attributes is empty.
  if (*group.attributeHelp == '\0') help_.append(":");
  ++groups_;
  return true;
}

void RegistrationTexts::close() {
  applInfo_.append(";");
  help_.append(";");
}
