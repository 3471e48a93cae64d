// The DCH channel against bare loopback loops of the same message sizes, measured in
// the same run: rows per second of data providers over TCP (each data request waits
// for its status, with a consumer parked for the rows), of a data provider through the
// library's verbs over UDP, consumer requests per second over UDP through the
// library's single calls, and the host program's idle memory. Beside each figure, the
// processor time per operation of the processes that do it (the host program and this
// one, where the data providers and the parked consumer run) against the bare loop's.
// Under each figure, the DCH server's order built bare (a hand-over between two threads,
// for rows the copy to a parked consumer before the reply) shows what that order costs
// on this machine by itself, and the figure over that order what the road adds to it.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bare_loops.h"
#include "dch/dch_api.h"
#include "dch_host_process.h"
#include "dch_test_settings.h"
#include "raw_dch_peer.h"
#include "ratio.h"
#include "row_counter.h"

namespace {

constexpr int kProviders = 8;
constexpr size_t kStatusReplySize = 14;
constexpr size_t kOnlineReplySize = 24;
constexpr char kApplName[] = "BENCH";
constexpr char kGroup[] = "G";
constexpr char kLibrarySource[] = "LIBSRC";
constexpr char kRowText[] = "bench";
constexpr uint32_t kRowCount = 42;

const std::string kStatusZero = rawdch::Hex("0000000e 0000000a 0011 00000000");

// A data request of the source with the row every provider sends.
std::string Row(uint32_t handle) {
  rawdch::Message row = rawdch::DataRequest(handle, 0x11);
  row.text(rawdch::kAttrName, "NAME").text(rawdch::kAttrValue, kRowText).text(rawdch::kAttrName, "CNT");
  return row.u32(rawdch::kAttrValue, kRowCount).bytes();
}

// A data provider on a connection of its own, with one source online.
struct Provider {
  explicit Provider(unsigned short port) : connection(port, true) {}
  BareClient connection;
  std::string row;  // a data request of that source
};

std::unique_ptr<Provider> OnlineProvider(unsigned short port, int index) {
  auto provider = std::make_unique<Provider>(port);
  std::string reply =
      provider->connection.exchange(rawdch::OnlineRequest(kApplName, kGroup, "SRC" + std::to_string(index)),
                                    kOnlineReplySize);
  rawdch::StatusReply online = rawdch::ReadStatusReply(reply);
  if (!online.valid || online.status != 0) return nullptr;
  provider->row = Row(online.handle);
  return provider;
}

// The same row as a data provider builds it with the library's verbs and sends it.
bool LibraryRow(long handle) {
  long status = 0;
  long size = 0;
  char* work = nullptr;
  uint32_t count = kRowCount;
  dp_formatData(&status, &work, &size, "NAME", kRowText, static_cast<long>(std::strlen(kRowText)), 'D');
  dp_formatData(&status, &work, &size, "CNT", &count, sizeof count, 'C');
  return dp_data(&status, handle, 0x11, &work) == 0 && status == 0;
}

}  // namespace

int main() {
  unsigned short port = LoopbackDCHPort();  // the consumer's settings, before its first transport
  DCH_api_init();
  DCHhostProcess host(port);
  if (!host.startReady({"ZEVA_DCH_TIMEOUT=5"})) return BenchFailure(host.failure().c_str());
  usleep(200 * 1000);
  std::printf("%-58s %6ld kB\n", "idle resident memory of the server host program", host.residentKilobytes());

  BareClient registrar(port, true);
  rawdch::Group group{kGroup, "bench rows", 'P', 300, "NAME,D,8, ,the name;CNT,C,4, ,a count;"};
  if (registrar.exchange(rawdch::RegisterRequest(kApplName, "bench", {group}), kStatusReplySize) != kStatusZero)
    return BenchFailure("the application was not registered");
  std::vector<std::unique_ptr<Provider>> providers;
  for (int index = 0; index < kProviders; ++index) {
    providers.push_back(OnlineProvider(port, index));
    if (providers.back() == nullptr) return BenchFailure("a source did not come online");
  }
  long libraryHandle = 0;
  long onlineStatus = -1;
  if (dp_online(&onlineStatus, &libraryHandle, kApplName, kGroup, kLibrarySource) != 0 || onlineStatus != 0)
    return BenchFailure("the library's source did not come online");
  RowCounter consumer(kApplName, kGroup);
  if (!consumer.parked()) return BenchFailure("the consumer could not park");

  const CpuClock bareCpu;
  const CpuClock dchCpu({0, host.pid()});
  BareServer statusServer(kStatusZero);
  BareServer handedOver(kStatusZero, BareServer::Order::handedOverWithRowCopy);
  std::vector<std::unique_ptr<BareClient>> bare, model;
  for (int index = 0; index < kProviders; ++index) {
    bare.push_back(std::make_unique<BareClient>(statusServer.port(), true));
    model.push_back(std::make_unique<BareClient>(handedOver.port(), true));
  }
  auto bareRow = [&](int index) {
    return Repeat([&, index] { return bare[index]->exchange(providers[index]->row, kStatusReplySize) == kStatusZero; });
  };
  auto dchRow = [&](int index) {
    return Repeat([&, index] {
      return providers[index]->connection.exchange(providers[index]->row, kStatusReplySize) == kStatusZero;
    });
  };

  auto modelRow = [&](int index) {
    return Repeat(
        [&, index] { return model[index]->exchange(providers[index]->row, kStatusReplySize) == kStatusZero; });
  };
  CompareRoad("rows/s, 1 data provider over TCP / bare TCP loop", {bareRow(0), bareCpu}, {modelRow(0), bareCpu},
              {dchRow(0), dchCpu}, "row");
  CompareRoad("rows/s, 8 data providers at once / 8 bare TCP loops", {SideBySide(kProviders, bareRow), bareCpu},
              {SideBySide(kProviders, modelRow), bareCpu}, {SideBySide(kProviders, dchRow), dchCpu}, "row");

  BareClient bareDatagrams(statusServer.port(), false);
  BareClient modelDatagrams(handedOver.port(), false);
  const std::string libraryRequest = Row(static_cast<uint32_t>(libraryHandle));
  auto bareLibraryRow =
      Repeat([&] { return bareDatagrams.exchange(libraryRequest, kStatusReplySize) == kStatusZero; });
  auto modelLibraryRow =
      Repeat([&] { return modelDatagrams.exchange(libraryRequest, kStatusReplySize) == kStatusZero; });
  auto libraryRow = Repeat([&] { return LibraryRow(libraryHandle); });
  CompareRoad("rows/s, 1 data provider through dp_formatData, dp_data / bare UDP loop", {bareLibraryRow, bareCpu},
              {modelLibraryRow, bareCpu}, {libraryRow, dchCpu}, "row");
  if (consumer.count() == 0) return BenchFailure("the consumer received no rows");

  // The consumer's get request and its answer, as the library sends and reads them.
  const std::string getRequest = rawdch::GetRequest(rawdch::kGetAppl, kApplName);
  const std::string text = "BENCH,G,P,300:;";
  rawdch::Message response;
  response.raw(rawdch::kResponse, text);
  BareServer responseServer(response.bytes());
  BareServer handedOverResponse(response.bytes(), BareServer::Order::handedOver);
  BareClient bareConsumer(responseServer.port(), false);
  BareClient modelConsumer(handedOverResponse.port(), false);
  auto bareGet = Repeat([&] { return !bareConsumer.exchange(getRequest, response.bytes().size()).empty(); });
  auto modelGet = Repeat([&] { return !modelConsumer.exchange(getRequest, response.bytes().size()).empty(); });
  auto dchGet = Repeat([&] {
    int length = 0;
    char* answer = nullptr;
    bool got = dc_getApplications(&length, &answer, kApplName, 5) == 0 && text == std::string(answer, length);
    free(answer);
    return got;
  });
  CompareRoad("consumer requests/s over UDP (get applications) / bare UDP loop", {bareGet, bareCpu},
              {modelGet, bareCpu}, {dchGet, dchCpu}, "request");
  return 0;
}
