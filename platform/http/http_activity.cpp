// Activities: one request with its reply, whose entity the activity keeps.
#include <algorithm>
#include <cstring>
#include <new>

#include "reply_record.h"
#include "vmo1.h"

int32_t VMO1_NewActivity(VMO1_Client client, VMO1_Activity* activity, const char* url, int32_t urlLength, int32_t,
                         int32_t headerCount, const VMO1_ExtraHeader* headers) {
  if (activity == nullptr) return VMO1_INVALID_ARGUMENT;
  *activity = nullptr;
  if (url == nullptr || urlLength < 1 || headerCount < 0 || (headerCount > 0 && headers == nullptr))
    return VMO1_INVALID_URI;
  auto* record = new (std::nothrow) VMO1_ActivityRecord();
  if (record == nullptr) return VMO1_INVALID_ARGUMENT;
  record->client = client != nullptr ? *client : vmo1::DefaultClient();
  record->url.assign(url, static_cast<size_t>(urlLength));
  record->url = record->url.substr(0, record->url.find('\0'));
  for (int32_t i = 0; i < headerCount; ++i) {
    if (headers[i].code != VMO1_HEADER_AUTHORIZATION || headers[i].value == nullptr || headers[i].length < 0) continue;
    record->proxyAuthorization.assign(headers[i].value, static_cast<size_t>(headers[i].length));
    record->proxyAuthorization = record->proxyAuthorization.substr(0, record->proxyAuthorization.find_first_of("\r\n"));
  }
  *activity = record;
  return VMO1_OK;
}

int32_t VMO1_RequestActivity(VMO1_Activity activity, VMO1_HeaderDictionary** dictionary) {
  if (activity == nullptr) return VMO1_INVALID_ARGUMENT;
  int32_t status = vmo1::Exchange(activity);
  if (dictionary != nullptr) *dictionary = activity->headers.view();
  return status;
}

int32_t VMO1_OpenEntity(VMO1_Activity activity, int32_t* contentLength, int32_t* information) {
  if (activity == nullptr || contentLength == nullptr) return VMO1_INVALID_ARGUMENT;
  if (!activity->replied) return VMO1_NO_ENTITY;
  *contentLength = static_cast<int32_t>(activity->entity.size());
  if (information != nullptr) *information = 0;
  return VMO1_OK;
}

int32_t VMO1_Get(VMO1_Activity activity, void* buffer, int32_t* length) {
  if (activity == nullptr || buffer == nullptr || length == nullptr || *length < 0) return VMO1_INVALID_ARGUMENT;
  if (!activity->replied) return VMO1_NO_ENTITY;
  size_t copied = std::min(activity->entity.size(), static_cast<size_t>(*length));
  std::memcpy(buffer, activity->entity.data(), copied);
  *length = static_cast<int32_t>(copied);
  return VMO1_OK;
}

int32_t VMO1_DeleteActivity(VMO1_Activity activity) {
  delete activity;
  return VMO1_OK;
}
