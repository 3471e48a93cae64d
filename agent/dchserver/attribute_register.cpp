#include "attribute_register.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "dch/channel_functions.h"
#include "trc1.h"
#include "zev0/text.h"

TRC_UNIT();

namespace {

constexpr char kNoHelp[] = "No attribute Help Defined";

// One description's fields, read as the tokenizer would: runs of commas are
// skipped, so an empty field is never read as empty.
class FieldReader {
 public:
  FieldReader(const char* begin, const char* end) : at_(begin), end_(end) {}

  bool next(std::string_view* field) {
    while (at_ < end_ && *at_ == ',') ++at_;
    if (at_ == end_) return false;
    const char* start = at_;
    while (at_ < end_ && *at_ != ',') ++at_;
    *field = std::string_view(start, static_cast<size_t>(at_ - start));
    return true;
  }

  // Everything after the comma that ended the last field.
  bool rest(std::string_view* field) {
    if (at_ == end_ || at_ + 1 == end_) return false;
    *field = std::string_view(at_ + 1, static_cast<size_t>(end_ - at_ - 1));
    return true;
  }

 private:
  const char* at_;
  const char* end_;
};

bool takeName(std::string_view field, AttributeDescription* description) {
  if (field.substr(0, 2) == "@$") {
    description->keyed = description->atomic = true;
    field.remove_prefix(2);
  } else if (field.substr(0, 1) == "@") {
    description->keyed = true;
    field.remove_prefix(1);
  } else if (field.substr(0, 1) == "$") {
    description->atomic = true;
    field.remove_prefix(1);
  }
  if (field.empty()) {
    TRC(TRC_ERROR, "Error: name was NULL.");
    return false;
  }
  description->name.assign(field);
  if (field.size() > AttributeDescription::kMaxName) {
    TRC(TRC_ERROR, "Error: attribute <%s> length > %d", description->name.c_str(),
        static_cast<int>(AttributeDescription::kMaxName));
    return false;
  }
  ZEV0_SubValidNameCharacter(&description->name[0]);
  return true;
}

bool takeLength(std::string_view field, AttributeDescription* description) {
  std::string text(field);
  errno = 0;
  long length = std::strtol(text.c_str(), nullptr, 10);
  if (errno != 0 || length < 0 || length > AttributeDescription::kMaxLength) {
    TRC(TRC_ERROR, "Error: attribute <%s> length <%s> out of range", description->name.c_str(), text.c_str());
    return false;
  }
  description->length = static_cast<int16_t>(length);
  return true;
}

void takeHelp(std::string_view field, AttributeDescription* description) {
  if (field == " ") field = kNoHelp;
  description->help.assign(field.substr(0, AttributeDescription::kMaxHelp));
  ZEVA_validateHelpText(&description->help[0]);
}

}  // namespace

AttributeRegisterParser::AttributeRegisterParser(const char* registerText)
    : cursor_(registerText != nullptr ? registerText : "") {}

int AttributeRegisterParser::next(AttributeDescription* description) {
  while (*cursor_ == ';') ++cursor_;
  if (*cursor_ == '\0') return 0;
  const char* begin = cursor_;
  const char* end = std::strchr(begin, ';');
  if (end == nullptr) end = begin + std::strlen(begin);
  cursor_ = *end == ';' ? end + 1 : end;

  *description = AttributeDescription();
  FieldReader fields(begin, end);
  std::string_view name, type, length, enumerations, help;
  if (!fields.next(&name)) {
    TRC(TRC_ERROR, "Error: name was NULL.");
    return -1;
  }
  if (!takeName(name, description)) return -1;
  if (!fields.next(&type)) {
    TRC(TRC_ERROR, "Error: typeStr was NULL.");
    return -1;
  }
  description->type = type.front();
  if (!fields.next(&length)) {
    TRC(TRC_ERROR, "Error: lenStr was NULL.");
    return -1;
  }
  if (!takeLength(length, description)) return -1;
  if (!fields.next(&enumerations)) {
    TRC(TRC_ERROR, "Error: ENUM was NULL.");
    return -1;
  }
  description->enumerations.assign(enumerations.size() <= 1 ? std::string_view(" ") : enumerations);
  if (!fields.rest(&help)) {
    TRC(TRC_ERROR, "Error: helpText was NULL.");
    return -1;
  }
  takeHelp(help, description);
  return 1;
}
