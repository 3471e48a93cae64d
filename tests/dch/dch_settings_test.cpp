// The DCH settings of a process, read by its first socket transport: the port (environment,
// else the product specification's DCH_PORT_NUMBER, else 1919; never a number that is not a
// port), the time-out (30 unless set), trap emission (Y or y), and a DCH address too long to
// keep. Each case runs in a child: the settings are read once per process.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "../common/run_in_child.h"
#include "dch/ipc_sock.h"
#include "trace_capture.h"
#include "zev0/prodspec.h"
#include "zev0/scrambler.h"

namespace {

// A product specification in a directory of its own naming the DCH port, read at once.
class DchPortProductSpec {
 public:
  explicit DchPortProductSpec(const std::string& port) {
    char pattern[] = "/tmp/zev_dchport_XXXXXX";
    directory_ = mkdtemp(pattern);
    std::ofstream file(directory_ + "/DCHPSF", std::ios::binary);
    file << "//PSF\n";
    int64_t n = 1;
    for (std::string record : {std::string("PRODUCT_CODE=EV\n"), "DCH_PORT_NUMBER=" + port + "\n"}) {
      ZEV0_EncipherRecord(record.data(), static_cast<int32_t>(static_cast<int64_t>(record.size()) * n++));
      file << record;
    }
    file.close();
    setenv("ZEV_PRODSPEC_PATH", (directory_ + "/").c_str(), 1);
    setenv("ZEV_PRODSPEC_NAME", "DCHPSF", 1);
    ZEV0_InitializeProductSpec();
  }
  ~DchPortProductSpec() { std::filesystem::remove_all(directory_); }

 private:
  std::string directory_;
};

void setOrUnset(const char* name, const char* value) {
  if (value != nullptr)
    setenv(name, value, 1);
  else
    unsetenv(name);
}

// The settings as the first transport of a fresh process reads them (a reply transport:
// it resolves nothing). productSpecPort: DCH_PORT_NUMBER of a product specification, or
// null for none.
void withSettings(const std::function<void()>& prepare, const std::function<void(ipcSock&, TraceCapture&)>& check,
                  const char* productSpecPort = nullptr) {
  RunInChild([&] {
    setenv("QFEB0_HOSTNAME", "localhost", 1);
    for (const char* name : {"ZEVA_DCH_PORT", "ZEVA_DCH_TIMEOUT", "ZEVA_DCH_TRAPEMIT", "ZEVA_DCH_ADDR"})
      unsetenv(name);
    prepare();
    std::unique_ptr<DchPortProductSpec> productSpec;
    if (productSpecPort != nullptr) productSpec = std::make_unique<DchPortProductSpec>(productSpecPort);
    TraceCapture capture("*=0x80");
    ipcSock transport(DCHIPC_CLIENT, 1, 0);
    ASSERT_EQ(transport.ipcGetError(), 0);
    check(transport, capture);
  });
}

TEST(DCHSettingsTest, PortFromTheEnvironmentElseTheProductSpecificationElse1919) {
  const struct {
    const char* environment;
    const char* productSpecPort;
    unsigned short port;
  } cases[] = {
      {nullptr, nullptr, 1919}, {"2100", nullptr, 2100}, {nullptr, "2000", 2000}, {"2100", "2000", 2100},
      {"0", nullptr, 1919},     {"70000", "2000", 2000}, {"abc", nullptr, 1919},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.environment ? c.environment : "unset") + " / " +
                 (c.productSpecPort ? c.productSpecPort : "unset"));
    withSettings([&] { setOrUnset("ZEVA_DCH_PORT", c.environment); },
                 [&](ipcSock& transport, TraceCapture&) { EXPECT_EQ(transport.sockPortNo(), c.port); },
                 c.productSpecPort);
  }
}

TEST(DCHSettingsTest, TimeOutIsThirtySecondsUnlessSet) {
  const struct {
    const char* setting;
    int seconds;
  } cases[] = {{nullptr, 30}, {"1", 1}, {"0", 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.setting ? c.setting : "unset");
    withSettings([&] { setOrUnset("ZEVA_DCH_TIMEOUT", c.setting); },
                 [&](ipcSock& transport, TraceCapture&) { EXPECT_EQ(transport.DCHtimeout(), c.seconds); });
  }
}

TEST(DCHSettingsTest, TrapEmissionOnlyForYes) {
  const struct {
    const char* setting;
    int emit;
  } cases[] = {{"yes", 1}, {"Y", 1}, {"N", 0}, {"no", 0}, {nullptr, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.setting ? c.setting : "unset");
    withSettings([&] { setOrUnset("ZEVA_DCH_TRAPEMIT", c.setting); },
                 [&](ipcSock&, TraceCapture&) { EXPECT_EQ(ipcSock::_envTRAPEMIT, c.emit); });
  }
}

TEST(DCHSettingsTest, AddressTooLongToKeepGivesWayToTheLocalHostName) {
  withSettings([] { setenv("ZEVA_DCH_ADDR", std::string(256, 'a').c_str(), 1); },
               [](ipcSock&, TraceCapture& capture) {
                 EXPECT_TRUE(capture.contains("Error: ZEVA_DCH_ADDR longer than 255 characters, ignored"));
               });
}

}  // namespace
