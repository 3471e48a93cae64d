// The agent program zeva350 end to end, against a bare loopback TCP request/reply loop of
// the same message sizes measured in the same run: rows per second that a data provider
// sends over TCP into the agent (each data request waits for its status, while the agent's
// data thread files the rows into the row store), rows per second that come out of the
// row store through samples of the framework's port, the rows sent against the rows a
// sample gives back, and the agent's idle resident memory. Beside each rows figure, the
// processor time per row of the agent and of this program (the data provider, the
// sampler) against the bare loop's per exchange. Last, the cost of zeva350 FILE at rest
// on the shipped example: its processor time over half a minute and its memory.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include "agent_process.h"
#include "bare_loops.h"
#include "raw_dch_peer.h"
#include "ratio.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kStatusReplySize = 14;
constexpr size_t kOnlineReplySize = 24;
constexpr char kApplName[] = "BENCH";
constexpr char kManagerName[] = "BENCH00";
constexpr char kGroup[] = "ROWS";
constexpr char kSource[] = "SRC0";
constexpr int kStartWaitMs = 20000;
constexpr int kSettleWaitMs = 10000;
constexpr auto kPoll = std::chrono::milliseconds(100);
constexpr auto kIdleSpan = std::chrono::seconds(30);
constexpr auto kIdleSettle = std::chrono::seconds(3);
constexpr char kExampleManager[] = "HOSTLOAD00";

const std::string kStatusZero = rawdch::Hex("0000000e 0000000a 0011 00000000");

int Fail(const char* what, const AgentProcess& agent) {
  std::fprintf(stderr, "agent_bench: %s\n%s", what, agent.traceText().c_str());
  return 1;
}

// One request line to the framework's port; its answer whole (empty when none came).
std::string AskPort(unsigned short port, const std::string& line) {
  int sockFD = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = rawdch::LoopbackAddress(port);
  std::string answer;
  if (sockFD >= 0 && connect(sockFD, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      send(sockFD, line.data(), line.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(line.size())) {
    char buffer[65536];
    for (ssize_t got; (got = recv(sockFD, buffer, sizeof buffer, 0)) > 0;) answer.append(buffer, got);
  }
  if (sockFD >= 0) close(sockFD);
  return answer;
}

// The lines of an OK answer after its first ("OK\tn"); -1 for an error answer.
long AnswerLines(const std::string& answer) {
  if (answer.compare(0, 3, "OK\t") != 0) return -1;
  long lines = 0;
  for (char c : answer) lines += c == '\n';
  return lines - 1;
}

// The table that the agent made for the group, once its subnode is registered.
std::string WaitForTable(const AgentProcess& agent) {
  const std::string subnode = std::string(kSource) + ":" + kManagerName;
  auto deadline = Clock::now() + std::chrono::milliseconds(kStartWaitMs);
  while (Clock::now() < deadline) {
    std::string tables = AskPort(agent.rafPort(), "tables\n");
    size_t at = tables.find(std::string(kManagerName) + "\t");
    if (at != std::string::npos && AskPort(agent.rafPort(), "subnodes\n").find(subnode + "\t") != std::string::npos) {
      size_t start = at + std::string(kManagerName).size() + 1;
      return tables.substr(start, tables.find('\n', start) - start);
    }
    std::this_thread::sleep_for(kPoll);
  }
  return {};
}

// A data request of the source with this count.
std::string Row(uint32_t handle, uint32_t count) {
  rawdch::Message row = rawdch::DataRequest(handle, 0x11);
  row.text(rawdch::kAttrName, "NAME").text(rawdch::kAttrValue, "bench").text(rawdch::kAttrName, "CNT");
  return row.u32(rawdch::kAttrValue, count).bytes();
}

std::string FileText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// zeva350 FILE on the shipped example as make run starts it: the example's product
// file (ZEVPSF), metafile and start-up configuration, its two data files in the
// agent's folder, where it runs (the sources name them relative to it). Once the
// example's tables are there, the agent's processor time over half a minute at rest,
// as a share of one core, and its resident memory then.
int IdleExample() {
  AgentProcess agent;
  const std::string folder = agent.directory();
  std::ofstream(folder + "ZEVPCNFG") << FileText(ZEV_EXAMPLES_DIR "/ZEVPCNFG");
  std::ofstream(folder + "loadavg.txt") << "0.10 0.20 0.30 1/100 4242\n";
  std::ofstream(folder + "meminfo.txt") << "MemTotal 16000000\nMemFree 8000000\n";
  if (!agent.start({"FILE"}, {"ZEV_PRODSPEC_PATH=" ZEV_EXAMPLES_DIR "/", "ZEV_PRODSPEC_NAME=ZEVPSF",
                              "ZEVP_META_PATH=" ZEV_EXAMPLES_DIR, "ZEV_TRACE=*=0x80 >" + folder + "agent.trc"}))
    return Fail("the example's agent did not start", agent);
  auto deadline = Clock::now() + std::chrono::milliseconds(kStartWaitMs);
  while (AskPort(agent.rafPort(), "tables\n").find(kExampleManager) == std::string::npos) {
    if (Clock::now() > deadline) return Fail("the example's tables did not come", agent);
    std::this_thread::sleep_for(kPoll);
  }
  std::this_thread::sleep_for(kIdleSettle);
  const CpuClock agentCpu({agent.pid()});
  double before = agentCpu.seconds();
  Clock::time_point start = Clock::now();
  std::this_thread::sleep_for(kIdleSpan);
  double share = (agentCpu.seconds() - before) / std::chrono::duration<double>(Clock::now() - start).count();
  std::printf("%-70s %5.2f %% of a core, %ld kB resident\n", "idle cpu of zeva350 FILE on the shipped example, 30 s",
              share * 100, agent.residentKilobytes());
  return agent.terminate(kStartWaitMs) == 0 ? 0 : Fail("the example's agent did not end cleanly", agent);
}

}  // namespace

int main() {
  AgentProcess agent;
  // Errors only in the trace; every row of a table in the first sample of a request.
  if (!agent.start({"NODP"}, {"ZEV_TRACE=*=0x80 >" + agent.directory() + "agent.trc", "ZEVA_EMIT_DUP_REC=0"}))
    return Fail(agent.failure().c_str(), agent);
  if (!agent.waitForTrace("startup complete.", kStartWaitMs)) return Fail("the agent did not start", agent);
  std::this_thread::sleep_for(std::chrono::seconds(1));
  std::printf("%-70s %6ld kB\n", "idle resident memory of zeva350 NODP", agent.residentKilobytes());

  BareClient provider(agent.dchPort(), true);
  rawdch::Group group{kGroup, "bench rows", 'S', 3600, "NAME,D,8, ,the name;CNT,C,4, ,a count;"};
  if (provider.exchange(rawdch::RegisterRequest(kApplName, "bench", {group}), kStatusReplySize) != kStatusZero)
    return Fail("the application was not registered", agent);
  rawdch::StatusReply online = rawdch::ReadStatusReply(
      provider.exchange(rawdch::OnlineRequest(kApplName, kGroup, kSource), kOnlineReplySize));
  if (!online.valid || online.status != 0) return Fail("the source did not come online", agent);
  const std::string table = WaitForTable(agent);
  if (table.empty()) return Fail("the group's table was not registered", agent);

  BareServer statusServer(kStatusZero);
  BareClient bare(statusServer.port(), true);
  const std::string sameSize = Row(online.handle, 0);
  auto bareRow = Repeat([&] { return bare.exchange(sameSize, kStatusReplySize) == kStatusZero; });
  uint32_t sent = 0;
  auto rowIn = Repeat([&] {
    if (provider.exchange(Row(online.handle, sent + 1), kStatusReplySize) != kStatusZero) return false;
    ++sent;
    return true;
  });
  const CpuClock bareCpu;
  const CpuClock agentCpu({0, agent.pid()});
  PrintComparison("rows/s in: a data provider over TCP into zeva350 / bare TCP loop",
                  CompareLoops({bareRow, bareCpu}, {rowIn, agentCpu}), "row");

  // The data thread files what the server passed on; then one sample holds every row.
  const std::string sample = "sample\t" + std::string(kManagerName) + "\t" + table + "\n";
  long sampled = -1;
  auto deadline = Clock::now() + std::chrono::milliseconds(kSettleWaitMs);
  while ((sampled = AnswerLines(AskPort(agent.rafPort(), sample)) - 1) < static_cast<long>(sent) &&
         Clock::now() < deadline)
    std::this_thread::sleep_for(kPoll);
  std::printf("%-70s %ld of %u\n", "rows sampled of the rows sent", sampled, sent);

  auto rowsOut = [&](Clock::time_point until) {
    long rows = 0;
    while (Clock::now() < until) {
      long lines = AnswerLines(AskPort(agent.rafPort(), sample));
      if (lines < 1) break;
      rows += lines - 1;
    }
    return rows;
  };
  PrintComparison("rows/s out: rows of samples through the framework's port / bare TCP loop",
                  CompareLoops({bareRow, bareCpu}, {rowsOut, agentCpu}, 5), "row",
                  std::to_string(sampled) + " rows a sample");

  if (agent.terminate(kStartWaitMs) != 0) return Fail("the agent did not end cleanly", agent);
  // The figures at rest are printed whatever the rows showed.
  const int idle = IdleExample();
  return sampled == static_cast<long>(sent) ? idle : 1;
}
