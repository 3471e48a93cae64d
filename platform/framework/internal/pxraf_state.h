// The inside of a request object and the framework's access to it (internal to the
// framework).
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "pxraf.h"
#include "raf_driver.h"

struct Pxraf::State {
  raf::RequestSpec spec;
  uint32_t handle = 0;
  bool automation = false;
  TableManager* manager = nullptr;

  size_t nextSubnode = 0;
  char subnode[RAF_SUBNODE_NAME_LENGTH + 1] = {};
  size_t nextFilter = 0;

  // Rows and event batches; the lock is a leaf: nothing else is taken under it.
  std::mutex rowsLock;
  int rowSize = 0;
  int allocationDefault = 1;
  int rowsAllocated = 0;
  std::vector<std::unique_ptr<char[]>> rows;
  std::vector<std::vector<std::string>> batches;

  // The outcome of the last automation command.
  int commandResults = 0;
  bool commandFinished = false;
};

// What the framework does to a request beside its public calls.
struct PxrafInternals {
  static Pxraf::State& state(Pxraf* request) { return *request->state_; }
  // The rows held, as bytes; the request keeps them.
  static std::vector<std::string> rows(Pxraf* request);
  // The rows held, which the request then forgets.
  static std::vector<std::string> takeRows(Pxraf* request);
  // Replaces the rows held with these (each cut or padded to the row size).
  static void replaceRows(Pxraf* request, const std::vector<std::string>& rows);
  static std::vector<std::vector<std::string>> takeBatches(Pxraf* request);
};
