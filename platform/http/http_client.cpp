// Clients: a protocol version and the options every activity of the client takes.
#include <cstring>
#include <new>

#include "reply_record.h"
#include "vmo1.h"

namespace vmo1 {

namespace {

VMO1_ClientRecord MakeDefaultClient() {
  VMO1_ClientRecord client{};
  client.version = VMO1_HTTP11;
  std::strcpy(client.options.userAgent, "vmo1");
  return client;
}

thread_local int lastReplyCode = 0;

}  // namespace

const VMO1_ClientRecord& DefaultClient() {
  static const VMO1_ClientRecord client = MakeDefaultClient();
  return client;
}

int LastReplyCode() { return lastReplyCode; }
void RecordReplyCode(int code) { lastReplyCode = code; }

}  // namespace vmo1

int32_t VMO1_NewClient(VMO1_Client* client, int32_t version, int32_t, int32_t) {
  if (client == nullptr) return VMO1_INVALID_ARGUMENT;
  *client = nullptr;
  if (version != VMO1_HTTP10 && version != VMO1_HTTP11) return VMO1_INVALID_ARGUMENT;
  auto* record = new (std::nothrow) VMO1_ClientRecord(vmo1::DefaultClient());
  if (record == nullptr) return VMO1_INVALID_ARGUMENT;
  record->version = version;
  *client = record;
  return VMO1_OK;
}

int32_t VMO1_ClientOptions(VMO1_Client client, int32_t size, const void* newOptions, void* currentOptions) {
  if (size != VMO1_OPTIONS_SIZE || (newOptions == nullptr && currentOptions == nullptr)) return VMO1_INVALID_ARGUMENT;
  const VMO1_ClientRecord& record = client != nullptr ? *client : vmo1::DefaultClient();
  if (currentOptions != nullptr) std::memcpy(currentOptions, &record.options, sizeof record.options);
  if (newOptions == nullptr) return VMO1_OK;
  if (client == nullptr) return VMO1_INVALID_ARGUMENT;
  std::memcpy(&client->options, newOptions, sizeof client->options);
  client->options.userAgent[sizeof client->options.userAgent - 1] = '\0';
  return VMO1_OK;
}

int32_t VMO1_DeleteClient(VMO1_Client client) {
  delete client;
  return VMO1_OK;
}
