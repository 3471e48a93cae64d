// Rows a second of a MIB table walk as the SNMP worker walks it (a GetNext for the
// next row, a Get per column) against Debian's snmpd, over snmpwalk -v1 of the same
// columns of the same snmpd in the same run: the ifTable of a few hundred veth
// interfaces in a network namespace of the bench's own. The collector's pause of a
// second after every tenth row sent is its brake on the DCH, not part of the walk:
// the ratio leaves it out, and the rate it paces the walk to is printed beside.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "attribute_entry.h"
#include "mib_row_step.h"
#include "net_snmp.h"
#include "network_namespace.h"
#include "ratio.h"
#include "scratch_directory.h"
#include "snmp_pdu.h"
#include "tool_process.h"
#include "trc1.h"
#include "zev0/ber.h"
#include "zev0/sockets.h"
#include "zev0/storage.h"

namespace {

constexpr char kAgent[] = "10.77.0.1";
constexpr int kInterfaces = 300;
constexpr int kRowsBeforePause = 10;
const std::vector<std::string> kColumns = {"1.3.6.1.2.1.2.2.1.1", "1.3.6.1.2.1.2.2.1.2", "1.3.6.1.2.1.2.2.1.3",
                                           "1.3.6.1.2.1.2.2.1.8"};

bool AddInterfaces() {
  ScratchDirectory scratch("zev_mib_bench");
  std::string batch;
  for (int i = 0; i < kInterfaces / 2; ++i)
    batch += "link add zevva" + std::to_string(i) + " type veth peer name zevvb" + std::to_string(i) + "\n";
  scratch.write("links", batch);
  ToolRun run = RunTool("/usr/sbin/ip", {"-batch", scratch.path() + "/links"});
  if (run.exitStatus != 0) std::fprintf(stderr, "mib_walk_bench: ip: %s\n", run.errors.c_str());
  return run.exitStatus == 0;
}

// Text columns of the walk, as the worker's attributes carry them.
struct Column {
  std::vector<char> storage;
  std::string oid;
  AttributeEntry* attribute() { return reinterpret_cast<AttributeEntry*>(storage.data()); }
};

std::vector<Column> Columns() {
  std::vector<Column> columns(kColumns.size());
  for (size_t i = 0; i < kColumns.size(); ++i) {
    columns[i].oid = kColumns[i];
    columns[i].storage.assign(static_cast<size_t>(ZEVP_AttributeEntrySize(64)), 0);
    AttributeEntry* attribute = columns[i].attribute();
    attribute->AttrType = 'D';
    attribute->MaxValSize = 64;
    attribute->AttrOIDstring = columns[i].oid.data();
  }
  return columns;
}

// One walk of the table; the rows it found.
long WalkTable(int socket, const sockaddr_in& agent, std::vector<Column>& columns, int32_t* requestID) {
  char buffer[ZEVP_SNMP_BUFFER_SIZE];
  char instance[ZEVP_SNMP_INSTANCE_SIZE] = "";
  long rows = 0;
  for (;;) {
    const std::string next = columns.front().oid + instance;
    char* oid = nullptr;
    int32_t oidLength = 0;
    if (ZEV0_FormatOIDfromString(next.c_str(), &oid, &oidLength) == 0) break;
    ++*requestID;
    int32_t length = ZEVP_SNMPconstructPDUbuffer(buffer, sizeof buffer, ZEVP_SNMP_GETNEXT_REQUEST, oid, oidLength,
                                                 nullptr, 0, *requestID, "public");
    ZEV0_FreeStorage(&oid);
    if (ZEVP_SNMPretrieveCurrentVarInstance(socket, buffer, length, sizeof buffer, instance, *requestID, &agent,
                                            columns.front().oid.c_str()) == 0)
      break;
    int32_t loaded = 0;
    for (Column& column : columns)
      ZEVP_SNMPgetColumnValue(socket, buffer, &agent, "public", requestID, column.attribute(), instance, kAgent,
                              &loaded);
    if (loaded > 0) ++rows;
  }
  return rows;
}

// snmpwalk of each column; the rows (the lines of the first column).
long SnmpwalkTable(const std::string& target) {
  long rows = 0;
  for (size_t i = 0; i < kColumns.size(); ++i) {
    ToolRun walk = SnmpWalk(target, "public", kColumns[i]);
    if (walk.exitStatus != 0) return 0;
    if (i == 0)
      for (char c : walk.output) rows += c == '\n' ? 1 : 0;
  }
  return rows;
}

LoopPass Walks(const std::function<long()>& walk) {
  return [walk](std::chrono::steady_clock::time_point until) {
    long rows = 0;
    do {
      long found = walk();
      if (found == 0) break;
      rows += found;
    } while (std::chrono::steady_clock::now() < until);
    return rows;
  };
}

void Measure() {
  if (!AddInterfaces()) return;
  SnmpAgentSettings settings;
  settings.address = kAgent;
  SnmpAgentProcess snmpd(settings);
  if (!snmpd.start()) {
    std::fprintf(stderr, "mib_walk_bench: %s\n", snmpd.failure().c_str());
    return;
  }
  sockaddr_in agent{};
  agent.sin_family = AF_INET;
  agent.sin_port = htons(161);
  inet_pton(AF_INET, kAgent, &agent.sin_addr);
  sockaddr_in local{};
  int socket = ZEV0_OpenLocalSocket(SOCK_DGRAM, 0, &local, 0);
  std::vector<Column> columns = Columns();
  int32_t requestID = 0;

  const auto started = std::chrono::steady_clock::now();
  const long rows = WalkTable(socket, agent, columns, &requestID);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  const double paced = rows / (seconds + static_cast<double>(rows / kRowsBeforePause));

  const double ratio = MedianRatio(Walks([&] { return SnmpwalkTable(snmpd.target()); }),
                                   Walks([&] { return WalkTable(socket, agent, columns, &requestID); }), 5,
                                   std::chrono::milliseconds(1500));
  char note[160];
  std::snprintf(note, sizeof note, "%ld rows of 4 columns; paced by the 10-row pause: %.1f rows/s", rows, paced);
  PrintRatio("MIB table walk rows / snmpwalk -v1 rows", ratio, note);
  ZEV0_CloseTheSocket(socket);
}

}  // namespace

int main() {
  TRC1_Configure("*=0");
  RunInNetworkNamespace({{kAgent}, ""}, Measure);
  return 0;
}
