// The client API's data path through the API data provider (zevdphost APIS in a process
// of its own, against the DCH server's host), against bare loopback request/reply loops
// of the same sizes measured in the same run: records per second that dp_InputData sends
// (each a buffer taken, values formatted, the request exchanged, the buffer given back)
// and that arrive as rows at a consumer parked at the DCH server, over UDP datagrams and
// over a TCP session; each over the exchanges per second of a bare client sending a
// request of the same size, over the same requests through the road's order built bare
// (BareInputRoad), and the road over that order, with the processor time per row beside
// each. The rows sent and received are counted for each kind.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bare_input_road.h"
#include "bare_loops.h"
#include "bench_provider.h"
#include "ratio.h"
#include "raw_dch_peer.h"
#include "zevpapi/dp_api.h"

namespace {

constexpr auto kRowLimit = std::chrono::seconds(10);
constexpr auto kBeginLimit = std::chrono::seconds(20);
constexpr size_t kReplySize = 12;  // an API reply: "0 1700000000"

struct Counts {
  long sent = 0;
  long received = 0;
};

std::string Value(long n) { return "benchmark record " + std::to_string(n); }

// A record of two values, sent through the library.
bool SendRecord(APIhandle* handle, long n) {
  void* data = nullptr;
  if (dp_AllocateBuffer(handle, &data, 0, nullptr) != 1) return false;
  const std::string text = Value(n);
  const int count = static_cast<int>(n % 1000);
  dp_FormatBufferData(data, text.c_str(), static_cast<int>(text.size()), ZEVP_API_TEXT, nullptr);
  dp_FormatBufferData(data, &count, sizeof count, ZEVP_API_BINARY_INTEGER, nullptr);
  bool sent = dp_InputData(data, nullptr) == 1;
  dp_FreeBuffer(data, nullptr);
  return sent;
}

// The same request's bytes for the bare loop, in the network code.
std::string RequestBytes(long n) {
  std::string bytes = "ZEVPAPI300SNDDTA" + Value(n) + ";" + std::to_string(n % 1000) + ";";
  ZEVP_ConvertBufferToNetwork(bytes.data(), static_cast<int>(bytes.size()));
  return bytes;
}

// The data request that a record becomes.
std::string RowOf(long n) {
  rawdch::Message row = rawdch::DataRequest(1, 0x11);
  row.text(rawdch::kAttrName, "TEXT").text(rawdch::kAttrValue, Value(n));
  return row.text(rawdch::kAttrName, "COUNT").u32(rawdch::kAttrValue, static_cast<uint32_t>(n % 1000)).bytes();
}

// Records of the handle until the time is up, then their rows: the rows counted.
LoopPass RecordsToRows(APIhandle* handle, Tally& rows, long* next, Counts* counts) {
  return [handle, &rows, next, counts](Clock::time_point until) {
    long base = rows.count();
    long replies = 0;
    while (Clock::now() < until) {
      ++counts->sent;
      if (!SendRecord(handle, (*next)++)) break;
      ++replies;
    }
    rows.waitFor(base + replies, Clock::now() + kRowLimit);
    counts->received += rows.count() - base;
    return rows.count() - base;
  };
}

// The same requests through the road's order built bare, each waiting for its reply.
LoopPass RequestsToRows(BareClient& client, Tally& rows, long* next) {
  return [&client, &rows, next](Clock::time_point until) {
    long base = rows.count();
    long replies = 0;
    while (Clock::now() < until && !client.exchange(RequestBytes((*next)++), kReplySize).empty()) ++replies;
    rows.waitFor(base + replies, Clock::now() + kRowLimit);
    return rows.count() - base;
  };
}

// Begins input once the data provider has loaded the application.
bool BeginInput(APIhandle* handle) {
  for (Clock::time_point giveUp = Clock::now() + kBeginLimit; Clock::now() < giveUp;)
    if (dp_BeginInput(handle, "Bench", "Rows", nullptr) == 1) return true;
  return false;
}

void PrintCounts(const char* kind, const Counts& counts) {
  std::printf("%-58s %ld sent, %ld received\n", kind, counts.sent, counts.received);
}

}  // namespace

int main() {
  BenchProvider bench("APIS");
  const std::string failure = bench.start();
  if (!failure.empty()) return BenchFailure(failure.c_str());
  DataProviderProcess& provider = bench.provider();
  Tally& rows = bench.rows().tally();
  setenv("ZEVP_API_DPAPI_HOST", "127.0.0.1", 1);
  setenv("ZEVP_API_DPAPI_PORT", std::to_string(provider.apiPort()).c_str(), 1);
  setenv("ZEVP_API_REQUEST_WAIT", "5", 1);
  APIhandle* datagrams = dp_AllocateHandle(nullptr);
  APIhandle* session = dp_AllocateHandle(nullptr);
  if (datagrams == nullptr || session == nullptr) return BenchFailure("no handle");
  if (!BeginInput(datagrams)) return BenchFailure("the datagram session's begin was not taken");
  if (dp_OpenSession(session, nullptr) != 1 || !BeginInput(session)) return BenchFailure("the TCP session did not begin");

  BareServer bare(std::string(kReplySize, '0'));
  BareClient bareTCP(bare.port(), true);
  BareClient bareUDP(bare.port(), false);
  const CpuClock bareCpu;
  const CpuClock providerCpu({0, provider.pid(), bench.host().pid()});
  long next = 0;
  Counts udpCounts, tcpCounts;

  BareInputRoad order(RowOf(0), BareInputRoad::Records::receives, std::string(kReplySize, '0'));
  BareClient orderTCP(order.port(), true);
  BareClient orderUDP(order.port(), false);
  CompareRoad("records/s, dp_InputData over UDP to rows / bare UDP loop",
              {Repeat([&] { return !bareUDP.exchange(RequestBytes(next++), kReplySize).empty(); }), bareCpu},
              {RequestsToRows(orderUDP, order.rows(), &next), bareCpu},
              {RecordsToRows(datagrams, rows, &next, &udpCounts), providerCpu}, "row");
  CompareRoad("records/s, dp_InputData on a TCP session to rows / bare TCP loop",
              {Repeat([&] { return !bareTCP.exchange(FramedForBareServer(RequestBytes(next++)), kReplySize).empty(); }),
               bareCpu},
              {RequestsToRows(orderTCP, order.rows(), &next), bareCpu},
              {RecordsToRows(session, rows, &next, &tcpCounts), providerCpu}, "row");
  PrintCounts("  rows of the datagram session", udpCounts);
  PrintCounts("  rows of the TCP session", tcpCounts);
  dp_FreeHandle(datagrams, nullptr);
  dp_FreeHandle(session, nullptr);
  return provider.stop() ? 0 : BenchFailure("the data provider did not end in order");
}
