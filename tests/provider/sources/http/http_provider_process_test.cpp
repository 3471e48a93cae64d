// The HTTP data provider in a process of its own against the agent's DCH server
// in its host program: its application Internet goes online, the URL
// configuration file of its work directory is loaded, and SIGTERM ends it in order.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "data_provider_process.h"
#include "dch/dch_api.h"
#include "dch_road_fixture.h"
#include "eventually.h"

namespace {

constexpr int kOnlineWaitMs = 10000;

using HTTPproviderProcessTest = DCHroadTest;

TEST_F(HTTPproviderProcessTest, ItsApplicationGoesOnlineWithTheURLsOfItsFileAndSigtermEndsIt) {
  DataProviderProcess provider("HTTP", port());
  provider.configuration().write("ZEVPURLS",
                                 "* monitored\n"
                                 "shop.example/index.html INTERVAL=120 USER=ops ALIAS=Front\n"
                                 "other.example/ USER=ann,bob\n");
  provider.configuration().write("ISP.ID", "Speedy net\n");
  StatusWaiter status;
  ASSERT_TRUE(status.parked());
  syncWithServer();
  ASSERT_TRUE(provider.start({"ZEV_TRACE=*=0x90 storage=0x80 >" + provider.configuration().file("provider.trc")}));

  std::vector<std::string> notices;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kOnlineWaitMs);
  while (notices.size() < 2 && std::chrono::steady_clock::now() < deadline) {
    std::string notice = status.next(kOnlineWaitMs);
    if (notice.rfind("INTERNET,", 0) == 0) notices.push_back(notice);
  }
  std::sort(notices.begin(), notices.end());
  EXPECT_EQ(notices, (std::vector<std::string>{"INTERNET,MANAGED_URL,localhost,4117",
                                               "INTERNET,URL_OBJECTS,localhost,4117"}));
  EXPECT_EQ(Text(dc_getApplications, "INTERNET"), "INTERNET,MANAGED_URL,K,28800:URL_OBJECTS,K,1440000:;");
  EXPECT_TRUE(Eventually(
      [&] {
        return provider.traceText().find("Total of 2 managed URL(s) loaded at HTTP DP initialization") !=
               std::string::npos;
      },
      kOnlineWaitMs));

  EXPECT_TRUE(provider.terminate()) << provider.errorText();
  EXPECT_EQ(provider.errorText().find("Sanitizer"), std::string::npos) << provider.errorText();
  std::string trace = provider.traceText();
  EXPECT_NE(trace.find("URL Config 2 ->{shop.example/index.html INTERVAL=120 USER=ops ALIAS=Front}"), std::string::npos);
  EXPECT_NE(trace.find("Freeing URLmanagementBlock @"), std::string::npos);
  if (HasFailure()) std::cerr << "The data provider's trace:\n" << trace << provider.errorText();
}

}  // namespace
