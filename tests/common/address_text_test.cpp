#include <gtest/gtest.h>

#include "zev0/hostnames.h"
#include "zev0/storage.h"

namespace {

TEST(AddressTextTest, ClassifierCountsDotsFollowedByDigits) {
  struct Case {
    const char* text;
    int expected;
  };
  const Case cases[] = {
      {"10.1.2.3", 3},
      {"10.1.2", 2},
      {"10.1", 1},
      {"10", 0},
      {"10.a", 0},
      {"10.1.a.3", 0},
      {"10.1.2.", 0},
      {"3com.net", 0},
      {"host.example.com", 0},
      {".10.1.2", 0},
      {"", 0},
      {nullptr, 0},
      // Shape only: the third dot ends the look, whatever follows. Converters
      // check these with a real conversion.
      {"10.1.2.300", 3},
      {"1.2.3.4.5", 3},
      {"1.2.3.4x", 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text ? c.text : "(null)");
    EXPECT_EQ(ZEV0_IsThisAddressString(c.text), c.expected);
  }
}

TEST(AddressTextTest, FullyQualifiedFileNameCarriesADirectory) {
  EXPECT_EQ(ZEV0_IsThisFullyQualifiedName("/opt/zev/work/ZEVPSF"), 1);
  EXPECT_EQ(ZEV0_IsThisFullyQualifiedName("work/ZEVPSF"), 1);
  EXPECT_EQ(ZEV0_IsThisFullyQualifiedName("ZEVPSF"), 0);
  EXPECT_EQ(ZEV0_IsThisFullyQualifiedName(""), 0);
  EXPECT_EQ(ZEV0_IsThisFullyQualifiedName(nullptr), 0);
}

TEST(AddressTextTest, ServiceTypeNamesLayersByMagnitude) {
  struct Case {
    int services;
    const char* expected;
  };
  const Case cases[] = {
      {0, "Unspecified"},
      {-3, "Unspecified"},
      {1, "Repeaters"},
      {2, "Bridges"},
      {72, "Applications,Hosts"},
      {78, "Applications,Hosts,Gateways,Bridges"},
      {79, "Applications,Hosts,Gateways,Bridges,Repeaters"},
      {16, "Hosts,Gateways,Bridges,Repeaters"},
      {2147483647, "Applications,Hosts,Gateways,Bridges,Repeaters"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.services);
    char* text = ZEV0_DetermineNodeServiceType(c.services);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, c.expected);
    ZEV0_FreeStorage(&text);
  }
}

}  // namespace
