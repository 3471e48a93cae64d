// The process's pool of UDP sockets: its size from the environment (below 1 or not a number
// means 32), borrowers waiting while all are lent, a socket given back going to a waiting
// borrower, sockets that stay open between borrowers, late replies emptied out before the
// next borrower, and a transport that gives back only once.
//
// The pool and its size are made once per process, so each case runs in a child of its own.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "../common/run_in_child.h"
#include "dch/ipc_sock.h"
#include "sock_test_support.h"
#include "trace_capture.h"

namespace {

using std::chrono::milliseconds;

std::unique_ptr<ipcSock> borrower() {
  auto transport = std::make_unique<ipcSock>(DCHIPC_DCHCLIENT, 0, 1);
  transport->ipcSetRetryRead(0);
  return transport;
}

// A borrower on a thread of its own, which waits in its constructor while the pool is empty.
class WaitingBorrower {
 public:
  WaitingBorrower() : thread_([this] {
    transport_ = borrower();
    done_ = true;
  }) {}
  ~WaitingBorrower() {
    thread_.join();
    if (transport_) transport_->releaseIPC();
  }

  bool borrowedWithin(milliseconds wait) {
    for (auto waited = milliseconds(0); waited < wait && !done_; waited += milliseconds(10))
      std::this_thread::sleep_for(milliseconds(10));
    return done_;
  }
  ipcSock& transport() { return *transport_; }

 private:
  std::atomic<bool> done_{false};
  std::unique_ptr<ipcSock> transport_;
  std::thread thread_;
};

// poolSetting: the value of ZEVA_DCH_UDP_SOCKETS_IN_POOL, null for unset.
void inChildWithPool(const char* poolSetting, const std::function<void()>& body) {
  RunInChild([&] {
    UseLoopbackDCH();
    if (poolSetting != nullptr)
      setenv("ZEVA_DCH_UDP_SOCKETS_IN_POOL", poolSetting, 1);
    else
      unsetenv("ZEVA_DCH_UDP_SOCKETS_IN_POOL");
    body();
  });
}

bool isOpen(int sockFD) { return fcntl(sockFD, F_GETFD) != -1; }

TEST(UDPPoolTest, SizeComesFromTheEnvironmentAndIsNeverBelowOne) {
  const struct {
    const char* setting;
    int size;
  } cases[] = {{nullptr, 32}, {"2", 2}, {"0", 32}, {"-3", 32}, {"abc", 32}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.setting != nullptr ? c.setting : "unset");
    inChildWithPool(c.setting, [&] {
      std::vector<std::unique_ptr<ipcSock>> lent;
      std::set<int> sockets;
      for (int n = 0; n < c.size; ++n) {
        lent.push_back(borrower());
        ASSERT_EQ(lent.back()->ipcGetError(), 0) << n;
        sockets.insert(lent.back()->sockUDP());
      }
      EXPECT_EQ(sockets.size(), static_cast<size_t>(c.size));
      WaitingBorrower next;
      EXPECT_FALSE(next.borrowedWithin(milliseconds(200)));
      EXPECT_EQ(lent.front()->releaseIPC(), 0);
      EXPECT_TRUE(next.borrowedWithin(milliseconds(1000)));
      for (auto& transport : lent) transport->releaseIPC();
    });
  }
}

TEST(UDPPoolTest, ThirdOfThreeCallersWaitsAndGetsTheSocketGivenBack) {
  inChildWithPool("2", [] {
    std::unique_ptr<ipcSock> first;
    std::unique_ptr<ipcSock> second;
    std::thread([&] { first = borrower(); }).join();
    std::thread([&] { second = borrower(); }).join();
    WaitingBorrower third;
    EXPECT_FALSE(third.borrowedWithin(milliseconds(200)));
    int given = second->sockUDP();
    EXPECT_EQ(second->releaseIPC(), 0);
    ASSERT_TRUE(third.borrowedWithin(milliseconds(1000)));
    EXPECT_EQ(third.transport().sockUDP(), given);
    EXPECT_NE(third.transport().sockUDP(), first->sockUDP());
    first->releaseIPC();
  });
}

TEST(UDPPoolTest, PooledSocketStaysOpenForTheNextBorrower) {
  inChildWithPool("1", [] {
    auto first = borrower();
    int sockFD = first->sockUDP();
    unsigned short port = first->sockPortUDP();
    EXPECT_EQ(first->releaseIPC(), 0);
    first.reset();
    EXPECT_TRUE(isOpen(sockFD));
    auto next = borrower();
    EXPECT_EQ(next->sockUDP(), sockFD);
    EXPECT_EQ(next->sockPortUDP(), port);
    next->releaseIPC();

    // A transport with a socket of its own has nothing to give back and closes it.
    auto own = std::make_unique<ipcSock>(DCHIPC_DCHCLIENT, 0, 0);
    int ownSocket = own->sockUDP();
    EXPECT_EQ(own->releaseIPC(), 0);
    own.reset();
    EXPECT_FALSE(isOpen(ownSocket));
  });
}

// A reply that came after its caller gave up was once the next borrower's answer.
TEST(UDPPoolTest, LateReplyDoesNotReachTheNextBorrower) {
  inChildWithPool("1", [] {
    TraceCapture capture("*=0x90");
    int dch = OpenLoopbackUdp(UseLoopbackDCH());
    ASSERT_GE(dch, 0);
    auto first = borrower();
    std::string request = DchMessage(12);
    ASSERT_EQ(first->ipcWrite(request.data(), 12, 0), 12);
    sockaddr_in caller{};
    ASSERT_EQ(ReceiveWithin(dch, 1000, &caller), request);
    first->releaseIPC();
    first.reset();
    std::string late = DchBytes(14, 14);
    late[13] = 'L';
    sendto(dch, late.data(), late.size(), 0, reinterpret_cast<sockaddr*>(&caller), sizeof caller);

    auto next = borrower();
    ASSERT_EQ(next->ipcWrite(request.data(), 12, 0), 12);
    ASSERT_EQ(ReceiveWithin(dch, 1000, &caller), request);
    std::string fresh = DchBytes(14, 14);
    fresh[13] = 'F';
    sendto(dch, fresh.data(), fresh.size(), 0, reinterpret_cast<sockaddr*>(&caller), sizeof caller);
    void* reply = nullptr;
    EXPECT_EQ(next->ipcRead(&reply, 1), 14);
    ASSERT_NE(reply, nullptr);
    EXPECT_EQ(std::string(static_cast<char*>(reply), 14), fresh);
    delete[] static_cast<char*>(reply);
    EXPECT_TRUE(capture.contains("1 late datagrams discarded"));
    next->releaseIPC();
    close(dch);
  });
}

// A second give-back once freed the socket under its next borrower.
TEST(UDPPoolTest, TransportGivesItsSocketBackOnlyOnce) {
  inChildWithPool("1", [] {
    auto first = borrower();
    EXPECT_EQ(first->releaseIPC(), 0);
    auto second = borrower();
    EXPECT_EQ(second->sockUDP(), first->sockUDP());
    EXPECT_EQ(first->releaseIPC(), 0);
    WaitingBorrower third;
    EXPECT_FALSE(third.borrowedWithin(milliseconds(200)));
    EXPECT_EQ(second->releaseIPC(), 0);
    EXPECT_TRUE(third.borrowedWithin(milliseconds(1000)));
  });
}

}  // namespace
