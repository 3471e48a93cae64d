// zevpbgni Application-Name Attribute-Group-Name: begins input for an application and
// group, and records the session in ./ZEVPINIT for the tools that follow.
#include <cstdio>

#include "api_tool.h"

int main(int argc, char** argv) {
  if (api_tool::AsksForUsage(argc, argv)) {
    std::fputs("Usage: zevpbgni Application-Name Attribute-Group-Nmae\n", stdout);
    return 1;
  }
  constexpr int kNamesMissing = 3;
  if (argc < 3) return api_tool::EndWithMessage(kNamesMissing);
  int status = 0;
  // The data provider's start stamp: a session recorded in an earlier run of it is no
  // session any more.
  char stamp[80] = {};
  if (!dp_CheckAPIserverStatus(&status, stamp)) return api_tool::EndWithMessage(status);
  APIhandle* handle = dp_AllocateHandle(&status);
  if (handle == nullptr) return api_tool::EndWithMessage(status);
  const std::string appID = api_tool::AppID(argv[1], argv[2]);
  dp_GetCommandEnvironment(handle, appID.c_str(), stamp);
  if (dp_BeginInput(handle, argv[1], argv[2], &status)) dp_SaveCommandEnvironment(handle, appID.c_str());
  dp_FreeHandle(handle, nullptr);
  return api_tool::EndWithMessage(status);
}
