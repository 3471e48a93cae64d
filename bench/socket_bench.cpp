// The socket and API input against bare loopback exchanges of the same sizes and
// against the road's order built bare, measured in the same run: records per second
// that socket partners send over TCP and UDP, and SNDDTA requests per second of an API
// partner, through an ASFS data provider (in a process of its own) to rows at a
// consumer parked at the DCH server's host; each over the exchanges per second of a
// bare loop whose request is a record (or a request) of the same size, over the same
// records through the road's order built bare (BareInputRoad), and the road over that
// order, with the processor time per row beside each. The rows sent and received are
// counted for each kind.
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "bare_input_road.h"
#include "bare_loops.h"
#include "bench_provider.h"
#include "partner_sockets.h"
#include "ratio.h"
#include "raw_dch_peer.h"

namespace {

constexpr int kBatch = 100;  // records a partner sends before it waits for their rows
constexpr auto kRowLimit = std::chrono::seconds(10);
constexpr int kReplyWaitMs = 5000;
constexpr size_t kBareReplySize = 12;  // an API reply's size: "0 1700000000"

std::string Record(long n) { return "benchmark record " + std::to_string(n) + ";" + std::to_string(n % 1000); }

// The data request that a record becomes.
std::string RowOf(long n) {
  rawdch::Message row = rawdch::DataRequest(1, 0x11);
  row.text(rawdch::kAttrName, "TEXT").text(rawdch::kAttrValue, "benchmark record " + std::to_string(n));
  return row.text(rawdch::kAttrName, "COUNT").u32(rawdch::kAttrValue, static_cast<uint32_t>(n % 1000)).bytes();
}

struct Counts {
  long sent = 0;
  long received = 0;
};

// Sends a batch of records and waits for their rows; what the rows' count added.
long SendBatch(const std::function<bool(long)>& send, Tally& rows, long* next, Counts* counts) {
  long base = rows.count();
  for (int n = 0; n < kBatch; ++n)
    if (send((*next)++) && counts != nullptr) ++counts->sent;
  rows.waitFor(base + kBatch, Clock::now() + kRowLimit);
  long received = rows.count() - base;
  if (counts != nullptr) counts->received += received;
  return received;
}

LoopPass Batches(std::function<bool(long)> send, Tally& rows, long* next, Counts* counts = nullptr) {
  return [send, &rows, next, counts](Clock::time_point until) {
    long done = 0;
    while (Clock::now() < until) {
      long received = SendBatch(send, rows, next, counts);
      done += received;
      if (received < kBatch) break;
    }
    return done;
  };
}

// An API partner waits for the reply to each SNDDTA before it sends the next.
std::string ApiRequest(long n) { return ToNetworkCode("ZEVPAPI300SNDDTA" + Record(n)); }

LoopPass Requests(DatagramEnd& partner, unsigned short port, Tally& rows, long* next, Counts* counts = nullptr) {
  return [&partner, port, &rows, next, counts](Clock::time_point until) {
    long base = rows.count();
    long replies = 0;
    while (Clock::now() < until) {
      partner.sendTo(port, ApiRequest((*next)++));
      if (counts != nullptr) ++counts->sent;
      if (partner.next(kReplyWaitMs) == "<none>") break;
      ++replies;
    }
    rows.waitFor(base + replies, Clock::now() + kRowLimit);
    if (counts != nullptr) counts->received += rows.count() - base;
    return rows.count() - base;
  };
}

void PrintCounts(const char* kind, const Counts& counts) {
  std::printf("%-58s %ld sent, %ld received\n", kind, counts.sent, counts.received);
}

}  // namespace

int main() {
  BenchProvider bench("ASFS");
  const std::string failure = bench.start();
  if (!failure.empty()) return BenchFailure(failure.c_str());
  DataProviderProcess& provider = bench.provider();
  Tally& rows = bench.rows().tally();
  unsigned short socketPort = provider.socketPort();
  unsigned short apiPort = provider.apiPort();

  // The API partner begins its input once the application is loaded.
  DatagramEnd api;
  std::string begun;
  for (Clock::time_point giveUp = Clock::now() + std::chrono::seconds(20);
       begun.compare(0, 2, "0 ") != 0 && Clock::now() < giveUp;) {
    api.sendTo(apiPort, ToNetworkCode("ZEVPAPI300BGNINPBench Rows "));
    begun = ToLocalCode(api.next(kReplyWaitMs / 5));
  }
  if (begun.compare(0, 2, "0 ") != 0) return BenchFailure("the API partner's BGNINP was not taken");
  StreamEnd tcp(socketPort);
  if (!tcp.connected() || !tcp.send("//bench\n")) return BenchFailure("the TCP partner could not connect");
  DatagramEnd udp;
  udp.sendTo(socketPort, "//bench");

  BareServer bare(std::string(kBareReplySize, '0'));
  BareClient bareTCP(bare.port(), true);
  BareClient bareUDP(bare.port(), false);
  BareInputRoad lineOrder(RowOf(0), BareInputRoad::Records::lines);
  BareInputRoad requestOrder(RowOf(0), BareInputRoad::Records::receives, std::string(kBareReplySize, '0'));
  StreamEnd orderTCP(lineOrder.port());
  DatagramEnd orderUDP, orderAPI;
  const CpuClock bareCpu;
  const CpuClock roadCpu({0, provider.pid(), bench.host().pid()});
  long next = 0;
  Counts tcpCounts, udpCounts, apiCounts;

  auto overStream = [](StreamEnd& stream) {
    return [&stream](long n) { return stream.send(Record(n) + "\n"); };
  };
  auto overDatagrams = [](DatagramEnd& datagrams, unsigned short port) {
    return [&datagrams, port](long n) {
      datagrams.sendTo(port, Record(n));
      return true;
    };
  };
  CompareRoad("records/s over TCP to rows / bare TCP exchanges",
              {Repeat([&] {
                 return !bareTCP.exchange(FramedForBareServer(Record(next++)), kBareReplySize).empty();
               }),
               bareCpu},
              {Batches(overStream(orderTCP), lineOrder.rows(), &next), bareCpu},
              {Batches(overStream(tcp), rows, &next, &tcpCounts), roadCpu}, "row");
  CompareRoad("records/s over UDP to rows / bare UDP exchanges",
              {Repeat([&] { return !bareUDP.exchange(Record(next++), kBareReplySize).empty(); }), bareCpu},
              {Batches(overDatagrams(orderUDP, lineOrder.port()), lineOrder.rows(), &next), bareCpu},
              {Batches(overDatagrams(udp, socketPort), rows, &next, &udpCounts), roadCpu}, "row");
  CompareRoad("SNDDTA/s of an API partner to rows / bare UDP exchanges",
              {Repeat([&] { return !bareUDP.exchange(ApiRequest(next++), kBareReplySize).empty(); }), bareCpu},
              {Requests(orderAPI, requestOrder.port(), requestOrder.rows(), &next), bareCpu},
              {Requests(api, apiPort, rows, &next, &apiCounts), roadCpu}, "row");

  PrintCounts("  rows of the TCP partner", tcpCounts);
  PrintCounts("  rows of the UDP partner", udpCounts);
  PrintCounts("  rows of the API partner", apiCounts);
  return provider.stop() ? 0 : BenchFailure("the data provider did not end in order");
}
