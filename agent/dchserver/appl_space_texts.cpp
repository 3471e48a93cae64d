// The application, attribute and help texts that consumers ask for.
#include <string>

#include "appl_space_list.h"
#include "trc1.h"

TRC_UNIT();

int applSpaceList::setApplInfo(const char* applName, const char* applInfo, const char* attrInfo, const char* applHelp) {
  applSpaceEntry* application = searchApplSpace(applName);
  if (application == nullptr) {
    TRC(TRC_ERROR, "Error: No applSpaceEntry for applName<%s>.", applName ? applName : "(null)");
    return -1;
  }
  if (application->setApplInfo(applInfo) != 0 || application->setAttrInfo(attrInfo) != 0 ||
      application->setApplHelp(applHelp) != 0)
    return -1;
  return 0;
}

// The joined texts grow with the number of applications: they live in the
// result buffer, which takes whatever length they have.
const char* applSpaceList::getApplInfo(const char* applName) {
  if (applName != nullptr) {
    const applSpaceEntry* application = searchApplSpace(applName);
    const char* info = application != nullptr ? application->getApplInfo() : nullptr;
    return info != nullptr ? keepResult(info) : nullptr;
  }
  if (applications_.count() == 0) return nullptr;
  std::string joined;
  applSpaceIterator walk(applications_);
  while (const applSpaceEntry* application = walk.Next()) {
    const char* info = application->getApplInfo();
    if (info == nullptr) return nullptr;
    joined.append(info);
  }
  resultBuffer_.swap(joined);
  return resultBuffer_.c_str();
}

const char* applSpaceList::getAttrInfo(const char* applName) const {
  const applSpaceEntry* application = searchApplSpace(applName);
  if (application == nullptr) {
    TRC(TRC_ERROR, "Error:  applSpaceEntry<%s> not found", applName ? applName : "(null)");
    return nullptr;
  }
  const char* text = application->getAttrInfo();
  if (text == nullptr) TRC(TRC_ERROR, "Error:  getAttrInfo<%s> was NULL", applName);
  return text;
}

const char* applSpaceList::getApplHelp(const char* applName) const {
  const applSpaceEntry* application = searchApplSpace(applName);
  if (application == nullptr) {
    TRC(TRC_ERROR, "Error:  applSpaceEntry<%s> not found", applName ? applName : "(null)");
    return nullptr;
  }
  const char* text = application->getApplHelp();
  if (text == nullptr) TRC(TRC_ERROR, "Error:  getApplHelp<%s> was NULL", applName);
  return text;
}

int applSpaceList::getAttributeHelp(const char* applName, const char* attrGroup, char** text) const {
  const applSpaceEntry* application = searchApplSpace(applName);
  if (application == nullptr) {
    TRC(TRC_ERROR, "Error:  applSpaceEntry<%s> not found", applName ? applName : "(null)");
    return 1;
  }
  if (application->getAttributeHelp(attrGroup, text) != 0) {
    TRC(TRC_ERROR, "Error:  getAttributeHelp<%s> failed", applName);
    return 1;
  }
  return 0;
}
