// The trap emitter in process, in a network namespace of the test's own (the trap
// port 162 is fixed): a listener of the test as the destination, the local host
// 127.0.0.1 and the clock held at the data provider's start. The trap's bytes as
// sent, its parameters, its destinations and its result.
#include "trap_emitter.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "action_entry.h"
#include "bare_anchor.h"
#include "manual_clock.h"
#include "network_namespace.h"
#include "no_name_service.h"
#include "snmp_messages.h"
#include "trap_parameters.h"
#include "zev0/storage.h"

namespace {

constexpr int64_t kStart = 1700000000;

// Receives on 127.0.0.1:162.
class TrapListener {
 public:
  TrapListener() : fd_(socket(AF_INET, SOCK_DGRAM, 0)) {
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(ZEVP_SNMP_TRAP_PORT);
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bound_ = bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0;
  }
  ~TrapListener() { close(fd_); }
  bool bound() const { return bound_; }
  // The next datagram within the time, empty when none came.
  SnmpBytes next(int waitMs = 2000) {
    pollfd ready{fd_, POLLIN, 0};
    if (poll(&ready, 1, waitMs) <= 0) return {};
    unsigned char buffer[8192];
    ssize_t got = recv(fd_, buffer, sizeof buffer, 0);
    return got > 0 ? SnmpBytes(buffer, buffer + got) : SnmpBytes{};
  }

 private:
  int fd_;
  bool bound_ = false;
};

struct Emitted {
  int32_t status;
  std::string result;
};

Emitted Emit(DPAB* anchor, const std::string& parameters) {
  ActionEntry* entry = ZEVP_AllocateActionEntry(anchor);
  entry->ActionParm = ZEVP_CopyActionText(parameters.c_str(), static_cast<uint32_t>(parameters.size()));
  entry->ActionResult = ZEVP_CopyActionText("earlier", 7);
  ZEVP_EmitSNMPtrap(anchor, entry);
  Emitted emitted{entry->ActionStatus, entry->ActionResult != nullptr ? entry->ActionResult : ""};
  EXPECT_EQ(static_cast<size_t>(entry->ResultLength), emitted.result.size());
  ZEVP_ReleaseActionEntry(anchor, entry);
  return emitted;
}

// The anchor of a data provider that started at kStart with the default
// destinations given.
struct Provider {
  explicit Provider(const char* defaults) {
    anchor->startTime = kStart;
    anchor->trapDestinations = ZEVP_ConstructTrapDestinationArray(defaults, &anchor->trapDestinationCount);
  }
  ~Provider() { ZEV0_FreeStorage(&anchor->trapDestinations); }
  BareAnchor anchor;
};

void PrepareProcess() {
  setenv("ZEV_DP_HOSTNAME", "127.0.0.1", 1);
  unsetenv("ZEVP_TRAP_EMIT_COMMUNITY");
}

TEST(TrapEmitterTest, ASituationIsSentAsThisTrap) {
  RunInNetworkNamespace([] {
    PrepareProcess();
    ManualClock clock(kStart);
    TrapListener listener;
    ASSERT_TRUE(listener.bound());
    Provider provider("127.0.0.1");
    Emitted emitted = Emit(provider.anchor.get(), "SIT(s1) SEV(Critical) CAT(Status_Events)");
    EXPECT_EQ(emitted.status, 0);
    EXPECT_EQ(emitted.result, "SNMP trap emitted to agents: 127.0.0.1");
    EXPECT_EQ(listener.next(),
              (SnmpBytes{0x30, 0x82, 0x00, 0x8B, 0x02, 0x01, 0x00, 0x04, 0x06, 0x77, 0x69, 0x6C, 0x6C, 0x6F, 0x77,
                         0xA4, 0x7E, 0x06, 0x09, 0x2B, 0x06, 0x01, 0x04, 0x01, 0xC2, 0x5D, 0x01, 0x03, 0x40, 0x04,
                         0x7F, 0x00, 0x00, 0x01, 0x02, 0x01, 0x06, 0x02, 0x01, 0x08, 0x43, 0x01, 0x00, 0x30, 0x62,
                         0x30, 0x13, 0x06, 0x0D, 0x2B, 0x06, 0x01, 0x04, 0x01, 0xC2, 0x5D, 0x01, 0x02, 0x01, 0x01,
                         0x01, 0x01, 0x04, 0x02, 0x73, 0x31, 0x30, 0x11, 0x06, 0x0D, 0x2B, 0x06, 0x01, 0x04, 0x01,
                         0xC2, 0x5D, 0x01, 0x02, 0x01, 0x01, 0x01, 0x02, 0x05, 0x00, 0x30, 0x11, 0x06, 0x0D, 0x2B,
                         0x06, 0x01, 0x04, 0x01, 0xC2, 0x5D, 0x01, 0x02, 0x01, 0x01, 0x01, 0x03, 0x05, 0x00, 0x30,
                         0x12, 0x06, 0x0D, 0x2B, 0x06, 0x01, 0x04, 0x01, 0xC2, 0x5D, 0x01, 0x02, 0x01, 0x01, 0x01,
                         0x06, 0x02, 0x01, 0x04, 0x30, 0x11, 0x06, 0x0C, 0x2B, 0x06, 0x01, 0x04, 0x01, 0xC2, 0x5D,
                         0x01, 0x02, 0x01, 0x04, 0x00, 0x02, 0x01, 0x03}));
    // The time-stamp counts seconds since the start.
    clock.advance(300);
    Emit(provider.anchor.get(), "SIT(s1)");
    SnmpBytes later = listener.next();
    ASSERT_GT(later.size(), 45u);
    EXPECT_EQ(SnmpBytes(later.begin() + 40, later.begin() + 44), (SnmpBytes{0x43, 0x02, 0x01, 0x2C}));
  });
}

// The VarBinds of a trap, found by their OID's last bytes.
std::string ValueAfter(const SnmpBytes& trap, const SnmpBytes& oidTail) {
  auto at = std::search(trap.begin(), trap.end(), oidTail.begin(), oidTail.end());
  if (at == trap.end()) return "<absent>";
  at += static_cast<long>(oidTail.size());
  size_t length = at[1];
  return std::string(at + 2, at + 2 + static_cast<long>(length));
}

TEST(TrapEmitterTest, ParametersBecomeTheTrapsValues) {
  RunInNetworkNamespace([] {
    PrepareProcess();
    ManualClock clock(kStart);
    TrapListener listener;
    ASSERT_TRUE(listener.bound());
    Provider provider("127.0.0.1");
    // The OIDs' last bytes, from the enterprise's 8541 (C2 5D) on.
    const SnmpBytes severity = {0xC2, 0x5D, 0x01, 0x02, 0x01, 0x01, 0x01, 0x06},
                    category = {0xC2, 0x5D, 0x01, 0x02, 0x01, 0x04, 0x00},
                    predicates = {0xC2, 0x5D, 0x01, 0x02, 0x01, 0x01, 0x01, 0x05},
                    list = {0xC2, 0x5D, 0x01, 0x02, 0x01, 0x05, 0x00},
                    node = {0xC2, 0x5D, 0x01, 0x02, 0x01, 0x01, 0x01, 0x02},
                    time = {0xC2, 0x5D, 0x01, 0x02, 0x01, 0x01, 0x01, 0x03};
    const std::string longPredicate(400, 'p');
    const struct {
      const char* what;
      std::string parameters;
      SnmpBytes oid;
      std::string value;
    } cases[] = {
        {"SEV(critical) is not a name", "SIT(a) SEV(critical)", severity, "\x02"},
        {"SEV(Major)", "SEV(Major)", severity, "\x05"},
        {"an unknown CAT(", "CAT(Disk_Events)", category, std::string(1, '\0')},
        {"LIST( with a semicolon", "LIST(a=1;b=2)", list, "a=1,b=2"},
        {"no PRED( and no LIST(", "SIT(a)", predicates, "<absent>"},
        {"a value without its ')'", "NODE(host7", node, "host7"},
        {"an empty value is absent", "NODE() SIT(x)", node, ""},
        {"blanks first", "   TIME(T1)", time, "T1"},
    };
    for (const auto& c : cases) {
      SCOPED_TRACE(c.what);
      EXPECT_EQ(Emit(provider.anchor.get(), c.parameters).status, 0);
      EXPECT_EQ(ValueAfter(listener.next(), c.oid), c.value);
    }
    // A predicate of 400 characters is cut to 325: its length field 0x82 0x01 0x45.
    EXPECT_EQ(Emit(provider.anchor.get(), "PRED(" + longPredicate + ")").status, 0);
    SnmpBytes trap = listener.next();
    auto at = std::search(trap.begin(), trap.end(), predicates.begin(), predicates.end());
    ASSERT_NE(at, trap.end());
    EXPECT_EQ(SnmpBytes(at + 8, at + 12), (SnmpBytes{0x04, 0x82, 0x01, 0x45}));
  });
}

TEST(TrapEmitterTest, DestinationsAndResults) {
  RunInNetworkNamespace([] {
    PrepareProcess();
    NoNameService names("127.0.0.1");
    ManualClock clock(kStart);
    TrapListener listener;
    ASSERT_TRUE(listener.bound());
    Provider defaults("127.0.0.1");
    Provider none(nullptr);
    const struct {
      const char* what;
      DPAB* anchor;
      std::string parameters;
      int32_t status;
      std::string result;
      int traps;
    } cases[] = {
        {"DEST(_DEFAULT)", defaults.anchor.get(), "DEST(_DEFAULT) SIT(a)", 0,
         "SNMP trap emitted to agents: 127.0.0.1", 1},
        {"no DEST(", defaults.anchor.get(), "SIT(a)", 0, "SNMP trap emitted to agents: 127.0.0.1", 1},
        {"two of its own, one empty between", none.anchor.get(), "DEST(127.0.0.1, ,127.0.0.1) SIT(a)", 0,
         "SNMP trap emitted to agents: 127.0.0.1, 127.0.0.1", 2},
        {"an unresolvable one beside", none.anchor.get(), "DEST(nowhere.invalid,127.0.0.1)", 0,
         "SNMP trap emitted to agents: 127.0.0.1", 1},
        {"no destination at all", none.anchor.get(), "SIT(a)", 14, "", 0},
        {"only unresolvable ones", none.anchor.get(), "DEST(nowhere.invalid, nor.here)", 15,
         "Send trap rc=0 errno=0", 0},
        {"a trap too big for its 4096 bytes", defaults.anchor.get(),
         "SIT(" + std::string(2000, 's') + ") NODE(" + std::string(2000, 'n') + ")", 15, "Send trap rc=0 errno=90",
         0},
    };
    for (const auto& c : cases) {
      SCOPED_TRACE(c.what);
      Emitted emitted = Emit(c.anchor, c.parameters);
      EXPECT_EQ(emitted.status, c.status);
      EXPECT_EQ(emitted.result, c.result);
      for (int n = 0; n < c.traps; ++n) EXPECT_FALSE(listener.next().empty()) << n;
      EXPECT_TRUE(listener.next(50).empty());
    }
  });
}

TEST(TrapDestinationArrayTest, OneSlotPerElementCountedAndEmptyOnesKeepAddressZero) {
  NoNameService names;
  const struct {
    const char* list;
    std::vector<std::string> addresses;
  } cases[] = {
      {"10.0.0.1", {"10.0.0.1"}},
      {"10.0.0.1, ,10.0.0.2", {"10.0.0.1", "0.0.0.0", "10.0.0.2"}},
      {"10.0.0.1,10.0.0.2,", {"10.0.0.1", "10.0.0.2"}},
      {"  10.0.0.3,unknown.host", {"10.0.0.3", "0.0.0.0"}},
      {",", {"0.0.0.0"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.list);
    int32_t count = -1;
    sockaddr_in* array = ZEVP_ConstructTrapDestinationArray(c.list, &count);
    ASSERT_NE(array, nullptr);
    ASSERT_EQ(count, static_cast<int32_t>(c.addresses.size()));
    for (int32_t i = 0; i < count; ++i) {
      char text[INET_ADDRSTRLEN];
      inet_ntop(AF_INET, &array[i].sin_addr, text, sizeof text);
      EXPECT_EQ(text, c.addresses[static_cast<size_t>(i)]);
      EXPECT_EQ(array[i].sin_family, AF_INET);
      EXPECT_EQ(ntohs(array[i].sin_port), 162);
    }
    ZEV0_FreeStorage(&array);
  }
  int32_t count = -1;
  EXPECT_EQ(ZEVP_ConstructTrapDestinationArray(nullptr, &count), nullptr);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(ZEVP_ConstructTrapDestinationArray("", &count), nullptr);
}

}  // namespace
