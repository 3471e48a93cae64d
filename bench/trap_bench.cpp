// SNMP v1 traps offered to the SNMP data provider (zevpsnmp, on port 162) and, in the
// same run, the same datagrams to Debian's snmptrapd and to a bare UDP receiver that
// only counts them: one sender sends each datagram to all three, first at a steady
// rate, then as fast as it can. For each leg: the traps per second that each side
// took (the data provider's as rows at a consumer parked at the DCH server's host,
// snmptrapd's as lines of its log), as a ratio of the data provider's to each
// baseline's, and the count each side lost. A fourth side is the trap road's order
// built bare (BareInputRoad): each datagram a TRAP row through the DCH link, waiting
// for its status, with no work in it; its own ratio to snmptrapd shows what the
// order allows. Everything runs in a network namespace of
// the bench's own, as every SNMP peer of the tests does. The steady rates are 2,000 and
// 5,000 a second.
#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include "dch/dch_api.h"
#include "bare_input_road.h"
#include "dch_host_process.h"
#include "dch_test_settings.h"
#include "free_port.h"
#include "net_snmp.h"
#include "network_namespace.h"
#include "ratio.h"
#include "raw_dch_peer.h"
#include "row_counter.h"
#include "scratch_directory.h"
#include "tool_process.h"

namespace {

constexpr unsigned short kTrapPort = 162;
constexpr unsigned short kTrapReceiverPort = 1162;
constexpr int kSteadyRate = 2000;  // traps a second
constexpr int kBriskRate = 5000;
constexpr auto kLeg = std::chrono::seconds(3);
constexpr auto kStartWait = std::chrono::seconds(20);
constexpr auto kSettleLook = std::chrono::milliseconds(200);
constexpr auto kSettleLimit = std::chrono::seconds(10);
constexpr char kEnterprise[] = "1.3.6.1.4.1.8072.2.3";

// A v1 trap as snmptrap sent it: enterprise 1.3.6.1.4.1.8072.2.3, agent 127.0.0.1,
// generic 6, specific 17, sysLocation.0 "rack 4".
std::string CapturedTrap() {
  std::ifstream in(ZEV_TRAP_DATAGRAM, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// The trap configured with severity 1: looked up for every row, no console message.
std::string TrapConfiguration() {
  return std::string("rackMoved {") + kEnterprise + "} 6 17 A 1 2 \"Map Events\"\nSDESC\nThe rack moved.\nEDESC\n" +
         "netSnmp {" + kEnterprise + "}\n";
}

// The TRAP row that the captured trap becomes, as a data request.
std::string TrapRow() {
  rawdch::Message row = rawdch::DataRequest(1, 0x11);
  const char* columns[][2] = {{"Time_Stamp", "1261211105641368"}, {"Object_ID", kEnterprise},
                              {"Generic_Trap", "6"},              {"Specific_Trap", "17"},
                              {"Source_Name", "127.0.0.1"},       {"Source_Type", "A"},
                              {"Source_Status", "1"},             {"Enterprise_Name", "netSnmp"},
                              {"Alert_Name", "rackMoved"},        {"Category", "Map Events"},
                              {"Severity", "1"}};
  for (const auto& column : columns) row.text(rawdch::kAttrName, column[0]).text(rawdch::kAttrValue, column[1]);
  return row.bytes();
}

// Takes datagrams on a loopback port and counts them, on a thread of its own.
class BareDatagramSink {
 public:
  BareDatagramSink() : socket_(socket(AF_INET, SOCK_DGRAM, 0)) {
    sockaddr_in local = rawdch::LoopbackAddress(0);
    socklen_t length = sizeof local;
    if (bind(socket_, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0 &&
        getsockname(socket_, reinterpret_cast<sockaddr*>(&local), &length) == 0)
      port_ = ntohs(local.sin_port);
    thread_ = std::thread([this] { take(); });
  }
  ~BareDatagramSink() {
    stopping_ = true;
    thread_.join();
    close(socket_);
  }
  BareDatagramSink(const BareDatagramSink&) = delete;
  BareDatagramSink& operator=(const BareDatagramSink&) = delete;

  unsigned short port() const { return port_; }
  long count() const { return count_; }

 private:
  void take() {
    char buffer[2048];
    while (!stopping_) {
      pollfd ready{socket_, POLLIN, 0};
      if (poll(&ready, 1, 50) == 1 && recv(socket_, buffer, sizeof buffer, 0) >= 0) ++count_;
    }
  }

  int socket_;
  unsigned short port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<long> count_{0};
  std::thread thread_;
};

// What each side has taken so far.
struct Taken {
  long rows = 0;
  long snmptrapd = 0;
  long bare = 0;
  long order = 0;
  bool operator==(const Taken& other) const {
    return rows == other.rows && snmptrapd == other.snmptrapd && bare == other.bare && order == other.order;
  }
};

class TrapRun {
 public:
  TrapRun(RowCounter& rows, TrapReceiverProcess& snmptrapd, BareDatagramSink& bare, BareInputRoad& order)
      : rows_(rows), snmptrapd_(snmptrapd), bare_(bare), order_(order), socket_(socket(AF_INET, SOCK_DGRAM, 0)) {
    targets_[0] = rawdch::LoopbackAddress(kTrapPort);
    targets_[1] = rawdch::LoopbackAddress(kTrapReceiverPort);
    targets_[2] = rawdch::LoopbackAddress(bare.port());
    targets_[3] = rawdch::LoopbackAddress(order.port());
  }
  ~TrapRun() { close(socket_); }
  TrapRun(const TrapRun&) = delete;
  TrapRun& operator=(const TrapRun&) = delete;

  Taken taken() {
    return {rows_.count(), static_cast<long>(snmptrapd_.traps().size()), bare_.count(), order_.rows().count()};
  }

  // The datagram to each side once.
  void sendOnce(const std::string& trap) {
    for (const sockaddr_in& target : targets_)
      sendto(socket_, trap.data(), trap.size(), 0, reinterpret_cast<const sockaddr*>(&target), sizeof target);
  }

  // What each side took once nothing more comes.
  Taken settled() {
    Taken last = taken();
    for (auto giveUp = Clock::now() + kSettleLimit; Clock::now() < giveUp;) {
      std::this_thread::sleep_for(kSettleLook);
      Taken now = taken();
      if (now == last) break;
      last = now;
    }
    return last;
  }

  // Offers the trap to each side for a leg, `rate` a second (0: as fast as the sender
  // can), and prints what each side made of it.
  void leg(const std::string& trap, int rate, const std::string& name) {
    Taken before = settled();
    long sent = 0;
    auto begun = Clock::now();
    auto end = begun + kLeg;
    for (auto now = begun; now < end; now = Clock::now()) {
      if (rate > 0) {
        auto due = begun + std::chrono::microseconds(sent * 1000000L / rate);
        if (due > now) std::this_thread::sleep_until(due);
      }
      sendOnce(trap);
      ++sent;
    }
    double seconds = std::chrono::duration<double>(Clock::now() - begun).count();
    Taken after = settled();
    Taken took{after.rows - before.rows, after.snmptrapd - before.snmptrapd, after.bare - before.bare,
               after.order - before.order};
    char note[200];
    std::snprintf(note, sizeof note,
                  "%.0f offered/s: %.0f rows/s, lost %ld; snmptrapd lost %ld, bare lost %ld, order lost %ld",
                  sent / seconds, took.rows / seconds, sent - took.rows, sent - took.snmptrapd, sent - took.bare,
                  sent - took.order);
    PrintRatio("trap rows/s " + name + " / snmptrapd", Ratio(took.rows, took.snmptrapd), note);
    PrintRatio("trap rows/s " + name + " / bare UDP receiver", Ratio(took.rows, took.bare));
    PrintRatio("trap rows/s " + name + " / its order built bare", Ratio(took.rows, took.order));
    PrintRatio("  its order built bare / snmptrapd", Ratio(took.order, took.snmptrapd));
  }

 private:
  static double Ratio(long measured, long baseline) {
    return baseline > 0 ? static_cast<double>(measured) / static_cast<double>(baseline) : 0;
  }

  RowCounter& rows_;
  TrapReceiverProcess& snmptrapd_;
  BareDatagramSink& bare_;
  BareInputRoad& order_;
  int socket_;
  sockaddr_in targets_[4];
};


void Measure() {
  setenv("ZEV_DP_HOSTNAME", "127.0.0.1", 1);  // the one host name of every side
  unsigned short dchPort = LoopbackDCHPort();  // the consumer's settings, before its first transport
  DCH_api_init();
  DCHhostProcess host(dchPort);
  if (!host.startReady()) {
    BenchFailure(host.failure());
    return;
  }

  ScratchDirectory work("zev_trap_bench_work");
  ScratchDirectory files("zev_trap_bench");
  files.write("traps.cfg", TrapConfiguration());
  ToolProcess provider("zevpsnmp");
  bool started = provider.start(
      {}, {"ZEVP_DCH_HOST=127.0.0.1", "ZEVA_DCH_PORT=" + std::to_string(dchPort),
           "ZEVP_DPCONSOLE_PORT=" + std::to_string(FreeConsoleBase()), "ZEV_PRODSPEC_PATH=" ZEV_EXAMPLES_DIR "/",
           "ZEV_PRODSPEC_NAME=ZEVPSF", "ZEVP_META_PATH=" + work.path(), "ZEVP_INIT_CONFIG_PATH=" + work.path(),
           "ZEV_WORK_PATH=" + work.path(), "ZEVP_SNMP_NET_DISCOVERY=N", "ZEVP_SNMP_MANAGE_LOCAL_NETWORK=N",
           "ZEVP_SNMP_TRAPCNFG_FILE=" + files.file("traps.cfg"), "ZEV_TRACE=*=0"});
  if (!started) {
    BenchFailure(provider.failure());
    return;
  }

  TrapReceiverProcess snmptrapd("127.0.0.1", kTrapReceiverPort);
  if (!snmptrapd.start()) {
    BenchFailure(snmptrapd.failure());
    return;
  }
  BareDatagramSink bare;
  if (bare.port() == 0) {
    BenchFailure("the bare receiver has no port");
    return;
  }

  // The consumer parks once the data provider has registered its tables; its first
  // row says the trap port is served.
  const std::string trap = CapturedTrap();
  if (trap.empty()) {
    BenchFailure("the captured trap " ZEV_TRAP_DATAGRAM " could not be read");
    return;
  }
  std::unique_ptr<RowCounter> rows;
  auto giveUp = Clock::now() + kStartWait;
  while (Clock::now() < giveUp && (rows == nullptr || !rows->parked())) {
    rows = std::make_unique<RowCounter>("SNMP-Manager", "TRAP");
    if (!rows->parked()) std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  if (!rows->parked()) {
    BenchFailure("the consumer could not park on the TRAP rows");
    return;
  }
  BareInputRoad order(TrapRow(), BareInputRoad::Records::receives);
  TrapRun run(*rows, snmptrapd, bare, order);
  bool served = false;
  while (Clock::now() < giveUp && !served) {
    run.sendOnce(trap);
    served = rows->waitFor(1, Clock::now() + std::chrono::milliseconds(500));
  }
  if (!served) {
    BenchFailure("no TRAP row came from the data provider: " + provider.errorText());
    return;
  }

  run.leg(trap, kSteadyRate, "at a steady rate");
  run.leg(trap, kBriskRate, "at a steady 5,000 a second");
  run.leg(trap, 0, "with the sender flat out");
  if (provider.terminate(20000) != 0) BenchFailure("the data provider did not end in order");
}

}  // namespace

int main() {
  RunInNetworkNamespace(Measure);
  return 0;
}
