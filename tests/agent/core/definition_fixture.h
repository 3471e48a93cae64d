// The road of an application definition for the tests: the DCH server in its host
// program on loopback, a raw data provider registering applications there, and the
// agent's definitions built in this process from what the server then holds, with a
// table-manager registry of their own and the framework stand-in.
//
// The product specification (the default product) and the work directory are settled
// once per test program (work_directory.h).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dch_road_fixture.h"
#include "eventually.h"
#include "raw_dch_peer.h"
#include "trace_capture.h"
#include "work_directory.h"

class tableManagerList;
class userDataList;
class zev_dorvan_manager;

// Waits up to waitMs, polling, until the condition holds; its last result.
inline bool Eventually(const std::function<bool()>& condition) { return Eventually(condition, kAnswerWaitMs); }

class DefinitionRoadTest : public DCHroadTest {
 protected:
  // The host's rows reach a table's data thread: every test gets a fresh registry with an
  // empty registry work file.
  void SetUp() override;
  void TearDown() override;
  ~DefinitionRoadTest() override;

  // Registers the application through the test's data provider (status 0 expected).
  void registerApplication(const std::string& applName, const std::vector<rawdch::Group>& groups,
                           const std::string& applHelp = "appl help");
  void unregisterApplication(const std::string& applName);
  // Puts a source of the group online and sends it rows, one at a time, until the trace
  // tells that a data thread of that table received one (or the time is up).
  bool rowReachesDataThread(const std::string& applName, const std::string& attrGroup, const std::string& tableName);

  tableManagerList& registry() { return *registry_; }
  // Errors and detail of every unit, from SetUp on.
  TraceCapture& trace() { return *trace_; }

 private:
  std::unique_ptr<TraceCapture> trace_;
  std::unique_ptr<rawdch::TcpPeer> peer_;
  std::unique_ptr<tableManagerList> registry_;
  // The agent leaves its table managers to the framework for the process's life; a test
  // ends those of its registry once the descriptions that name them (a derived test's
  // members) are gone, so that the next test in the process starts clean.
  std::vector<zev_dorvan_manager*> managers_;
};
