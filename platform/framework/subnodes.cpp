// Subnodes: registered, deregistered and deleted by the agent as its sources come and go.
#include "internal/subnodes.h"

#include <cstring>
#include <mutex>

#include "internal/failures.h"
#include "internal/text_of.h"
#include "pxraf.h"
#include "raf_status.h"
#include "trc1.h"

TRC_UNIT();

namespace {

std::mutex subnodesLock;
std::vector<raf::Subnode> known;

bool validName(const char* name) {
  return name != nullptr && name[0] != '\0' && std::strlen(name) <= RAF_SUBNODE_NAME_LENGTH;
}

raf::Subnode* find(const char* name) {
  for (raf::Subnode& subnode : known)
    if (subnode.name == name) return &subnode;
  return nullptr;
}

}  // namespace

int RAF_Subnode_Register(const char* subnode, const char* affinity, const char* application, const char* version) {
  if (raf::FailureDue(raf::Failure::SubnodeRegister)) return RAF_SUBNODE_FAILED;
  if (!validName(subnode)) {
    TRC(TRC_ERROR, "Error: subnode name <%s> is empty or longer than %d characters", raf::TextOf(subnode).c_str(),
        RAF_SUBNODE_NAME_LENGTH);
    return RAF_SUBNODE_FAILED;
  }
  std::lock_guard<std::mutex> guard(subnodesLock);
  raf::Subnode* registered = find(subnode);
  if (registered == nullptr) {
    known.emplace_back();
    registered = &known.back();
    registered->name = subnode;
  }
  registered->affinity = raf::TextOf(affinity);
  registered->application = raf::TextOf(application);
  registered->version = raf::TextOf(version);
  registered->online = true;
  return 0;
}

int RAF_Subnode_Deregister(const char* subnode) {
  if (raf::FailureDue(raf::Failure::SubnodeDeregister)) return RAF_SUBNODE_FAILED;
  std::lock_guard<std::mutex> guard(subnodesLock);
  raf::Subnode* registered = subnode != nullptr ? find(subnode) : nullptr;
  if (registered == nullptr || !registered->online) return RAF_SUBNODE_FAILED;
  registered->online = false;
  return 0;
}

int RAF_Subnode_Delete(const char* subnode) {
  if (raf::FailureDue(raf::Failure::SubnodeDelete)) return RAF_SUBNODE_FAILED;
  std::lock_guard<std::mutex> guard(subnodesLock);
  for (auto it = known.begin(); it != known.end(); ++it)
    if (subnode != nullptr && it->name == subnode) {
      known.erase(it);
      return 0;
    }
  return RAF_SUBNODE_FAILED;
}

int RAF_Subnode_SendRequest() { return raf::FailureDue(raf::Failure::SubnodeSendRequest) ? RAF_SEND_FAILED : 0; }

namespace raf {

std::vector<Subnode> Subnodes() {
  std::lock_guard<std::mutex> guard(subnodesLock);
  return known;
}

bool SubnodeOnline(const std::string& name) {
  std::lock_guard<std::mutex> guard(subnodesLock);
  const Subnode* registered = find(name.c_str());
  return registered != nullptr && registered->online;
}

void ForgetSubnodes() {
  std::lock_guard<std::mutex> guard(subnodesLock);
  known.clear();
}

}  // namespace raf
