// The agent's road from a data provider's source to the management server, for the
// tests. Each scenario runs in a process of its own (the status monitor lives as long as
// its process, and the product specification is read once per process): the agent's DCH
// server runs in that process, brought up by the agent's own start-up steps with the
// shipped product specification (examples/ZEVPSF) and a scratch work directory; data
// providers are raw peers on loopback; the management server is the framework
// stand-in's test driver.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "raw_action_requests.h"
#include "raw_dch_peer.h"
#include "raf_driver.h"
#include "trace_capture.h"

class DCHserver;

// How long what must come is given, and what must not.
constexpr int kRoadWaitMs = 5000;
constexpr int kRoadSilenceMs = 300;

// The register text of the groups most scenarios use: a text Name (DV1) and an integer
// Count (DV2).
constexpr char kNameAndCount[] = "Name,D,8, ,the name;Count,C,4, ,a count;";

// A data provider on one TCP connection to the agent's DCH server.
class RoadProvider {
 public:
  explicit RoadProvider(unsigned short port);

  bool connected() const { return peer_.connected(); }
  // Each expects status 0.
  void registerApplication(const std::string& applName, const std::vector<rawdch::Group>& groups);
  void unregisterApplication(const std::string& applName);
  // The source's handle.
  uint32_t online(const std::string& applName, const std::string& attrGroup, const std::string& sourceName);
  void offline(uint32_t handle);
  // A row of Name and Count (control 17); the status of its reply.
  int32_t sendNameAndCount(uint32_t handle, const std::string& name, uint32_t count);
  // Parks the connection for actions of the type for the host (0x1040).
  void waitForActions(uint16_t actionType, const std::string& hostName);
  // The next action message, or an invalid one when none came within the time.
  rawdch::ActionMessage nextAction(int waitMs);
  // The data provider goes: for the server, its sources go offline.
  void close();
  // The status notices its sources have caused so far: one per online and per offline,
  // and once it is closed, one for each source that was still online.
  int notices() const;

 private:
  rawdch::TcpPeer peer_;
  int onlines_ = 0;
  int offlines_ = 0;
  bool closed_ = false;
};

class AgentRoad {
 public:
  // settings: "NAME=value" pairs set before the agent reads its environment.
  explicit AgentRoad(const std::vector<std::string>& settings);
  // Closes the data providers made here, waits for every probe to end, ends the
  // framework's open requests, then takes the agent down as its shut-down does.
  ~AgentRoad();
  AgentRoad(const AgentRoad&) = delete;
  AgentRoad& operator=(const AgentRoad&) = delete;

  // False when start-up failed (the failure is reported).
  bool started() const { return started_; }
  unsigned short port() const { return port_; }
  // A new data provider connection, closed by the tear-down at the latest.
  RoadProvider& newProvider();

  // Errors and detail of every unit, from start-up on.
  TraceCapture& trace() { return trace_; }
  // Waits until the trace holds the text at least `count` times.
  bool traced(const std::string& text, int count = 1, int waitMs = kRoadWaitMs);
  // Returns once the server has handled every request sent to it by datagram so far.
  void syncWithServer();

  // The probe of the application has built its definition and each of the groups' data
  // threads has parked at the server.
  bool definitionReady(const std::string& applName, const std::vector<std::string>& attrGroups);
  // The framework knows the subnode as online (or as offline, or not at all).
  bool subnodeOnline(const std::string& subnodeName, int waitMs = kRoadWaitMs);
  bool subnodeOffline(const std::string& subnodeName, int waitMs = kRoadWaitMs);
  bool subnodeGone(const std::string& subnodeName, int waitMs = kRoadWaitMs);
  // Every probe started has ended.
  bool probesEnded(int waitMs = kRoadWaitMs);
  // The status monitor has handled every notice the data providers have caused.
  bool noticesHandled(int waitMs = kRoadWaitMs);
  // Records of the table filed (or refused) by its data thread for the source, in all.
  bool filed(const std::string& tableName, const std::string& sourceName, int count);

 private:
  TraceCapture trace_;
  std::string workDirectory_;
  unsigned short port_ = 0;
  std::unique_ptr<DCHserver> server_;
  std::vector<std::unique_ptr<RoadProvider>> providers_;
  bool started_ = false;
};

// The table name of a group: key, group checksum, release.
std::string TableOf(const std::string& applName, const std::string& attrGroup, const std::string& RR = "00");
// The manager's application name: the application with its release.
inline std::string ApplicationOf(const std::string& applName, const std::string& RR = "00") { return applName + RR; }

// A request of the management server on a group's table for the subnodes.
raf::RequestSpec Request(const std::string& applName, const std::string& attrGroup,
                         const std::vector<std::string>& subnodes, int sampleType = 3,
                         const std::string& situation = "");

// One sample's rows, each as column 0 (the origin node, 32 bytes), Name (8 bytes) and
// Count; "closed" when the request has ended.
struct NameAndCountRow {
  std::string originNode;
  std::string name;  // up to its first NUL, without trailing blanks
  int32_t count = 0;
};
std::vector<NameAndCountRow> SampleRows(uint32_t handle);
std::vector<NameAndCountRow> RowsOf(const std::vector<std::string>& rows);

// Runs one scenario in a child process, with a watchdog, the agent started with the
// settings; the child's failures fail the test.
void RunScenario(const std::vector<std::string>& settings, const std::function<void(AgentRoad&)>& scenario);
