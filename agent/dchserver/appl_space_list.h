// The DCH server's store: every registered application, its attribute groups
// and their sources, each source's handle, status and current values, and the
// texts consumers ask for. Only the server's request thread touches it: it has
// no lock.
//
// Results that are texts point into the store or into its result buffer (valid
// until the next call that fills it); texts handed over for the caller to free
// come from ZEV0_GetStorage.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "agent_ring.h"
#include "appl_space_entry.h"
#include "handle_sequence.h"

using applSpaceIterator = RingIterator<applSpaceEntry>;

// The agent's own action-log application, which a lost connection never unregisters.
constexpr char DCH_ACTION_LOG_APPLICATION[] = "DVAGENT";

// One of the server's own request handlers, given a message built by the store
// as if it had arrived; returns the handler's status.
using DCHrequestHandler = std::function<int(char* message)>;
// Tells one status consumer the state of one source (requestType 0x1015 online,
// 0x1025 offline).
using DCHstatusNotifier =
    std::function<void(const char* applName, const char* attrGroup, const char* sourceName, short requestType)>;

class applSpaceList {
 public:
  applSpaceList() = default;
  ~applSpaceList();
  applSpaceList(const applSpaceList&) = delete;
  applSpaceList& operator=(const applSpaceList&) = delete;

  int noOfElements() const { return applications_.count(); }
  const Ring<applSpaceEntry>& applications() const { return applications_; }

  // Registers one attribute group under the placeholder source "<applName>_<n>".
  // 0; 1 when the application existed and initFlag is set; -1 on failure.
  int allocApplicationSpace(const char* applName, const char* attrGroup, char sampleType, int32_t TTL,
                            const char* attrRegister, short initFlag, unsigned int connectedDP);
  // 0 deleted; 3 refused, a source is online; -1 no such application.
  int freeApplicationSpace(const char* applName);

  applSpaceEntry* searchApplSpace(const char* applName) const;
  attrInfoList* searchAttrInfoList(uint32_t handle) const;
  // The group's list of that source; giving the application name as source name
  // matches every source name that begins with it (the registration placeholder).
  attrInfoList* searchAttrInfoList(const char* applName, const char* attrGroup, const char* sourceName) const;
  int searchHandle(uint32_t handle) const;
  // Copies out the first list of the group: its sample type, TTL, connection and a
  // new copy of its register text (ZEV0_GetStorage; *attrRegister must be null on
  // entry). The application, or null.
  applSpaceEntry* searchApplNameAttrGroup(const char* applName, const char* attrGroup, char* sampleType, int32_t* TTL,
                                          char** attrRegister, unsigned int* connectedDP) const;
  // Gives the new source name to the group's list whose source name is exactly
  // the application name. 0; 4 no such application; 5 no such list.
  int setSourceName(const char* applName, const char* attrGroup, const char* sourceName);
  // The handle of that exact source, or DCH_NO_HANDLE.
  uint32_t getHandle(const char* applName, const char* attrGroup, const char* sourceName) const;
  // 0, or 1 when no list has the handle.
  int markOnline(uint32_t handle, unsigned int connectedDP);
  int markOffline(uint32_t handle);
  int numberOnline(const char* applName, const char* attrGroup) const;
  // The names of the handle's list in the result buffer, or null.
  const char* getApplName(uint32_t handle);
  const char* getAttrGroup(uint32_t handle);
  const char* getSourceName(uint32_t handle);

  // Stores copies of the three texts. 0, or -1 (no such application, or a text missing).
  int setApplInfo(const char* applName, const char* applInfo, const char* attrInfo, const char* applHelp);
  // The application's info text in the result buffer; with a null name the info
  // texts of all applications joined. Null when there is none.
  const char* getApplInfo(const char* applName);
  const char* getAttrInfo(const char* applName) const;
  const char* getApplHelp(const char* applName) const;
  // 0 (also when the text could not be built), or 1 when the application or the
  // group is missing (*text then unchanged).
  int getAttributeHelp(const char* applName, const char* attrGroup, char** text) const;

  // Value operations on the handle's list.
  // 0, or 2 when no list has the handle.
  int putData(uint32_t handle, uint16_t controlField, const char* attrName, const char* value, uint32_t length);
  // The row's total length; -1 when no list has the handle or no row was built.
  int getData(char** buffer, int bufferLength, uint32_t handle, short withSourceName);
  // 0, or -1 when no list has the handle.
  int clearValues(uint32_t handle);
  // '?' when no list has the handle (or no attribute the name).
  char getAttrType(uint32_t handle, const char* attrName) const;
  char getDataType(uint32_t handle) const;

  // Tells a new status consumer the state of every source that has been online.
  int sendCurrentStatus(const DCHstatusNotifier& notify) const;
  // Puts every source online through this connection offline, through the
  // server's offline handler.
  void sendOffline(const DCHrequestHandler& dpOffline, unsigned int connectedDP);
  // Unregisters, through the server's unregister handler, every application but
  // DVAGENT that has a list registered or put online through this connection.
  void deregisterDP(const DCHrequestHandler& dpUnregister, unsigned int connectedDP);

  // Deletes every application, whatever the status of its sources.
  void emptyList();
  void printList() const;

 private:
  int addGroup(applSpaceEntry* application, const char* attrGroup, const char* placeholder, char sampleType,
               int32_t TTL, const char* attrRegister, unsigned int connectedDP);
  const char* keepResult(const char* text);

  Ring<applSpaceEntry> applications_;
  uint32_t sourceCounter_ = 0;
  std::string resultBuffer_;
};
