// The POST data provider (zevdphost POST, in a process of its own) against bare
// loopback loops of the same message sizes, measured in the same run: posts per
// second over TCP (each answered with its stamp) and over UDP (each counted once its
// row reached a consumer parked at the DCH server's host), over request/reply
// exchanges of a 32-byte request and a 26-byte reply, over the same posts through the
// road's order built bare (BareInputRoad), and the road over that order, with the
// processor time per post beside each.
#include <arpa/inet.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bare_input_road.h"
#include "bare_loops.h"
#include "data_provider_process.h"
#include "free_port.h"
#include "parked_consumer.h"
#include "posted_message.h"
#include "raw_dch_peer.h"
#include "ratio.h"

namespace {

constexpr size_t kStampSize = 26;
constexpr auto kRowWait = std::chrono::seconds(5);
constexpr int kStartWaitMs = 20000;

const std::string kPost = PostedMessage("Disk full", "W");  // 32 bytes

// The bare loop's request: as long as a post, framed by its length word as the bare
// server reads its requests.
std::string BareRequest() {
  std::string request = kPost;
  uint32_t length = htonl(static_cast<uint32_t>(request.size()));
  std::memcpy(&request[0], &length, sizeof length);
  return request;
}

// The row that a post becomes.
std::string Row() {
  rawdch::Message row = rawdch::DataRequest(1, 0x11);
  row.text(rawdch::kAttrName, "POST_TIME").text(rawdch::kAttrValue, "1240101120000000");
  row.text(rawdch::kAttrName, "POST_ORIGIN").text(rawdch::kAttrValue, "localhost");
  row.text(rawdch::kAttrName, "POST_ACK_STAMP").text(rawdch::kAttrValue, std::string(kStampSize, 'S'));
  row.text(rawdch::kAttrName, "POST_TEXT").text(rawdch::kAttrValue, "Disk full");
  return row.text(rawdch::kAttrName, "POST_CATEGORY").text(rawdch::kAttrValue, "Warning").bytes();
}

}  // namespace

int main() {
  ParkedConsumer consumer;
  if (std::string failure = consumer.start("MAS", "DPPOST"); !failure.empty()) return BenchFailure(failure);
  RowCounter& rows = consumer.rows();

  unsigned short postPort = FreeLoopbackPort();
  DataProviderProcess provider("POST", consumer.port());
  if (!provider.start({"ZEVP_POST_DP_PORT=" + std::to_string(postPort), "ZEV_TRACE=*=0"}))
    return BenchFailure("the data provider did not start");

  // The source is online once a post is stamped.
  auto giveUp = Clock::now() + std::chrono::milliseconds(kStartWaitMs);
  while (Clock::now() < giveUp && BareClient(postPort, true).exchange(kPost, kStampSize).empty()) usleep(100 * 1000);
  if (!rows.waitFor(1, Clock::now() + kRowWait)) return BenchFailure("no row came from the data provider");

  BareServer bareServer(std::string(kStampSize, 'S'));
  BareClient bareTcp(bareServer.port(), true);
  BareClient bareUdp(bareServer.port(), false);
  BareInputRoad order(Row(), BareInputRoad::Records::receives, std::string(kStampSize, 'S'));
  BareClient orderTcp(order.port(), true);
  const std::string bareRequest = BareRequest();
  BareClient tcpPoster(postPort, true);
  const CpuClock bareCpu;
  const CpuClock roadCpu({0, provider.pid(), consumer.host().pid()});
  auto stamped = [](BareClient& poster, const std::string& post) {
    return Repeat([&poster, &post] { return poster.exchange(post, kStampSize).size() == kStampSize; });
  };
  CompareRoad("posts/s over TCP, stamped / bare TCP request-reply loop", {stamped(bareTcp, bareRequest), bareCpu},
              {stamped(orderTcp, kPost), bareCpu}, {stamped(tcpPoster, kPost), roadCpu}, "post");

  // The TCP posts' rows are in before the UDP posts are counted; the order's UDP posts
  // go without a reply, so its rows are counted at its consumer alike.
  rawdch::UdpPeer udpPoster(postPort);
  rawdch::UdpPeer orderUdp(order.port());
  long expected = rows.count();
  while (rows.waitFor(expected + 1, Clock::now() + std::chrono::seconds(1))) expected = rows.count();
  long orderExpected = order.rows().count();
  auto bareUdpLoop = Repeat([&] { return bareUdp.exchange(bareRequest, kStampSize).size() == kStampSize; });
  auto orderUdpLoop = Repeat(
      [&] { return orderUdp.send(kPost) && order.rows().waitFor(++orderExpected, Clock::now() + kRowWait); });
  auto postUdpLoop = Repeat([&] { return udpPoster.send(kPost) && rows.waitFor(++expected, Clock::now() + kRowWait); });
  CompareRoad("posts/s over UDP, as rows at a parked consumer / bare UDP request-reply loop", {bareUdpLoop, bareCpu},
              {orderUdpLoop, bareCpu}, {postUdpLoop, roadCpu}, "post");

  return provider.terminate() ? 0 : BenchFailure("the data provider did not end in order");
}
