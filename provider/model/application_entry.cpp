#include "application_entry.h"

#include <cctype>
#include <cstring>
#include <string>

#include "dp_anchor.h"
#include "model_lists.h"
#include "trc1.h"
#include "validation_messages.h"
#include "zev0/storage.h"
#include "zev0/text.h"

TRC_UNIT();

namespace {

// The first three letters of the built-in applications' names, which metafiles
// may not take.
constexpr const char* kReservedNames[] = {"DVAGENT", "SNMP-Manager"};

bool reservedName(const char* name) {
  for (const char* reserved : kReservedNames) {
    bool same = true;
    for (int i = 0; i < 3 && same; ++i)
      same = std::toupper(static_cast<unsigned char>(name[i])) == std::toupper(static_cast<unsigned char>(reserved[i]));
    if (same) return true;
  }
  return false;
}

}  // namespace

ApplicationEntry* ZEVP_InitializeApplicationEntry(DPAB* anchor, const char* name, int packagedMode,
                                                  const char* help) {
  if (name == nullptr || *name == '\0') {
    ZEVP_DisplayValidationMessage(ZEVPV38E, nullptr);
    return nullptr;
  }
  if (std::strlen(name) < static_cast<size_t>(ZEVP_APPL_NAME_MIN)) {
    ZEVP_DisplayValidationMessage(ZEVPV30E, name);
    return nullptr;
  }
  if (!packagedMode) {
    if (name[0] == 'K' || name[0] == 'k') {
      ZEVP_DisplayValidationMessage(ZEVPV53E, name);
      return nullptr;
    }
    if (reservedName(name)) {
      ZEVP_DisplayValidationMessage(ZEVPV62E, name);
      return nullptr;
    }
  }
  auto* application = static_cast<ApplicationEntry*>(ZEV0_GetStorage(sizeof(ApplicationEntry)));
  if (application == nullptr) {
    TRC(TRC_ERROR, "***** Unable to obtain storage for ApplicationEntry <%s>", name);
    return nullptr;
  }
  std::memset(application, 0, sizeof *application);
  TRC(TRC_STORAGE, "Allocated ApplicationEntry @%p for length %d", static_cast<void*>(application),
      static_cast<int>(sizeof *application));
  if (help != nullptr) {
    std::string text(help, strnlen(help, ZEVP_HELP_TEXT_MAX));
    application->ApplHelp = static_cast<char*>(ZEV0_GetStorage(static_cast<int32_t>(text.size()) + 1));
    if (application->ApplHelp != nullptr) std::memcpy(application->ApplHelp, text.c_str(), text.size() + 1);
  }
  BSV1_InitializeLock(&application->TableListLock);
  BSV1_InitializeLock(&application->EntryLock);

  std::strncpy(application->ApplName, name, ZEVP_APPL_NAME_MAX);
  if (std::strlen(name) > static_cast<size_t>(ZEVP_APPL_NAME_MAX))
    ZEVP_DisplayValidationMessage(ZEVPV32W, application->ApplName);
  ZEV0_SubValidNameCharacter(application->ApplName);

  BSV1_GetLock(&anchor->applicationListLock);
  zevp::AppendToList(&anchor->applications, application);
  BSV1_ReleaseLock(&anchor->applicationListLock);
  return application;
}
