// Derived-function attributes as the split fills them: time stamps from UTC
// integers and from date texts, NetWare times as text, and IP addresses turned
// into host names through a one-entry cache shared by every thread.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "attribute_entry.h"
#include "derived_attributes.h"
#include "parsed_application.h"
#include "record_split.h"
#include "host_name_table.h"
#include "source_entry.h"

namespace {

// Local time two hours ahead of GMT for the length of a test.
class ZoneTwoHoursEast {
 public:
  ZoneTwoHoursEast() {
    const char* zone = std::getenv("TZ");
    saved_ = zone != nullptr ? zone : "";
    hadZone_ = zone != nullptr;
    setenv("TZ", "EET-2", 1);
    tzset();
  }
  ~ZoneTwoHoursEast() {
    if (hadZone_)
      setenv("TZ", saved_.c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }

 private:
  std::string saved_;
  bool hadZone_;
};

const std::vector<std::string> kFunctions = {
    "//APPL Abc", "//NAME Grp P 60", "//ATTRIBUTES ';'",  "Secs G",   "Short G 100", "Raw D 32",
    "Addr D 64",  "When D 40",       "Gmt (UTCTOGMT = Secs)", "Local (UTCTOLOCALTIME = Secs)",
    "Bad (UTCTOGMT = Short)", "Text (NETWARETIMETOTEXT = Raw)", "Host (IPADDRESSTONAME = Addr)",
    "Stamp (PLOVENTIMESTAMP = When)"};

struct DerivedCase {
  const char* name;
  std::string record;  // Secs;Short;Raw;Addr;When
  std::vector<std::string> derived;  // Gmt, Local, Bad, Text, Host, Stamp as ValueOf writes them
};

std::vector<std::string> Derived(const SourceEntry* source) {
  std::vector<std::string> values;
  for (const char* name : {"Gmt", "Local", "Bad", "Text", "Host", "Stamp"})
    values.push_back(ValueOf(AttributeNamed(source, name)));
  return values;
}

TEST(DerivedAttributes, FunctionsAsTheSplitFillsThem) {
  ParsedApplication parsed(kFunctions);
  HostNameTable names({{"10.1.2.3", "host-a.example"}, {"10.1.2.4", "host-b.example"}});
  ZoneTwoHoursEast zone;
  ASSERT_EQ(parsed.messages(), std::vector<std::string>{});
  SourceEntry* source = parsed.source();
  const std::vector<DerivedCase> cases = {
      {"the start of 1970; a resolved address; a date text", "0;1;07CF0C1F;10.1.2.3;02/15/2002 10:20:30",
       {"Gmt='0700101000000000'", "Local='0700101020000000'", "Bad -", "Text='1999/12/31'", "Host='host-a.example'",
        "Stamp='1020215102030000'"}},
      {"an integer whose first byte is a blank; a time of day; an address between slashes",
       "32;1;07CF0C1F0B1E00;/10.1.2.4/161;x",
       {"Gmt='0700101000032000'", "Local='0700101020032000'", "Bad -", "Text='1999/12/31 11:30:00'",
        "Host='host-b.example'", "Stamp='0000000000000000'"}},
      {"a NetWare time with a zone; an address without a name", "0;1;07CF0C1F0B1E00002B0530;10.9.9.9;x",
       {"Gmt='0700101000000000'", "Local='0700101020000000'", "Bad -", "Text='1999/12/31 11:30:00 +5'",
        "Host='10.9.9.9'", "Stamp='0000000000000000'"}},
      {"a zone pair cut short is no zone; a host name is used as it is", "0;1;07CF0C1F0B1E00002;  //myhost/x;x",
       {"Gmt='0700101000000000'", "Local='0700101020000000'", "Bad -", "Text='1999/12/31 11:30:00'",
        "Host='myhost'", "Stamp='0000000000000000'"}},
      {"too short for a date", "0;1;07CF;x;x",
       {"Gmt='0700101000000000'", "Local='0700101020000000'", "Bad -", "Text='0000/00/00'", "Host='x'",
        "Stamp='0000000000000000'"}},
  };
  for (const DerivedCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::string record = c.record;
    ZEVP_MoveDataToAttr(source, record.data(), static_cast<int32_t>(record.size()), nullptr);
    EXPECT_EQ(Derived(source), c.derived);
  }
}

TEST(DerivedAttributes, AnOperandWithoutValueLeavesTheAttributeEmpty) {
  ParsedApplication parsed(kFunctions);
  SourceEntry* source = parsed.source();
  std::string record = "";
  ZEVP_MoveDataToAttr(source, record.data(), 0, nullptr);
  EXPECT_EQ(Derived(source), (std::vector<std::string>{"Gmt -", "Local -", "Bad -", "Text -", "Host -", "Stamp -"}));
}

TEST(DerivedAttributes, TheSameAddressTwiceAsksTheNameServiceOnce) {
  ParsedApplication parsed({"//APPL Abc", "//NAME Grp P 60", "//ATTRIBUTES ';'", "Addr D 300",
                            "Host (IPADDRESSTONAME = Addr)"});
  HostNameTable names({{"10.7.0.1", "seven-one.example"}, {"10.7.0.2", "seven-two.example"}});
  SourceEntry* source = parsed.source();
  for (const char* address : {"10.7.0.1", "10.7.0.1", "10.7.0.2", "10.7.0.1"}) {
    std::string record = address;
    ZEVP_MoveDataToAttr(source, record.data(), static_cast<int32_t>(record.size()), nullptr);
  }
  EXPECT_EQ(ValueOf(AttributeNamed(source, "Host")), "Host='seven-one.example'");
  EXPECT_EQ(names.asked("10.7.0.1"), 2);
  EXPECT_EQ(names.asked("10.7.0.2"), 1);
}

// Every source thread converts at once: the cache and the time conversions are
// shared, each source's values its own.
TEST(DerivedAttributes, ThreadsSplittingIntoSourcesOfOneGroupShareTheAddressCache) {
  ParsedApplication parsed({"//APPL Abc", "//NAME Grp P 60", "//SOURCE BASE one", "//SOURCE BASE two",
                            "//SOURCE BASE three", "//SOURCE BASE four", "//ATTRIBUTES ';'", "Secs G", "Addr D 64",
                            "Gmt (UTCTOGMT = Secs)", "Host (IPADDRESSTONAME = Addr)"});
  HostNameTable names({{"10.8.0.1", "eight-one.example"}, {"10.8.0.2", "eight-two.example"}});
  std::vector<std::thread> threads;
  std::vector<std::vector<std::string>> seen(4);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      SourceEntry* source = parsed.source(0, t);
      for (int row = 0; row < 200; ++row) {
        std::string record = std::to_string(row) + (row % 2 == 0 ? ";10.8.0.1" : ";10.8.0.2");
        ZEVP_MoveDataToAttr(source, record.data(), static_cast<int32_t>(record.size()), nullptr);
        std::string host = ValueOf(AttributeNamed(source, "Host"));
        if (host != (row % 2 == 0 ? "Host='eight-one.example'" : "Host='eight-two.example'")) seen[t].push_back(host);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int t = 0; t < 4; ++t) EXPECT_EQ(seen[t], std::vector<std::string>{}) << "thread " << t;
  EXPECT_EQ(ValueOf(AttributeNamed(parsed.source(0, 3), "Gmt")), "Gmt='0700101000319000'");
}

}  // namespace
