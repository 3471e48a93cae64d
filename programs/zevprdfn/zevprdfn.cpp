// zevprdfn metafile-name [Accept-OK]: refreshes a metafile at the API data provider's
// console.
#include "api_tool.h"

int main(int argc, char** argv) {
  return api_tool::RunDefinitionTool(argc, argv, "Usage: zevprdfn metafile-name Accept-OK[Yes|No]\n", dp_Redefine);
}
