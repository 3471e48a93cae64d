// The file input against a plain reader of the same file and against a bare loopback
// TCP request/reply loop, measured in the same run: lines appended to a file that a
// FILE data provider (in a process of its own, a pass a second) turns into rows at a
// consumer parked at the DCH server's host, per second, over the lines per second that
// a tail -F-like loop reads from the same file at the same time; and the rows per
// second of a turn, from its first row at the consumer to its last, over the exchanges
// per second of a bare TCP loop with the data request's size, run right after the turn.
// Beside that, the processor time per row of the data provider, the host and this
// program (the parked consumer) against the bare loop's per exchange; and the order of
// that road built bare (a data provider's link of three threads to a server of the DCH
// server's order), which shows what the order costs on the machine by itself, run after
// each turn too, and the turn's rows per second over it.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "bare_loops.h"
#include "file_provider_process.h"
#include "parked_consumer.h"
#include "raw_dch_peer.h"
#include "ratio.h"

namespace {

constexpr int kLinesPerTurn = 20000;
constexpr int kTurns = 7;
constexpr auto kTurnLimit = std::chrono::seconds(60);
constexpr auto kTailPoll = std::chrono::milliseconds(10);
constexpr auto kBareSlice = std::chrono::milliseconds(400);
constexpr size_t kStatusReplySize = 14;

const std::string kStatusZero = rawdch::Hex("0000000e 0000000a 0011 00000000");

// tail -F: reads what was appended, looking again a little later at the end.
class TailReader {
 public:
  explicit TailReader(const std::string& path) : file_(path, std::ios::binary) { file_.seekg(0, std::ios::end); }
  // Reads until `count` more lines came; false when they did not in time.
  bool readLines(long count, Clock::time_point until) {
    std::string line;
    for (long read = 0; read < count;) {
      if (std::getline(file_, line)) {
        ++read;
        continue;
      }
      if (Clock::now() > until) return false;
      file_.clear();
      std::this_thread::sleep_for(kTailPoll);
    }
    return true;
  }

 private:
  std::ifstream file_;
};

std::string Line(int turn, int n) {
  return "turn " + std::to_string(turn) + " line " + std::to_string(n) + " of the benchmark's file";
}

std::string Lines(int turn) {
  std::string text;
  for (int n = 0; n < kLinesPerTurn; ++n) text += Line(turn, n) + "\n";
  return text;
}

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main() {
  ParkedConsumer consumer;
  if (std::string failure = consumer.start("FILEAPP", "LINES"); !failure.empty()) return BenchFailure(failure);
  RowCounter& rows = consumer.rows();
  FileProviderProcess provider(consumer.port(), {"//APPL FileApp", "//NAME Lines E 60", "//SOURCE FILE %DIR%bench.log",
                                      "//ATTRIBUTES ';'", "Text D 64"});
  std::string path = provider.files().write("bench.log", "first\n");
  if (!provider.start({"ZEV_TRACE=*=0"})) return BenchFailure("the data provider did not start");

  // The source is online once a line appended now comes as a row.
  Clock::time_point giveUp = Clock::now() + kTurnLimit;
  do provider.files().append("bench.log", "probe\n");
  while (!rows.waitFor(1, Clock::now() + std::chrono::seconds(2)) && Clock::now() < giveUp);
  if (rows.count() == 0) return BenchFailure("no row came from the data provider");
  sleep(2);  // the rows of later probes are in
  long base = rows.count();

  // The bare loop exchanges a data request of the size the provider sends for a line.
  BareServer statusServer(kStatusZero);
  BareClient bare(statusServer.port(), true);
  rawdch::Message sameSize = rawdch::DataRequest(1, 0x11);
  const std::string bareRequest = sameSize.text(rawdch::kAttrName, "TEXT").text(rawdch::kAttrValue, Line(0, 0)).bytes();
  auto bareLoop = Repeat([&] { return bare.exchange(bareRequest, kStatusReplySize) == kStatusZero; });
  BareServer handedOver(kStatusZero, BareServer::Order::handedOverWithRowCopy);
  BareProviderLink link(handedOver.port());
  auto linkLoop = Repeat([&] { return link.exchange(bareRequest, kStatusReplySize); });
  const CpuClock bareCpu;
  const CpuClock roadCpu({0, consumer.host().pid(), provider.pid()});

  TailReader tail(path);
  std::vector<double> tailRatios, bareRatios, orderRatios;
  double roadCpuSeconds = 0, bareCpuSeconds = 0, orderCpuSeconds = 0;
  long roadRows = 0, bareExchanges = 0, orderRows = 0;
  for (int turn = 0; turn < kTurns; ++turn) {
    std::string lines = Lines(turn);
    Clock::time_point start = Clock::now();
    provider.files().append("bench.log", lines);
    double tailSeconds = 0;
    std::thread reader([&] {
      if (tail.readLines(kLinesPerTurn, start + kTurnLimit)) tailSeconds = Seconds(start);
    });
    bool flowing = rows.waitFor(base + 1, start + kTurnLimit);
    Clock::time_point firstRow = Clock::now();
    long firstCount = rows.count();
    double cpuAtFirst = roadCpu.seconds();
    bool delivered = flowing && rows.waitFor(base + kLinesPerTurn, start + kTurnLimit);
    double rowSeconds = Seconds(start);
    double flowSeconds = Seconds(firstRow);
    roadCpuSeconds += roadCpu.seconds() - cpuAtFirst;
    roadRows += base + kLinesPerTurn - firstCount;
    reader.join();
    if (!delivered) return BenchFailure("the rows of a turn did not all come");
    if (tailSeconds <= 0) return BenchFailure("the tail -F-like reader did not read a turn's lines");
    base += kLinesPerTurn;
    tailRatios.push_back(tailSeconds / rowSeconds);  // the rows' rate over the reader's

    double cpuBefore = bareCpu.seconds();
    Clock::time_point bareStart = Clock::now();
    long exchanges = bareLoop(bareStart + kBareSlice);
    bareCpuSeconds += bareCpu.seconds() - cpuBefore;
    bareExchanges += exchanges;
    double flowRate = (base - firstCount) / flowSeconds;
    bareRatios.push_back(flowRate / (exchanges / Seconds(bareStart)));

    cpuBefore = bareCpu.seconds();
    Clock::time_point orderStart = Clock::now();
    long ordered = linkLoop(orderStart + kBareSlice);
    orderCpuSeconds += bareCpu.seconds() - cpuBefore;
    orderRows += ordered;
    orderRatios.push_back(flowRate / (ordered / Seconds(orderStart)));
  }
  // Far below 1: a row is one data request that waits for its status from the
  // server, while the reader only copies bytes.
  std::printf("%-58s %8.4f   %d lines a turn, median of %d\n", "lines/s appended to rows at a consumer / tail -F-like read",
              Median(tailRatios), kLinesPerTurn, kTurns);
  LoopComparison flow;
  flow.ratio = Median(bareRatios);
  flow.measuredCpuPerOperation = roadCpuSeconds / roadRows;
  flow.bareCpuPerOperation = bareCpuSeconds / bareExchanges;
  PrintComparison("rows/s of a turn at the consumer / bare TCP loop", flow, "row", "first row to last");
  PrintComparison("  its order built bare", CompareLoops({bareLoop, bareCpu}, {linkLoop, bareCpu}), "row");
  LoopComparison overOrder;
  overOrder.ratio = Median(orderRatios);
  overOrder.measuredCpuPerOperation = flow.measuredCpuPerOperation;
  overOrder.bareCpuPerOperation = orderCpuSeconds / orderRows;
  PrintComparison("  the road / its order built bare", overOrder, "row", "first row to last", "order");
  return provider.stop() ? 0 : BenchFailure("the data provider did not end in order");
}
