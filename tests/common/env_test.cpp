#include "zev0/env.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "trace_capture.h"

namespace {

// The local list is process-wide and keeps every name, so each test uses names of its own.

TEST(EnvTest, PutEnvNameIsUpperCasedAndLookedUpExactly) {
  unsetenv("ZEV_ENVTEST_CASE");
  unsetenv("Zev_EnvTest_Case");
  ZEV0_PutEnv("Zev_EnvTest_Case=abc");
  const char* value = ZEV0_GetEnv("ZEV_ENVTEST_CASE", nullptr);
  ASSERT_NE(value, nullptr);
  EXPECT_STREQ(value, "abc");
  EXPECT_EQ(ZEV0_GetEnv("Zev_EnvTest_Case", nullptr), nullptr);
}

TEST(EnvTest, ProcessEnvironmentComesBeforeTheLocalList) {
  setenv("ZEV_ENVTEST_ORDER", "from the process", 1);
  ZEV0_PutEnv("ZEV_ENVTEST_ORDER=from the list");
  EXPECT_STREQ(ZEV0_GetEnv("ZEV_ENVTEST_ORDER", nullptr), "from the process");
  unsetenv("ZEV_ENVTEST_ORDER");
  EXPECT_STREQ(ZEV0_GetEnv("ZEV_ENVTEST_ORDER", nullptr), "from the list");
}

TEST(EnvTest, SecondPutEnvUpdatesTheValueInPlace) {
  unsetenv("ZEV_ENVTEST_UPDATE");
  TraceCapture capture("env=0x10");
  ZEV0_PutEnv("ZEV_ENVTEST_UPDATE=first");
  const char* earlier = ZEV0_GetEnv("ZEV_ENVTEST_UPDATE", nullptr);
  ASSERT_NE(earlier, nullptr);
  ZEV0_PutEnv("zev_envtest_update=second=with an equals sign");
  EXPECT_STREQ(earlier, "second=with an equals sign");
  EXPECT_EQ(ZEV0_GetEnv("ZEV_ENVTEST_UPDATE", nullptr), earlier);
  EXPECT_TRUE(capture.contains("New local Env <ZEV_ENVTEST_UPDATE> value <first> added to array"));
  EXPECT_TRUE(capture.contains(
      "Env <ZEV_ENVTEST_UPDATE> value updated from <first> to <second=with an equals sign>"));
}

TEST(EnvTest, NamesAndValuesUpTo255CharactersAreKept) {
  const std::string longName = "ZEV_ENVTEST_" + std::string(255 - 12, 'N');
  unsetenv(longName.c_str());
  unsetenv("ZEV_ENVTEST_LONGVALUE");
  const std::string longValue(255, 'v');
  ZEV0_PutEnv((longName + "=x").c_str());
  ZEV0_PutEnv(("ZEV_ENVTEST_LONGVALUE=" + longValue).c_str());
  EXPECT_STREQ(ZEV0_GetEnv(longName.c_str(), nullptr), "x");
  EXPECT_STREQ(ZEV0_GetEnv("ZEV_ENVTEST_LONGVALUE", nullptr), longValue.c_str());
}

TEST(EnvTest, MalformedOrOverlongSettingsChangeNothing) {
  const std::string overlongName = "ZEV_ENVTEST_" + std::string(256 - 12, 'N');
  unsetenv(overlongName.c_str());
  unsetenv("ZEV_ENVTEST_REFUSED");
  ZEV0_PutEnv("ZEV_ENVTEST_REFUSED=kept");
  TraceCapture capture("*=0x80");
  const struct {
    std::string text;
    const char* trace;
  } cases[] = {
      {"ZEV_ENVTEST_REFUSED", "*****Error: Invalid environment syntax ignored. <ZEV_ENVTEST_REFUSED>"},
      {overlongName + "=x", "exceeds maximum size 255"},
      {"ZEV_ENVTEST_REFUSED=" + std::string(256, 'v'), "exceeds maximum size 255"},
  };
  for (const auto& c : cases) {
    capture.take();
    ZEV0_PutEnv(c.text.c_str());
    EXPECT_TRUE(capture.contains(c.trace)) << c.text;
  }
  EXPECT_TRUE(capture.contains("*****Error: Environment specification <ZEV_ENVTEST_REFUSED=vvv"));
  EXPECT_STREQ(ZEV0_GetEnv("ZEV_ENVTEST_REFUSED", nullptr), "kept");
  EXPECT_EQ(ZEV0_GetEnv(overlongName.c_str(), nullptr), nullptr);
}

TEST(EnvTest, UnsetNameGivesTheDefaultPointerItself) {
  unsetenv("ZEV_ENVTEST_UNSET");
  static const char fallback[] = "fallback";
  EXPECT_EQ(ZEV0_GetEnv("ZEV_ENVTEST_UNSET", fallback), fallback);
  EXPECT_EQ(ZEV0_GetEnv("ZEV_ENVTEST_UNSET", nullptr), nullptr);
  EXPECT_EQ(ZEV0_GetEnv(nullptr, fallback), nullptr);
}

}  // namespace
