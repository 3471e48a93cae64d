// The road of a row into the row store, for the tests: the DCH server in its host
// program on loopback, a raw data provider registering applications and sending rows
// there, and in this process the applications' definitions built from that server,
// whose tables' data threads file the rows into the row lists of a sample registry.
// The status monitor's part (recording sources online) is played by the test.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "data_list.h"
#include "definition_fixture.h"
#include "raw_dch_peer.h"
#include "row_collector.h"
#include "samples_list.h"
#include "table_manager_list.h"

class userDataList;

// How long what must happen is waited for, at most (the waits end when it happens).
constexpr int kMustHappenMs = 10000;

// An attribute of a data request: a text, or a counter when `text` is null.
struct Value {
  const char* attrName;
  const char* text;
  uint32_t counter = 0;
};

class DataThreadTest : public DefinitionRoadTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Builds the application's definition; its tables' threads have parked at the server.
  std::unique_ptr<userDataList> Build(const std::string& applName);
  // The table name of a group of the definition.
  static std::string TableOf(const userDataList& definition, const std::string& attrGroup);

  // The data provider puts the source online; with `record` the status monitor then
  // records it in the registry. The source's handle.
  uint32_t Online(const userDataList& definition, const std::string& attrGroup, const std::string& sourceName,
                  bool record = true);
  // As the status monitor records a source of a group in the registry.
  void Record(const userDataList& definition, const std::string& attrGroup, const std::string& sourceName);
  // A data request of the source; the status of its reply.
  int32_t Send(uint32_t handle, uint16_t controlField, const std::vector<Value>& values);

  // The row list of a source, once its data thread has made it (null after the time).
  std::shared_ptr<dataList> ListOf(const userDataList& definition, const std::string& attrGroup,
                                   const std::string& sourceName);
  // Waits until the data thread of the group has filed (or refused) `count` records of
  // the source in all.
  bool Filed(const userDataList& definition, const std::string& attrGroup, const std::string& sourceName, int count);
  // The rows a sample hands to a request (without last sample time).
  std::vector<std::string> Emitted(dataList& list, const char* originNode = "ORIGIN");

  samplesList& registry() { return *registry_; }
  rawdch::TcpPeer& provider() { return *provider_; }

 private:
  std::unique_ptr<samplesList> registry_;
  std::unique_ptr<rawdch::TcpPeer> provider_;
  std::unique_ptr<CollectorManager> collectorManager_;
  std::unique_ptr<OpenedRequest> collector_;
};
