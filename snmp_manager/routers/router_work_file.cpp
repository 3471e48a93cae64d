#include "router_work_file.h"

#include <arpa/inet.h>

#include <cctype>
#include <cerrno>
#include <cstring>

#include "debug_switches.h"
#include "network_configuration_block.h"
#include "router_list.h"
#include "zevs/network_records.h"

TRC_UNIT();

namespace {

// Passes over the rest of a line that did not fit the buffer.
void SkipRestOfLine(FILE* file) {
  int character = 0;
  while ((character = std::fgetc(file)) != EOF && character != '\n') {
  }
}

void RegisterLine(const char* line) {
  const char* comma = std::strchr(line, ',');
  const size_t length = comma != nullptr ? static_cast<size_t>(comma - line) : std::strcspn(line, "\r\n");
  char text[INET_ADDRSTRLEN] = "";
  sockaddr_in address{};
  address.sin_family = AF_INET;
  if (length >= sizeof text) return;
  std::memcpy(text, line, length);
  text[length] = '\0';
  if (inet_pton(AF_INET, text, &address.sin_addr) != 1) {
    TRC(TRC_ERROR, "***** Router address <%s> of the router configuration file ignored", text);
    return;
  }
  ZEVS_UpdateDiscoveredRouter(&address, ZEVS_ROUTER_VERIFY);
}

}  // namespace

namespace zevs {

int ReadRouterLines(FILE* file, NetworkConfigurationBlock* block) {
  char line[kRouterFileLineMax + 1];
  int read = 0;
  while (block->shutdown.load() == 0 && std::fgets(line, sizeof line, file) != nullptr) {
    ++read;
    const bool whole = std::strchr(line, '\n') != nullptr || std::feof(file);
    if (!whole) {
      SkipRestOfLine(file);
      continue;
    }
    if (std::isdigit(static_cast<unsigned char>(line[0]))) RegisterLine(line);
  }
  return read;
}

}  // namespace zevs

void ZEVS_WriteRouterConfigToExt(NetworkConfigurationBlock* block) {
  FILE* file = std::fopen(block->routerWorkFileName, "we");
  if (file == nullptr) {
    TRC(TRC_ERROR, "***** Router configuration file %s open failed, errno %d", block->routerWorkFileName, errno);
    return;
  }
  std::fprintf(file, "%s\n", zevs::kRouterFileHeader);
  int written = 0;
  BSV1_GetLock(&block->routerListLock);
  for (RouterEntry* router = block->routers; router != nullptr; router = router->next) {
    // A line of its own: the network work file's writer shares the block's buffer.
    char line[ZEVS_LINE_BUFFER_SIZE];
    BSV1_GetLock(&router->lock);
    std::snprintf(line, sizeof line, "%s,%.*s,\n", router->addressText,
                  static_cast<int>(sizeof line - sizeof router->addressText - 4), router->name);
    BSV1_ReleaseLock(&router->lock);
    std::fputs(line, file);
    ++written;
  }
  BSV1_ReleaseLock(&block->routerListLock);
  std::fclose(file);
  ZEVS_TRC(ZEVS_DEBUG_Route, TRC_DETAIL, "%d router records written to router configuration file", written);
}

void ZEVS_ReadRouterConfigFromExt(NetworkConfigurationBlock* block) {
  FILE* file = std::fopen(block->routerWorkFileName, "re");
  if (file == nullptr) {
    TRC(TRC_ERROR, "Router configuration file %s open failed, ErrorText <%s>. Load router configuration bypassed",
        block->routerWorkFileName, std::strerror(errno));
    return;
  }
  const int read = zevs::ReadRouterLines(file, block);
  std::fclose(file);
  ZEVS_TRC(ZEVS_DEBUG_Route, TRC_DETAIL, "%d router records loaded from router configuration file", read);
}
