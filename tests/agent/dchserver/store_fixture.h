// Helpers for the tests of the DCH server's store: registration and online as
// the server's handlers drive them.
#pragma once

#include <gtest/gtest.h>

#include "appl_space_list.h"
#include "zev0/storage.h"

constexpr char kTwoAttributes[] = "NAME,D,8, , ;CNT,C,4, , ;";

inline int registerGroup(applSpaceList& store, const char* applName, const char* attrGroup, short initFlag = 0,
                         unsigned int connectedDP = 5) {
  return store.allocApplicationSpace(applName, attrGroup, 'P', 60, kTwoAttributes, initFlag, connectedDP);
}

// A list of its own for the source, made from the group's registration and put
// online: what the online handler does for a new source.
inline uint32_t bringOnline(applSpaceList& store, const char* applName, const char* attrGroup, const char* sourceName,
                            unsigned int connectedDP = 5) {
  char sampleType = 0;
  int32_t TTL = 0;
  char* attrRegister = nullptr;
  unsigned int registeredBy = 0;
  applSpaceEntry* application =
      store.searchApplNameAttrGroup(applName, attrGroup, &sampleType, &TTL, &attrRegister, &registeredBy);
  EXPECT_NE(application, nullptr);
  if (application == nullptr) return DCH_NO_HANDLE;
  uint32_t handle =
      application->allocateAttrInfoList(attrGroup, sourceName, sampleType, TTL, attrRegister, registeredBy, '?');
  ZEV0_FreeStorage(&attrRegister);
  EXPECT_EQ(store.markOnline(handle, connectedDP), 0);
  return handle;
}
