// zevpinpt Data-Record [Application-Name Attribute-Group-Name]: sends one record in the
// session that ./ZEVPINIT records, beginning one when the names are given and none is.
#include <cstdio>
#include <cstring>

#include "api_tool.h"
#include "records.h"

namespace {

constexpr int kMissingParameter = 3;
constexpr int kAmbiguousTarget = 71;
constexpr int kSequenceError = 13;
constexpr int kPasses = 2;

// The record as one text value in a buffer of its own, sent.
bool SendRecord(APIhandle* handle, const char* record, int* status) {
  const int length = static_cast<int>(std::strlen(record));
  void* buffer = nullptr;
  return dp_AllocateBuffer(handle, &buffer, length, status) &&
         dp_FormatBufferData(buffer, record, length, ZEVP_API_TEXT, status) && dp_InputData(buffer, status);
}

}  // namespace

int main(int argc, char** argv) {
  if (api_tool::AsksForUsage(argc, argv)) {
    std::fputs("Usage: zevpinpt Data-Record Application-Name Attribute-Group-Nmae\n", stdout);
    return 1;
  }
  if (argc < 2 || argc == 3) return api_tool::EndWithMessage(kMissingParameter);
  const char* record = argv[1];
  const bool named = argc == 4;
  const std::string appID = named ? api_tool::AppID(argv[2], argv[3]) : std::string();
  int status = 0;
  APIhandle* handle = dp_AllocateHandle(&status);
  if (handle == nullptr) return api_tool::EndWithMessage(status);
  dp_GetCommandEnvironment(handle, named ? appID.c_str() : nullptr, nullptr);
  for (int pass = 0; pass < kPasses; ++pass) {
    if (handle->sessionKey == 0) {
      if (!named) {
        status = kAmbiguousTarget;
        break;
      }
      if (!dp_BeginInput(handle, argv[2], argv[3], &status)) break;
      dp_SaveCommandEnvironment(handle, appID.c_str());
    }
    // A sequence error: the data provider no longer knows the session (it ran anew),
    // so the next pass begins another.
    if (SendRecord(handle, record, &status) || status != kSequenceError) break;
    dp_ResetHandle(handle, nullptr);
  }
  dp_FreeHandle(handle, nullptr);
  return api_tool::EndWithMessage(status);
}
