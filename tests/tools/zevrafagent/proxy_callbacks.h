// The call-backs a StartAgent asks for, made one at a time on a thread of their own so
// that the StartAgent is answered at once.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "agent_options.h"

class ProxyCallbacks {
 public:
  explicit ProxyCallbacks(const AgentOptions& options);
  // Makes the call-backs queued so far (those still waiting for their input line are
  // dropped), then ends.
  ~ProxyCallbacks();

  // Queues the call-backs that the instruction asks for; false when it asks for none.
  bool queue(const std::string& instruction);

 private:
  void run();
  // With --await-input: waits for a line (or the end) of standard input; false when
  // the agent ends meanwhile.
  bool awaitInput();
  void callBack(const std::string& host, unsigned port);

  const AgentOptions& options_;
  std::mutex mutex_;
  std::condition_variable queued_;
  std::deque<std::pair<std::string, unsigned>> targets_;
  bool ending_ = false;
  std::thread thread_;
};
