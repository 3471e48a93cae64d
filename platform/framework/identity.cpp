// The agent's identity, its loader and its command callbacks.
#include "internal/identity.h"

#include <map>
#include <mutex>

#include "internal/text_of.h"
#include "raf_driver.h"

namespace {

std::mutex identityLock;
raf::Identity identity;
RAF_AgentLoader agentLoader = nullptr;
std::map<std::string, RAF_CommandCallback> callbacks;

}  // namespace

int RAF_SetNodeType(const char* nodeType) {
  std::lock_guard<std::mutex> guard(identityLock);
  identity.nodeType = raf::TextOf(nodeType);
  return 0;
}

int RAF_SetAffinity(const char* affinity) {
  std::lock_guard<std::mutex> guard(identityLock);
  identity.affinity = raf::TextOf(affinity);
  return 0;
}

int RAF_SetProduct(const char* productCode, const char* version) {
  std::lock_guard<std::mutex> guard(identityLock);
  identity.productCode = raf::TextOf(productCode);
  identity.version = raf::TextOf(version);
  return 0;
}

int RAF_RegisterAgentLoader(RAF_AgentLoader loader) {
  std::lock_guard<std::mutex> guard(identityLock);
  agentLoader = loader;
  return 0;
}

int RAF_RegisterCommandCallback(const char* pattern, RAF_CommandCallback callback) {
  std::lock_guard<std::mutex> guard(identityLock);
  if (callback != nullptr)
    callbacks[raf::TextOf(pattern)] = callback;
  else
    callbacks.erase(raf::TextOf(pattern));
  return 0;
}

namespace raf {

RAF_AgentLoader CurrentAgentLoader() {
  std::lock_guard<std::mutex> guard(identityLock);
  return agentLoader;
}

RAF_CommandCallback CallbackFor(const std::string& pattern) {
  std::lock_guard<std::mutex> guard(identityLock);
  auto found = callbacks.find(pattern);
  return found != callbacks.end() ? found->second : nullptr;
}

Identity CurrentIdentity() {
  std::lock_guard<std::mutex> guard(identityLock);
  Identity current = identity;
  current.agentLoader = agentLoader != nullptr;
  for (const auto& callback : callbacks) current.commandPatterns.push_back(callback.first);
  return current;
}

void ForgetIdentity() {
  std::lock_guard<std::mutex> guard(identityLock);
  identity = Identity();
  agentLoader = nullptr;
  callbacks.clear();
}

}  // namespace raf
