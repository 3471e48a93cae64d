// Test double of the data-provider engine's register-body builder: the metafile name stands
// for the application, with one attribute group; a name beginning with "missing" gives no
// request, as a metafile without a model does.
#include <cstring>

#include "dch/dp_register_buffer.h"
#include "dch_messages.h"
#include "zev0/storage.h"

int ZEVP_ConstructDPregisterBuffer(const char* metafileName, char** body) {
  if (metafileName == nullptr || strncmp(metafileName, "missing", 7) == 0) return 0;
  char request[DCH_REQUEST_BUFFER_SIZE];
  DCHmessageBuilder message(request, sizeof request);
  if (!DCH_AddRegisterHead(message, metafileName, "help of the application") ||
      !DCH_AddRegisterGroup(message, "GROUP", "help of the group", 'P', 300, "@NAME,D,32, , ;VALUE,G,4, , ;"))
    return 0;
  uint32_t length = message.length();
  char* block = static_cast<char*>(ZEV0_GetStorage(static_cast<int32_t>(length)));
  if (block == nullptr) return 0;
  memcpy(block, request, length);
  *body = block;
  return static_cast<int>(length);
}
