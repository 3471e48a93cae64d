#include "model_lookups.h"

#include <cstring>
#include <string>

#include "application_entry.h"
#include "attribute_entry.h"
#include "dp_anchor.h"
#include "metafile_text.h"
#include "source_entry.h"
#include "table_entry.h"
#include "trc1.h"

TRC_UNIT();

namespace {

std::string applicationName(ApplicationEntry* application) {
  BSV1_GetLock(&application->TableListLock);
  std::string name = application->ApplName;
  BSV1_ReleaseLock(&application->TableListLock);
  return name;
}

std::string groupName(TableEntry* table) {
  BSV1_GetLock(&table->SourceListLock);
  std::string name = table->TableName;
  BSV1_ReleaseLock(&table->SourceListLock);
  return name;
}

bool beginsWith(const std::string& text, const char* prefix, int32_t length) {
  return std::strncmp(text.c_str(), prefix, static_cast<size_t>(length)) == 0;
}

// The attribute of the group's first source that the test picks, under the
// source's attribute lock; null when none.
template <typename Test>
AttributeEntry* firstSourceAttribute(TableEntry* table, Test test) {
  BSV1_GetLock(&table->SourceListLock);
  SourceEntry* source = table->FirstSource;
  BSV1_ReleaseLock(&table->SourceListLock);
  if (source == nullptr) return nullptr;
  AttributeEntry* found = nullptr;
  BSV1_GetLock(&source->AttributeLock);
  for (AttributeEntry* attribute = source->FirstAttribute; attribute != nullptr && found == nullptr;
       attribute = attribute->next)
    if (test(attribute)) found = attribute;
  BSV1_ReleaseLock(&source->AttributeLock);
  return found;
}

// The first attribute of the application's groups that the test picks.
template <typename Test>
AttributeEntry* applicationAttribute(ApplicationEntry* application, Test test) {
  AttributeEntry* found = nullptr;
  BSV1_GetLock(&application->TableListLock);
  for (TableEntry* table = application->FirstTable; table != nullptr && found == nullptr; table = table->next)
    found = firstSourceAttribute(table, test);
  BSV1_ReleaseLock(&application->TableListLock);
  return found;
}

// The value of keyword (e.g. "ATTR=") in the text: from its first non-blank to
// the next blank or the end. False when the keyword is not there.
bool keywordValue(const char* text, const char* keyword, std::string* value) {
  const char* place = std::strstr(text, keyword);
  if (place == nullptr) return false;
  place += std::strlen(keyword);
  while (*place == ' ') ++place;
  const char* end = std::strchr(place, ' ');
  *value = end != nullptr ? std::string(place, end) : std::string(place);
  return true;
}

// The oid names the attribute's OID itself, or its scalar instance.
bool oidMatches(const AttributeEntry* attribute, const std::string& oid, const std::string& withoutInstance) {
  if (attribute->AttrOIDstring == nullptr) return false;
  return oid == attribute->AttrOIDstring || (!withoutInstance.empty() && withoutInstance == attribute->AttrOIDstring);
}

}  // namespace

ApplicationEntry* ZEVP_LocateApplicationByName(DPAB* anchor, const char* name, int32_t length) {
  if (anchor == nullptr || name == nullptr || length <= 0 || *name == '\0') return nullptr;
  ApplicationEntry* found = nullptr;
  BSV1_GetLock(&anchor->applicationListLock);
  for (ApplicationEntry* application = anchor->applications; application != nullptr && found == nullptr;
       application = application->next) {
    std::string stored = applicationName(application);
    if (beginsWith(zevp::UpperCased(stored), name, length) || stored == name) found = application;
  }
  BSV1_ReleaseLock(&anchor->applicationListLock);
  return found;
}

TableEntry* ZEVP_LocateTableByName(ApplicationEntry* application, const char* name, int32_t length) {
  if (application == nullptr || name == nullptr || length <= 0 || *name == '\0') return nullptr;
  TableEntry* found = nullptr;
  BSV1_GetLock(&application->TableListLock);
  for (TableEntry* table = application->FirstTable; table != nullptr && found == nullptr; table = table->next) {
    std::string stored = groupName(table);
    if (beginsWith(stored, name, length) || beginsWith(zevp::UpperCased(stored), name, length)) found = table;
  }
  BSV1_ReleaseLock(&application->TableListLock);
  return found;
}

const char* ZEVP_LocateAttributeByOID(DPAB* anchor, const char* oid) {
  if (anchor == nullptr || oid == nullptr) return nullptr;
  std::string wanted = oid;
  std::string withoutInstance;
  size_t lastDot = wanted.rfind('.');
  if (lastDot != std::string::npos && lastDot + 1 < wanted.size() && wanted[lastDot + 1] == '0')
    withoutInstance = wanted.substr(0, lastDot);
  auto matches = [&wanted, &withoutInstance](const AttributeEntry* attribute) {
    return oidMatches(attribute, wanted, withoutInstance);
  };

  AttributeEntry* found = nullptr;
  BSV1_GetLock(&anchor->applicationListLock);
  for (ApplicationEntry* application = anchor->applications; application != nullptr && found == nullptr;
       application = application->next) {
    if (application->SNMPapplication == 0 || application->EnterpriseOID == nullptr) continue;
    if (wanted.find(application->EnterpriseOID) == std::string::npos) continue;
    found = applicationAttribute(application, matches);
  }
  BSV1_ReleaseLock(&anchor->applicationListLock);
  return found != nullptr ? found->AttrName : nullptr;
}

AttributeEntry* ZEVP_LocateSetAttribute(DPAB* anchor, const char* parameters) {
  if (anchor == nullptr || parameters == nullptr) return nullptr;
  std::string applName;
  if (!keywordValue(parameters, "APPLNAME=", &applName)) return nullptr;
  ApplicationEntry* application =
      ZEVP_LocateApplicationByName(anchor, applName.c_str(), static_cast<int32_t>(applName.size()));
  if (application == nullptr || application->SNMPapplication == 0) {
    TRC(TRC_UNIT_DETAIL, "Application not found or loaded %s %d", applName.c_str(), static_cast<int>(applName.size()));
    return nullptr;
  }
  std::string attrName;
  if (!keywordValue(parameters, "ATTR=", &attrName) || attrName.empty()) return nullptr;
  return applicationAttribute(application,
                              [&attrName](const AttributeEntry* attribute) { return attrName == attribute->AttrName; });
}
