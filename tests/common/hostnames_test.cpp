#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "manual_clock.h"
#include "trace_capture.h"
#include "zev0/hostnames.h"
#include "zev0/storage.h"

namespace {

struct FakeHost {
  std::string name;
  std::vector<std::string> aliases;
  std::vector<std::string> addresses;
};

bool holds(const std::vector<std::string>& texts, const std::string& text) {
  return std::find(texts.begin(), texts.end(), text) != texts.end();
}

// Writes the entry as the system's re-entrant calls do: pointer lists first,
// then the addresses and strings, all inside buffer.
int packHostEntry(const FakeHost& host, hostent* entry, char* buffer, size_t size) {
  size_t needed = (host.aliases.size() + host.addresses.size() + 2) * sizeof(char*) +
                  host.addresses.size() * sizeof(in_addr) + host.name.size() + 1;
  for (const std::string& alias : host.aliases) needed += alias.size() + 1;
  if (needed > size) return ERANGE;

  auto** aliasList = reinterpret_cast<char**>(buffer);
  char** addressList = aliasList + host.aliases.size() + 1;
  char* next = reinterpret_cast<char*>(addressList + host.addresses.size() + 1);
  auto place = [&next](const void* data, size_t length) {
    char* at = next;
    std::memcpy(at, data, length);
    next += length;
    return at;
  };
  for (size_t i = 0; i < host.addresses.size(); ++i) {
    in_addr address;
    inet_pton(AF_INET, host.addresses[i].c_str(), &address);
    addressList[i] = place(&address, sizeof address);
  }
  addressList[host.addresses.size()] = nullptr;
  for (size_t i = 0; i < host.aliases.size(); ++i)
    aliasList[i] = place(host.aliases[i].c_str(), host.aliases[i].size() + 1);
  aliasList[host.aliases.size()] = nullptr;
  entry->h_name = place(host.name.c_str(), host.name.size() + 1);
  entry->h_aliases = aliasList;
  entry->h_addrtype = AF_INET;
  entry->h_length = sizeof(in_addr);
  entry->h_addr_list = addressList;
  return 0;
}

// Answers from a table of hosts, records every question, and is the process's
// resolver while it lives.
class FakeResolver : public zev0::Resolver {
 public:
  FakeResolver() : previous_(zev0::SetResolver(this)) {}
  ~FakeResolver() override { zev0::SetResolver(previous_); }

  std::vector<FakeHost> hosts;
  std::string systemName = "sysname";
  std::vector<std::string> namesAsked;
  std::vector<std::string> addressesAsked;

  int hostByName(const char* name, hostent* entry, char* buffer, size_t size, int* hostError) override {
    namesAsked.push_back(name);
    for (const FakeHost& host : hosts)
      if (host.name == name || holds(host.aliases, name)) return answer(host, entry, buffer, size, hostError);
    *hostError = HOST_NOT_FOUND;
    return ENOENT;
  }

  int hostByAddress(const in_addr& address, hostent* entry, char* buffer, size_t size, int* hostError) override {
    char text[INET_ADDRSTRLEN];
    inet_ntop(AF_INET, &address, text, sizeof text);
    addressesAsked.push_back(text);
    for (const FakeHost& host : hosts)
      if (holds(host.addresses, text)) return answer(host, entry, buffer, size, hostError);
    *hostError = HOST_NOT_FOUND;
    return ENOENT;
  }

  int systemHostName(char* name, size_t size) override {
    std::snprintf(name, size, "%s", systemName.c_str());
    return 0;
  }

 private:
  static int answer(const FakeHost& host, hostent* entry, char* buffer, size_t size, int* hostError) {
    int rc = packHostEntry(host, entry, buffer, size);
    if (rc != 0) *hostError = NETDB_INTERNAL;
    return rc;
  }

  zev0::Resolver* previous_;
};

void setOrUnset(const char* variable, const char* value) {
  if (value != nullptr)
    setenv(variable, value, 1);
  else
    unsetenv(variable);
}

struct HostEnvironment {
  const char* qfeb0 = nullptr;
  const char* dch = nullptr;
  const char* dp = nullptr;
  const char* domain = nullptr;
};

void setHostEnvironment(const HostEnvironment& environment) {
  setOrUnset("QFEB0_HOSTNAME", environment.qfeb0);
  setOrUnset("ZEV_DCH_HOSTNAME", environment.dch);
  setOrUnset("ZEV_DP_HOSTNAME", environment.dp);
  setOrUnset("ZEV_TCPIP_DOMAIN_NAME", environment.domain);
}

// True when the texts are equal (both null counts); says what differed otherwise.
bool sameText(const char* what, const char* got, const char* expected) {
  bool same = (got == nullptr || expected == nullptr) ? got == expected : std::strcmp(got, expected) == 0;
  if (!same)
    std::fprintf(stderr, "%s: got <%s>, expected <%s>\n", what, got ? got : "(null)",
                 expected ? expected : "(null)");
  return same;
}

// The host name in effect, the domain and the address text are chosen once per
// process: each case runs in a new process, where check is the first to ask.
void expectInFreshProcess(const std::function<bool()>& check) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(std::exit(check() ? 0 : 1), ::testing::ExitedWithCode(0), "");
}

bool insideBlock(const void* pointer, const hostent* block) {
  auto* at = static_cast<const char*>(pointer);
  auto* start = reinterpret_cast<const char*>(block);
  return at >= start && at < start + sizeof(hostent) + 8192;
}

std::string dotted(const in_addr& address) {
  char text[INET_ADDRSTRLEN];
  inet_ntop(AF_INET, &address, text, sizeof text);
  return text;
}

in_addr addressOf(const char* text) {
  in_addr address;
  inet_pton(AF_INET, text, &address);
  return address;
}

TEST(HostNameInEffectTest, ChoiceFollowsTheEnvironmentRules) {
  const std::string tooLong(300, 'a');
  const std::string longest(255, 'c');
  const std::string almostLongest(250, 'b');
  struct Case {
    const char* title;
    HostEnvironment environment;
    std::string expected;
  };
  const Case cases[] = {
      {"QFEB0_HOSTNAME wins", {"qhost.site", "dch.site", "dp.site", nullptr}, "qhost.site"},
      {"ZEV_DCH_HOSTNAME alone", {nullptr, "dch.site", nullptr, nullptr}, "dch.site"},
      {"ZEV_DP_HOSTNAME alone", {nullptr, nullptr, "dp.site", nullptr}, "dp.site"},
      {"both equal", {nullptr, "pair.site", "pair.site", nullptr}, "pair.site"},
      {"both different: system name", {nullptr, "a.site", "b.site", nullptr}, "sysname"},
      {"none: system name", {}, "sysname"},
      {"short name gets the domain", {"short", nullptr, nullptr, "example.com"}, "short.example.com"},
      {"system name gets the domain", {nullptr, nullptr, nullptr, "example.com"}, "sysname.example.com"},
      {"dotted name keeps its own", {"db1.other.org", nullptr, nullptr, "example.com"}, "db1.other.org"},
      {"255 characters kept whole", {longest.c_str(), nullptr, nullptr, nullptr}, longest},
      {"over-long value ignored", {tooLong.c_str(), nullptr, "dp.site", nullptr}, "dp.site"},
      {"empty value ignored", {"", "dch.site", nullptr, nullptr}, "dch.site"},
      {"no room for the domain", {almostLongest.c_str(), nullptr, nullptr, "example.com"}, almostLongest},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    expectInFreshProcess([&c] {
      FakeResolver resolver;
      setHostEnvironment(c.environment);
      return sameText(c.title, ZEV0_LocalHostNameString(), c.expected.c_str());
    });
  }
}

TEST(HostNameInEffectTest, FirstChoiceIsKeptForTheProcess) {
  expectInFreshProcess([] {
    FakeResolver resolver;
    setHostEnvironment({"first", nullptr, nullptr, "one.example"});
    const char* first = ZEV0_LocalHostNameString();
    setHostEnvironment({"second", nullptr, nullptr, "two.example"});
    return sameText("name", ZEV0_LocalHostNameString(), "first.one.example") &&
           ZEV0_LocalHostNameString() == first && sameText("domain", ZEV0_GetLocalDomainName(), "one.example");
  });
}

TEST(LocalDomainTest, DomainComesFromTheEnvironmentOrTheOfficialName) {
  const std::string tooLong(300, 'd');
  struct Case {
    const char* title;
    const char* configured;
    const char* officialName;  // of the system host; null: it does not resolve
    const char* expected;
  };
  const Case cases[] = {
      {"configured, unchanged", "Corp.Example", "sysname.a.b", "Corp.Example"},
      {"configured without a dot", "intranet", nullptr, "intranet"},
      {"after the first dot", nullptr, "sysname.dept.example.com", "dept.example.com"},
      {"three parts", nullptr, "a.b.c", "b.c"},
      {"one dot: none", nullptr, "sysname.lan", nullptr},
      {"no dot: none", nullptr, "sysname", nullptr},
      {"system name unresolved", nullptr, nullptr, nullptr},
      {"over-long configured value refused", tooLong.c_str(), "sysname.a.b", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    expectInFreshProcess([&c] {
      FakeResolver resolver;
      if (c.officialName != nullptr) resolver.hosts.push_back({c.officialName, {"sysname"}, {"192.0.2.5"}});
      setHostEnvironment({nullptr, nullptr, nullptr, c.configured});
      return sameText(c.title, ZEV0_GetLocalDomainName(), c.expected);
    });
  }
}

TEST(LocalDomainTest, EmptyConfiguredDomainIsNotAppended) {
  expectInFreshProcess([] {
    FakeResolver resolver;
    setHostEnvironment({"short", nullptr, nullptr, ""});
    return sameText("domain", ZEV0_GetLocalDomainName(), "") && sameText("name", ZEV0_LocalHostNameString(), "short");
  });
}

TEST(LocalDomainTest, NoDomainIsTriedAgainAndAFoundOneKept) {
  expectInFreshProcess([] {
    FakeResolver resolver;
    setHostEnvironment({});
    resolver.hosts = {{"sysname.lan", {"sysname"}, {"192.0.2.5"}}};
    bool noneYet = sameText("first", ZEV0_GetLocalDomainName(), nullptr);
    resolver.hosts = {{"sysname.dept.example", {"sysname"}, {"192.0.2.5"}}};
    bool found = sameText("second", ZEV0_GetLocalDomainName(), "dept.example");
    resolver.hosts = {{"sysname.other.example", {"sysname"}, {"192.0.2.5"}}};
    return noneYet && found && sameText("kept", ZEV0_GetLocalDomainName(), "dept.example");
  });
}

TEST(LocalHostAddressTest, AddressOfTheNameInEffectOnceItResolves) {
  expectInFreshProcess([] {
    FakeResolver resolver;
    setHostEnvironment({"dbhost.example.com", nullptr, nullptr, nullptr});
    bool unresolved = sameText("before", ZEV0_LocalHostAddrString(), nullptr);
    resolver.hosts = {{"dbhost.example.com", {}, {"192.0.2.10", "192.0.2.11"}}};
    const char* address = ZEV0_LocalHostAddrString();
    resolver.hosts.clear();
    return unresolved && sameText("after", address, "192.0.2.10") && ZEV0_LocalHostAddrString() == address;
  });
}

TEST(LocalHostAddressTest, DottedNameInEffectNeedsNoLookUp) {
  expectInFreshProcess([] {
    FakeResolver resolver;
    setHostEnvironment({"10.20.30.40", nullptr, nullptr, "example.com"});
    return sameText("address", ZEV0_LocalHostAddrString(), "10.20.30.40") && resolver.namesAsked.empty();
  });
}

TEST(OwnHostNameTest, MatchesIgnoringCaseAndALoneDomain) {
  struct Case {
    const char* inEffect;
    const char* name;
    int expected;
  };
  const Case cases[] = {
      {"dbhost.example.com", "dbhost.example.com", 1}, {"dbhost.example.com", "DBHOST.Example.COM", 1},
      {"dbhost.example.com", "DBHOST", 1},             {"dbhost.example.com", "dbhost", 1},
      {"dbhost.example.com", "dbhost.other.com", 0},   {"dbhost.example.com", "DBHOST2", 0},
      {"dbhost.example.com", "", 0},                   {"dbhost.example.com", nullptr, 0},
      {"dbhost", "DBHOST.example.com", 1},             {"dbhost", "db", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.inEffect) + " / " + (c.name ? c.name : "(null)"));
    expectInFreshProcess([&c] {
      FakeResolver resolver;
      setHostEnvironment({c.inEffect, nullptr, nullptr, nullptr});
      int got = ZEV0_IsOwnHostName(c.name);
      if (got != c.expected) std::fprintf(stderr, "got %d\n", got);
      return got == c.expected;
    });
  }
}

TEST(ForwardLookUpTest, EntryOwnsItsNameAliasesAndAddresses) {
  FakeResolver resolver;
  resolver.hosts = {{"first.example", {"alias1", "alias2"}, {"192.0.2.1", "192.0.2.2"}},
                    {"second.example", {}, {"198.51.100.7"}}};
  hostent* first = ZEV0_GetHostByName("alias2");
  hostent* second = ZEV0_GetHostByName("second.example");
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);

  EXPECT_STREQ(first->h_name, "first.example");
  EXPECT_TRUE(insideBlock(first->h_name, first));
  ASSERT_TRUE(insideBlock(first->h_aliases, first));
  EXPECT_STREQ(first->h_aliases[0], "alias1");
  EXPECT_STREQ(first->h_aliases[1], "alias2");
  EXPECT_EQ(first->h_aliases[2], nullptr);
  EXPECT_TRUE(insideBlock(first->h_aliases[1], first));
  ASSERT_TRUE(insideBlock(first->h_addr_list, first));
  EXPECT_EQ(first->h_length, 4);
  EXPECT_EQ(dotted(*reinterpret_cast<in_addr*>(first->h_addr_list[1])), "192.0.2.2");
  EXPECT_TRUE(insideBlock(first->h_addr_list[1], first));
  EXPECT_STREQ(second->h_name, "second.example");
  ZEV0_FreeStorage(&first);
  ZEV0_FreeStorage(&second);
}

TEST(ForwardLookUpTest, SystemResolverAnswersIntoTheBlock) {
  // localhost comes from the hosts file: no traffic.
  hostent* first = ZEV0_GetHostByName("localhost");
  hostent* second = ZEV0_GetHostByName("localhost");
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_TRUE(insideBlock(first->h_name, first));
  EXPECT_TRUE(insideBlock(first->h_addr_list[0], first));
  EXPECT_NE(first->h_name, second->h_name);
  EXPECT_EQ(dotted(*reinterpret_cast<in_addr*>(first->h_addr_list[0])), "127.0.0.1");
  ZEV0_FreeStorage(&first);
  ZEV0_FreeStorage(&second);
}

TEST(ForwardLookUpTest, UnknownNameGivesNullWithTrace) {
  FakeResolver resolver;
  TraceCapture capture("*=0x80");
  EXPECT_EQ(ZEV0_GetHostByName("nohost.invalid"), nullptr);
  EXPECT_TRUE(capture.contains("***** gethostbyname failed, host<nohost.invalid> errno="));
  EXPECT_EQ(ZEV0_GetHostByName(nullptr), nullptr);
}

TEST(ReverseLookUpTest, FailedAddressIsNeverAskedAgain) {
  FakeResolver resolver;
  const char* failing[] = {"203.0.113.9", "203.0.113.3", "203.0.113.7", "203.0.113.1"};
  for (const char* text : failing) {
    in_addr address = addressOf(text);
    EXPECT_EQ(ZEV0_GetHostByAddr(&address), nullptr) << text;
  }
  EXPECT_EQ(resolver.addressesAsked.size(), 4u);

  // The name service learns one of them later: it stays unresolvable.
  resolver.hosts = {{"late.example", {}, {"203.0.113.9"}}};
  resolver.addressesAsked.clear();
  for (const char* text : failing) {
    in_addr address = addressOf(text);
    EXPECT_EQ(ZEV0_GetHostByAddr(&address), nullptr) << text;
  }
  EXPECT_TRUE(resolver.addressesAsked.empty());

  // Neighbours of remembered addresses are still asked.
  for (const char* text : {"203.0.113.2", "203.0.113.8", "203.0.113.10", "203.0.113.0"}) {
    in_addr address = addressOf(text);
    EXPECT_EQ(ZEV0_GetHostByAddr(&address), nullptr);
  }
  EXPECT_EQ(resolver.addressesAsked,
            (std::vector<std::string>{"203.0.113.2", "203.0.113.8", "203.0.113.10", "203.0.113.0"}));
}

TEST(ReverseLookUpTest, FoundAddressIsAskedEachTime) {
  FakeResolver resolver;
  resolver.hosts = {{"found.example", {}, {"192.0.2.30"}}};
  in_addr address = addressOf("192.0.2.30");
  for (int round = 0; round < 2; ++round) {
    hostent* entry = ZEV0_GetHostByAddr(&address);
    ASSERT_NE(entry, nullptr);
    EXPECT_STREQ(entry->h_name, "found.example");
    ZEV0_FreeStorage(&entry);
  }
  EXPECT_EQ(resolver.addressesAsked.size(), 2u);
  EXPECT_EQ(ZEV0_GetHostByAddr(nullptr), nullptr);
}

TEST(ReverseLookUpTest, TooSmallAreaDoesNotMarkTheAddressUnresolvable) {
  FakeResolver resolver;
  resolver.hosts = {{std::string(9000, 'n'), {}, {"192.0.2.40"}}};
  in_addr address = addressOf("192.0.2.40");
  TraceCapture capture("*=0x80");
  EXPECT_EQ(ZEV0_GetHostByAddr(&address), nullptr);
  EXPECT_TRUE(capture.contains("***** host entry data area of 8192 bytes too small for address 192.0.2.40"));

  resolver.hosts = {{"fits.example", {}, {"192.0.2.40"}}};
  hostent* entry = ZEV0_GetHostByAddr(&address);
  ASSERT_NE(entry, nullptr);
  EXPECT_STREQ(entry->h_name, "fits.example");
  ZEV0_FreeStorage(&entry);
}

TEST(HostEntryDataSizeTest, SizeComesFromTheEnvironmentOnce) {
  struct Case {
    const char* value;
    bool longNameFits;
  };
  const Case cases[] = {{"64", false}, {"2048", true}, {"lots", true}, {"0", true}, {"99999999999", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    expectInFreshProcess([&c] {
      FakeResolver resolver;
      resolver.hosts = {{std::string(100, 'h'), {}, {"192.0.2.50"}}};
      setenv("ZEV_HOSTENT_DATA_SIZE", c.value, 1);
      hostent* entry = ZEV0_GetHostByName(resolver.hosts[0].name.c_str());
      bool fits = entry != nullptr;
      ZEV0_FreeStorage(&entry);
      if (fits != c.longNameFits) std::fprintf(stderr, "fits %d\n", fits);
      return fits == c.longNameFits;
    });
  }
}

TEST(ConvertNameToAddrTest, DottedAddressesAndNames) {
  struct Case {
    const char* text;
    int expected;
    const char* address;
    bool askedByName;
  };
  const Case cases[] = {
      {"10.1.2.3", 1, "10.1.2.3", false},
      {"known.example", 1, "192.0.2.1", true},
      {"10.1.2", 0, "0.0.0.0", true},
      {"10.1.2.300", 0, "0.0.0.0", true},
      {"1.2.3.4.5", 0, "0.0.0.0", true},
      {"unknown.invalid", 0, "0.0.0.0", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    FakeResolver resolver;
    resolver.hosts = {{"known.example", {}, {"192.0.2.1", "192.0.2.2"}}};
    TraceCapture capture("*=0x80");
    sockaddr_in address;
    std::memset(&address, 0xAB, sizeof address);
    EXPECT_EQ(ZEV0_ConvertNameToAddr(c.text, 1919, &address), c.expected);
    EXPECT_EQ(address.sin_family, AF_INET);
    EXPECT_EQ(address.sin_port, htons(1919));
    EXPECT_EQ(dotted(address.sin_addr), c.address);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(address.sin_zero), sizeof address.sin_zero),
              std::string(sizeof address.sin_zero, '\0'));
    EXPECT_EQ(holds(resolver.namesAsked, c.text), c.askedByName);
    EXPECT_EQ(capture.contains(std::string("cannot convert name <") + c.text + "> to address"), c.expected == 0);
  }
}

TEST(ConvertAddrToNameTest, FullOrShortNameOrUntouched) {
  FakeResolver resolver;
  resolver.hosts = {{"db1.dept.example", {}, {"192.0.2.60"}}};
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr = addressOf("192.0.2.60");

  char* name = nullptr;
  ASSERT_EQ(ZEV0_ConvertAddrToName(&address, &name, 0), 1);
  EXPECT_STREQ(name, "db1.dept.example");
  ZEV0_FreeStorage(&name);
  ASSERT_EQ(ZEV0_ConvertAddrToName(&address, &name, 1), 1);
  EXPECT_STREQ(name, "db1");
  ZEV0_FreeStorage(&name);

  address.sin_addr = addressOf("203.0.113.61");
  char sentinel[] = "untouched";
  name = sentinel;
  EXPECT_EQ(ZEV0_ConvertAddrToName(&address, &name, 1), 0);
  EXPECT_EQ(name, sentinel);
}

// A burst of messages from one sender asks the name service once; the answer holds
// for its seconds, for its form of the name, and for the resolver that gave it.
TEST(RecentNameOfAddressTest, AskedOnceWhileRecentThenAgain) {
  ManualClock clock;
  auto resolver = std::make_unique<FakeResolver>();
  resolver->hosts = {{"db2.dept.example", {}, {"192.0.2.70"}}};
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr = addressOf("192.0.2.70");

  std::string name;
  for (int message = 0; message < 3; ++message) {
    ASSERT_TRUE(zev0::RecentNameOfAddress(address, false, &name));
    EXPECT_EQ(name, "db2.dept.example");
  }
  EXPECT_EQ(resolver->addressesAsked.size(), 1u);
  ASSERT_TRUE(zev0::RecentNameOfAddress(address, true, &name));
  EXPECT_EQ(name, "db2");
  EXPECT_EQ(resolver->addressesAsked.size(), 2u);

  clock.advance(zev0::kRecentNameSeconds - 1);
  ASSERT_TRUE(zev0::RecentNameOfAddress(address, false, &name));
  EXPECT_EQ(resolver->addressesAsked.size(), 2u);
  clock.advance(1);
  ASSERT_TRUE(zev0::RecentNameOfAddress(address, false, &name));
  EXPECT_EQ(resolver->addressesAsked.size(), 3u);

  // Another name service knows the address by another name.
  resolver.reset();
  FakeResolver renamed;
  renamed.hosts = {{"db2-new.dept.example", {}, {"192.0.2.70"}}};
  ASSERT_TRUE(zev0::RecentNameOfAddress(address, false, &name));
  EXPECT_EQ(name, "db2-new.dept.example");

  // An address without a name is no name, and leaves the text alone.
  address.sin_addr = addressOf("203.0.113.71");
  name = "untouched";
  EXPECT_FALSE(zev0::RecentNameOfAddress(address, false, &name));
  EXPECT_EQ(name, "untouched");
}

TEST(ResolveAddressToNameTest, NameInA256ByteBlock) {
  FakeResolver resolver;
  const std::string longName(300, 'x');
  resolver.hosts = {{"db2.example", {}, {"192.0.2.70"}}, {longName, {}, {"192.0.2.71"}}};

  char* name = ZEV0_ResolveAddressToName("192.0.2.70");
  ASSERT_NE(name, nullptr);
  EXPECT_STREQ(name, "db2.example");
  ZEV0_FreeStorage(&name);

  name = ZEV0_ResolveAddressToName("192.0.2.71");
  ASSERT_NE(name, nullptr);
  EXPECT_EQ(std::string(name), longName.substr(0, 255));
  ZEV0_FreeStorage(&name);

  EXPECT_EQ(ZEV0_ResolveAddressToName("203.0.113.72"), nullptr);
  EXPECT_EQ(ZEV0_ResolveAddressToName(nullptr), nullptr);
}

TEST(ResolveAddressToNameTest, TextThatIsNoAddressIsNotLookedUp) {
  FakeResolver resolver;
  for (const char* text : {"10.1.2.300", "1.2.3.4.5", "db2.example", ""}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(ZEV0_ResolveAddressToName(text), nullptr);
  }
  EXPECT_TRUE(resolver.addressesAsked.empty());
}

}  // namespace
