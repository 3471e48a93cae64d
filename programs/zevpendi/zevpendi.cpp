// zevpendi [Application-Name Attribute-Group-Name]: ends the input session that
// ./ZEVPINIT records for the application and group, or its only one.
#include <cstdio>

#include "api_tool.h"
#include "records.h"

int main(int argc, char** argv) {
  if (api_tool::AsksForUsage(argc, argv)) {
    std::fputs("Usage: zevpendi Application-Name Attribute-Group-Nmae\n", stdout);
    return 1;
  }
  constexpr int kOneNameMissing = 3;
  constexpr int kAmbiguous = 56;
  constexpr int kNotActive = 57;
  if (argc == 2) return api_tool::EndWithMessage(kOneNameMissing);
  int status = 0;
  APIhandle* handle = dp_AllocateHandle(&status);
  if (handle == nullptr) return api_tool::EndWithMessage(status);
  const bool named = argc > 2;
  const std::string appID = named ? api_tool::AppID(argv[1], argv[2]) : std::string();
  dp_GetCommandEnvironment(handle, named ? appID.c_str() : nullptr, nullptr);
  if (handle->sessionKey == 0)
    status = named ? kNotActive : kAmbiguous;
  else if (dp_EndInput(handle, &status))
    dp_ClearCommandEnvironment(handle);
  dp_FreeHandle(handle, nullptr);
  return api_tool::EndWithMessage(status);
}
