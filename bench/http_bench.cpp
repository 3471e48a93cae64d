// URL checks of the HTTP data provider against plain fetches of the same pages,
// measured in the same run: a few hundred URLs of a loopback HTTP server that the
// data provider (in a process of its own) checks in one walk, their rows arriving at
// a consumer parked at the DCH server's host, per second; over the pages per second
// that libcurl's multi interface fetches from the same server right after the walk.
#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <string>
#include <vector>

#include "data_provider_process.h"
#include "dch/dch_api.h"
#include "dch_host_process.h"
#include "dch_test_settings.h"
#include "ratio.h"
#include "row_counter.h"
#include "test_http_server.h"

namespace {

constexpr int kURLs = 300;
constexpr int kTurns = 5;
constexpr long kFetchConnections = 16;
constexpr auto kWalkLimit = std::chrono::seconds(60);
constexpr char kPage[] = "<html><head><title>A monitored page</title></head><body>the page's text</body></html>";

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

size_t Discard(char*, size_t size, size_t count, void*) { return size * count; }

// Fetches every URL with one multi handle, a few connections at a time (as many as
// the server's listen queue takes at once); the seconds it took, or a negative
// number when a fetch failed.
double FetchAll(const std::vector<std::string>& urls) {
  CURLM* multi = curl_multi_init();
  curl_multi_setopt(multi, CURLMOPT_MAX_TOTAL_CONNECTIONS, kFetchConnections);
  std::vector<CURL*> easies;
  Clock::time_point start = Clock::now();
  for (const std::string& url : urls) {
    CURL* easy = curl_easy_init();
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, Discard);
    curl_multi_add_handle(multi, easy);
    easies.push_back(easy);
  }
  int running = 0;
  do {
    curl_multi_perform(multi, &running);
    if (running > 0) curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
  } while (running > 0);
  double seconds = Seconds(start);
  int failed = 0;
  int queued = 0;
  while (CURLMsg* message = curl_multi_info_read(multi, &queued))
    if (message->msg == CURLMSG_DONE && message->data.result != CURLE_OK) ++failed;
  for (CURL* easy : easies) {
    curl_multi_remove_handle(multi, easy);
    curl_easy_cleanup(easy);
  }
  curl_multi_cleanup(multi);
  return failed == 0 ? seconds : -1;
}

// True once the agent knows the application, so that a consumer may park for its rows.
bool InternetKnown(Clock::time_point until) {
  while (Clock::now() < until) {
    int length = 0;
    char* text = nullptr;
    bool known = dc_getApplications(&length, &text, "INTERNET", 2) == 0 && text != nullptr &&
                 std::string(text, static_cast<size_t>(length)).find("MANAGED_URL") != std::string::npos;
    free(text);
    if (known) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  return false;
}

// Waits until no row has come for a while: a walk is over.
void AwaitQuiet(RowCounter& rows) {
  for (long before = -1; rows.count() != before;) {
    before = rows.count();
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
  }
}

}  // namespace

int main() {
  unsigned short port = LoopbackDCHPort();  // the consumer's settings, before its first transport
  DCH_api_init();
  DCHhostProcess host(port);
  if (!host.startReady({"ZEVA_DCH_TIMEOUT=5"})) return BenchFailure(host.failure().c_str());
  TestHTTPServer server([](const HTTPrequest&) { return Page(200, "OK", kPage); });
  if (!server.listening()) return BenchFailure("the HTTP server could not listen");
  std::vector<std::string> urls;
  std::string urlFile;
  for (int n = 0; n < kURLs; ++n) {
    urls.push_back(server.url("/page" + std::to_string(n) + ".html"));
    urlFile += urls.back() + "\n";
  }
  DataProviderProcess provider("HTTP", port);
  provider.configuration().write("ZEVPURLS", urlFile);
  // Every URL is due at each walk: a default interval of 2 seconds.
  if (!provider.start({"ZEV_TRACE=*=0", "ZEVP_URL_DATASET_PERIOD=6", "ZEVP_URL_DATASET_MIN_SAMPLES=3"}))
    return BenchFailure("the data provider did not start");
  if (!InternetKnown(Clock::now() + kWalkLimit)) return BenchFailure("the application Internet did not come");
  RowCounter rows("INTERNET", "MANAGED_URL");
  if (!rows.parked()) return BenchFailure("the consumer could not park");
  curl_global_init(CURL_GLOBAL_DEFAULT);

  // The first walk may have begun before the consumer parked: the turns begin after it.
  if (!rows.waitFor(1, Clock::now() + kWalkLimit)) return BenchFailure("no row came from the data provider");
  std::vector<double> ratios;
  for (int turn = 0; turn < kTurns; ++turn) {
    AwaitQuiet(rows);
    long base = rows.count();
    // A walk: from its first row to its last.
    if (!rows.waitFor(base + 1, Clock::now() + kWalkLimit)) return BenchFailure("no walk began");
    Clock::time_point first = Clock::now();
    if (!rows.waitFor(base + kURLs, first + kWalkLimit)) return BenchFailure("the rows of a walk did not all come");
    double walkSeconds = Seconds(first);
    double fetchSeconds = FetchAll(urls);
    if (fetchSeconds < 0) return BenchFailure("a plain fetch failed");
    // The walk's rows after its first, per second, over the fetches per second.
    ratios.push_back(((kURLs - 1) / walkSeconds) / (kURLs / fetchSeconds));
  }
  curl_global_cleanup();
  std::sort(ratios.begin(), ratios.end());
  // Below 1: each client task waits for a page's reply before it asks for the next,
  // and each row waits for its DCH status, while the plain fetches run all at once.
  std::printf("%-58s %8.4f   %d URLs a walk, median of %d\n",
              "URLs/s checked to rows at a consumer / libcurl multi fetches",
              ratios[ratios.size() / 2], kURLs, kTurns);
  return provider.stop() ? 0 : BenchFailure("the data provider did not end in order");
}
