// The socket and API input against bare loopback exchanges of the same sizes,
// measured in the same run: records per second that socket partners send over TCP
// and UDP, and SNDDTA requests per second of an API partner, through an ASFS data
// provider (in a process of its own) to rows at a consumer parked at the DCH
// server's host; each over the exchanges per second of a bare loop whose request
// is a record (or a request) of the same size. The rows sent and received are
// counted for each kind.
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "bare_loops.h"
#include "bench_provider.h"
#include "partner_sockets.h"
#include "ratio.h"

namespace {

constexpr int kBatch = 100;  // records a partner sends before it waits for their rows
constexpr auto kRowLimit = std::chrono::seconds(10);
constexpr int kReplyWaitMs = 5000;
constexpr size_t kBareReplySize = 12;  // an API reply's size: "0 1700000000"

std::string Record(long n) { return "benchmark record " + std::to_string(n) + ";" + std::to_string(n % 1000); }

struct Counts {
  long sent = 0;
  long received = 0;
};

// Sends a batch of records and waits for their rows; what the rows' counter added.
long SendBatch(const std::function<bool(long)>& send, RowCounter& rows, long* next, Counts* counts) {
  long base = rows.count();
  for (int n = 0; n < kBatch; ++n)
    if (send((*next)++)) ++counts->sent;
  rows.waitFor(base + kBatch, Clock::now() + kRowLimit);
  long received = rows.count() - base;
  counts->received += received;
  return received;
}

LoopPass Batches(const std::function<bool(long)>& send, RowCounter& rows, long* next, Counts* counts) {
  return [&send, &rows, next, counts](Clock::time_point until) {
    long done = 0;
    while (Clock::now() < until) {
      long received = SendBatch(send, rows, next, counts);
      done += received;
      if (received < kBatch) break;
    }
    return done;
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
  RowCounter& rows = bench.rows();
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
  long next = 0;
  Counts tcpCounts, udpCounts, apiCounts;

  std::function<bool(long)> overTCP = [&tcp](long n) { return tcp.send(Record(n) + "\n"); };
  PrintRatio("records/s over TCP to rows / bare TCP exchanges",
             MedianRatio(Repeat([&] { return !bareTCP.exchange(FramedForBareServer(Record(next++)), kBareReplySize).empty(); }),
                         Batches(overTCP, rows, &next, &tcpCounts)));

  std::function<bool(long)> overUDP = [&udp, socketPort](long n) {
    udp.sendTo(socketPort, Record(n));
    return true;
  };
  PrintRatio("records/s over UDP to rows / bare UDP exchanges",
             MedianRatio(Repeat([&] { return !bareUDP.exchange(Record(next++), kBareReplySize).empty(); }),
                         Batches(overUDP, rows, &next, &udpCounts)));

  // An API partner waits for the reply to each SNDDTA before it sends the next.
  auto apiRequest = [](long n) { return ToNetworkCode("ZEVPAPI300SNDDTA" + Record(n)); };
  LoopPass sndDta = [&](Clock::time_point until) {
    long base = rows.count();
    long replies = 0;
    while (Clock::now() < until) {
      api.sendTo(apiPort, apiRequest(next++));
      ++apiCounts.sent;
      if (api.next(kReplyWaitMs) == "<none>") break;
      ++replies;
    }
    rows.waitFor(base + replies, Clock::now() + kRowLimit);
    apiCounts.received += rows.count() - base;
    return rows.count() - base;
  };
  PrintRatio("SNDDTA/s of an API partner to rows / bare UDP exchanges",
             MedianRatio(Repeat([&] { return !bareUDP.exchange(apiRequest(next++), kBareReplySize).empty(); }),
                         sndDta));

  PrintCounts("  rows of the TCP partner", tcpCounts);
  PrintCounts("  rows of the UDP partner", udpCounts);
  PrintCounts("  rows of the API partner", apiCounts);
  return provider.stop() ? 0 : BenchFailure("the data provider did not end in order");
}
