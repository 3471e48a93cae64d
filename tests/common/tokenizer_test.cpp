#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "trace_capture.h"
#include "zev0/text.h"

namespace {

std::vector<std::string> allTokens(std::string text, const char* delimiters) {
  std::vector<std::string> tokens;
  for (char* token = ZEV0_strtok(text.data(), delimiters); token != nullptr; token = ZEV0_strtok(nullptr, delimiters))
    tokens.emplace_back(token);
  return tokens;
}

TEST(TokenizerTest, TokensComeAsStrtokGivesThem) {
  EXPECT_EQ(allTokens("a,,b c", ", "), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(allTokens(":::", ":"), std::vector<std::string>{});
  EXPECT_EQ(allTokens(":host:port", ":"), (std::vector<std::string>{"host", "port"}));
}

TEST(TokenizerTest, ANewStringRestartsTheStream) {
  std::string first = "one two three";
  std::string second = "x y";
  EXPECT_STREQ(ZEV0_strtok(first.data(), " "), "one");
  EXPECT_STREQ(ZEV0_strtok(second.data(), " "), "x");
  EXPECT_STREQ(ZEV0_strtok(nullptr, " "), "y");
  EXPECT_EQ(ZEV0_strtok(nullptr, " "), nullptr);
}

// Two threads take turns, one token each, so that each call comes between two
// calls of the other thread.
TEST(TokenizerTest, ThreadsTakingTurnsEachKeepTheirOwnPosition) {
  std::mutex lock;
  std::condition_variable changed;
  int turn = 0;
  bool oneFinished = false;  // then the other goes on alone
  auto tokenize = [&](int me, std::string text, std::vector<std::string>* tokens) {
    for (char* next = text.data();; next = nullptr) {
      std::unique_lock<std::mutex> guard(lock);
      changed.wait(guard, [&] { return turn % 2 == me || oneFinished; });
      char* token = ZEV0_strtok(next, " ");
      ++turn;
      if (token == nullptr) oneFinished = true;
      changed.notify_all();
      if (token == nullptr) return;
      tokens->emplace_back(token);
    }
  };
  std::vector<std::string> first, second;
  std::thread a(tokenize, 0, "a1 a2 a3", &first);
  std::thread b(tokenize, 1, "b1 b2 b3 b4", &second);
  a.join();
  b.join();
  EXPECT_EQ(first, (std::vector<std::string>{"a1", "a2", "a3"}));
  EXPECT_EQ(second, (std::vector<std::string>{"b1", "b2", "b3", "b4"}));
}

// Slots are claimed and released all the time by many threads at once; two
// threads that ended up in one slot would read each other's positions.
TEST(TokenizerTest, ManyThreadsClaimingSlotsAtOnceNeverShareOne) {
  constexpr int kThreads = 64;
  std::atomic<int> mismatches{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &mismatches] {
      std::string id = std::to_string(t);
      std::vector<std::string> expected{"x" + id, "y" + id, "z" + id};
      for (int round = 0; round < 200; ++round)
        if (allTokens("x" + id + ",y" + id + ",z" + id, ",") != expected) ++mismatches;
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(mismatches.load(), 0);
}

TEST(TokenizerTest, NoFreeSlotReadsAsTheEndOfTheTokens) {
  constexpr int kSlots = 256;
  std::mutex lock;
  std::condition_variable changed;
  int holding = 0;
  bool release = false;
  std::atomic<int> mismatches{0};
  std::vector<std::thread> holders;
  for (int t = 0; t < kSlots; ++t) {
    holders.emplace_back([&] {
      std::string text = "first second";
      if (std::string(ZEV0_strtok(text.data(), " ")) != "first") ++mismatches;
      std::unique_lock<std::mutex> guard(lock);
      ++holding;
      changed.notify_all();
      changed.wait(guard, [&] { return release; });
      guard.unlock();
      char* second = ZEV0_strtok(nullptr, " ");
      if (second == nullptr || std::string(second) != "second") ++mismatches;
      if (ZEV0_strtok(nullptr, " ") != nullptr) ++mismatches;
    });
  }
  {
    std::unique_lock<std::mutex> guard(lock);
    changed.wait(guard, [&] { return holding == kSlots; });
  }
  {
    TraceCapture capture("*=0x80");
    std::string text = "a b";
    EXPECT_EQ(ZEV0_strtok(text.data(), " "), nullptr);
    EXPECT_TRUE(capture.contains("***** No slots available in the arrayOfSavePtr."));
  }
  {
    std::lock_guard<std::mutex> guard(lock);
    release = true;
  }
  changed.notify_all();
  for (std::thread& thread : holders) thread.join();
  EXPECT_EQ(mismatches.load(), 0);
  EXPECT_EQ(allTokens("a b", " "), (std::vector<std::string>{"a", "b"})) << "the slots came free again";
}

}  // namespace
