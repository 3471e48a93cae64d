// The data verbs: begin and end input, sample brackets, records, the source name and
// the reply data.
#include "anchor.h"
#include "api_trace.h"
#include "buffers.h"
#include "exchange.h"
#include "handles.h"
#include "status_codes.h"
#include "tagged_request.h"

namespace zevpapi {

namespace {

bool Missing(const char* text) { return text == nullptr || text[0] == '\0'; }

// The metafile's delimiters, as the data provider answers a begin: two characters are the
// begin and end delimiter, one the end delimiter alone; no data means none.
void TakeDelimiters(APIhandle* handle, int replyStatus, const char* data, int size) {
  if (replyStatus == kNoReplyData) {
    handle->beginDelimiter = kNoBeginDelimiter;
    handle->endDelimiter = kNoEndDelimiter;
  } else if (size >= 2) {
    handle->beginDelimiter = data[0];
    handle->endDelimiter = data[1];
  } else if (size == 1) {
    handle->endDelimiter = data[0];
  }
}

int BeginInput(APIhandle* given, const char* applName, const char* attrGroup) {
  int status = EnsureAnchor();
  if (status != kSuccess) return status;
  if (Missing(applName) || Missing(attrGroup)) return kNamesMissing;
  if (given != nullptr && !HandleIsKnown(given)) return kInvalidHandle;
  HandleInUse handle(given);
  if (handle.status() != kSuccess) return handle.status();
  return TaggedRequest(handle.get(), ZEVP_API_BGNINP, {applName, attrGroup}, TakeDelimiters);
}

int EndInput(APIhandle* given) {
  if (given != nullptr && !HandlePassesCheck(given)) return kInvalidHandle;
  HandleInUse handle(given);
  if (handle.status() != kSuccess) return handle.status();
  int status = TaggedRequest(handle.get(), ZEVP_API_ENDINP, {});
  if (status == kSuccess) {
    handle.get()->beginDelimiter = ' ';
    handle.get()->endDelimiter = ' ';
  }
  return status;
}

int SampleBracket(APIhandle* handle, int tag) {
  if (handle == nullptr) return kMissingParameter;
  if (!HandlePassesCheck(handle)) return kInvalidHandle;
  return TaggedRequest(handle, tag, {});
}

int InputData(void* userBuffer) {
  if (userBuffer == nullptr) return kNullInputBuffer;
  if (!BufferPassesCheck(userBuffer)) return kInvalidInputBuffer;
  ZEVP_SetAPIbufferRequest(userBuffer, ZEVP_API_SNDDTA);
  return ExchangeByTransport(BlockOfUserBuffer(userBuffer), 0, 0);
}

int SetSourceName(APIhandle* given, const char* sourceName) {
  int status = EnsureAnchor();
  if (status != kSuccess) return status;
  if (Missing(sourceName)) return kNoSourceName;
  if (given != nullptr && !HandleIsKnown(given)) return kInvalidHandle;
  HandleInUse handle(given);
  if (handle.status() != kSuccess) return handle.status();
  return TaggedRequest(handle.get(), ZEVP_API_SETSRC, {sourceName});
}

}  // namespace

}  // namespace zevpapi

using zevpapi::CallScope;

extern "C" int dp_BeginInput(APIhandle* handle, const char* applName, const char* attrGroup, int* status) {
  CallScope call("dp_BeginInput", status);
  return call.finish(zevpapi::BeginInput(handle, applName, attrGroup));
}

extern "C" int dp_EndInput(APIhandle* handle, int* status) {
  CallScope call("dp_EndInput", status);
  return call.finish(zevpapi::EndInput(handle));
}

extern "C" int dp_BeginSample(APIhandle* handle, int* status) {
  CallScope call("dp_BeginSample", status);
  return call.finish(zevpapi::SampleBracket(handle, ZEVP_API_BGNROW));
}

extern "C" int dp_EndSample(APIhandle* handle, int* status) {
  CallScope call("dp_EndSample", status);
  return call.finish(zevpapi::SampleBracket(handle, ZEVP_API_ENDROW));
}

extern "C" int dp_InputData(void* userBuffer, int* status) {
  CallScope call("dp_InputData", status);
  return call.finish(zevpapi::InputData(userBuffer));
}

extern "C" int dp_SetSourceName(APIhandle* handle, const char* sourceName, int* status) {
  CallScope call("dp_SetSourceName", status);
  return call.finish(zevpapi::SetSourceName(handle, sourceName));
}

extern "C" int dp_RecvReply(void* userBuffer, int* dataSize, int* status) {
  CallScope call("dp_RecvReply", status);
  return call.finish(zevpapi::TakeReplyData(userBuffer, dataSize));
}
