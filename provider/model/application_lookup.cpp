// Finding a loaded application by the name of its metafile or by its own name.
#include <cstring>
#include <string>

#include "application_entry.h"
#include "dp_anchor.h"
#include "metafile_parser.h"
#include "metafile_text.h"

namespace {

// The name without leading '.' and '/' characters.
std::string withoutLeadingDots(const std::string& name) {
  size_t start = name.find_first_not_of("./");
  return start == std::string::npos ? std::string() : name.substr(start);
}

// The metafile's own name: no directory, no extension.
std::string baseName(const char* metafileName) {
  std::string name = withoutLeadingDots(metafileName);
  size_t slash = name.rfind('/');
  if (slash != std::string::npos) name.erase(0, slash + 1);
  return name.substr(0, name.find('.'));
}

}  // namespace

ApplicationEntry* ZEVP_CheckApplicationExistence(DPAB* anchor, const char* name) {
  if (anchor == nullptr || name == nullptr) return nullptr;
  std::string wanted = zevp::UpperCased(name);
  ApplicationEntry* found = nullptr;
  BSV1_GetLock(&anchor->applicationListLock);
  for (ApplicationEntry* application = anchor->applications; application != nullptr && found == nullptr;
       application = application->next)
    if (application->MetafileNameUpper != nullptr && wanted == application->MetafileNameUpper) found = application;

  // A name without extension may be the metafile's base name or the application's name.
  bool hasExtension = wanted.size() > 1 && wanted.find('.', 1) != std::string::npos;
  if (found == nullptr && !hasExtension) {
    std::string bare = withoutLeadingDots(wanted);
    for (ApplicationEntry* application = anchor->applications; application != nullptr && found == nullptr;
         application = application->next)
      if (application->MetafileNameUpper != nullptr && bare == baseName(application->MetafileNameUpper))
        found = application;
    for (ApplicationEntry* application = anchor->applications; application != nullptr && found == nullptr;
         application = application->next)
      if (wanted == zevp::UpperCased(application->ApplName)) found = application;
  }
  BSV1_ReleaseLock(&anchor->applicationListLock);
  return found;
}
