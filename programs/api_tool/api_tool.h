// What the API command-line tools share: the usage test, the AppID of the command
// environment file, the closing message, and the definition tools' one body.
#pragma once

#include <cctype>
#include <cstdio>
#include <string>

#include "zevpapi/dp_api.h"

namespace api_tool {

// A first argument that begins with '?' asks for the usage text.
inline bool AsksForUsage(int argc, char** argv) { return argc > 1 && argv[1][0] == '?'; }

// The key of a session in ./ZEVPINIT: the application and group names together.
inline std::string AppID(const char* application, const char* group) { return std::string(application) + group; }

// Prints the message of the final status; the exit code is 1 when the status is 0.
inline int EndWithMessage(int status) {
  dp_ShowMessage(status, nullptr, 0);
  return status == 0 ? 1 : 0;
}

// zevpdefn and zevprdfn: metafile-name [Accept-OK], the second taken when it begins
// with Y.
inline int RunDefinitionTool(int argc, char** argv, const char* usage,
                             int (*define)(const char* metafile, int acceptOK, int* status)) {
  if (AsksForUsage(argc, argv)) {
    std::fputs(usage, stdout);
    return 1;
  }
  constexpr int kNoMetafileName = 14;
  int status = kNoMetafileName;
  if (argc > 1) {
    int acceptOK = argc > 2 && std::toupper(static_cast<unsigned char>(argv[2][0])) == 'Y' ? 1 : 0;
    define(argv[1], acceptOK, &status);
  }
  return EndWithMessage(status);
}

}  // namespace api_tool
