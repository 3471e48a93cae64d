// A console port of the test's that answers as its script says: for replies a
// data provider's console never gives. Each command datagram that comes (in the
// network code) is recorded and answered from the same port with the script's
// replies, in order.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class ScriptedConsole {
 public:
  // The replies to a command (in the local code); none for silence.
  using Script = std::function<std::vector<std::string>(const std::string& command)>;

  ScriptedConsole(unsigned short port, Script script);
  ~ScriptedConsole();
  ScriptedConsole(const ScriptedConsole&) = delete;
  ScriptedConsole& operator=(const ScriptedConsole&) = delete;

  bool listening() const { return socket_ >= 0; }
  // The commands received so far, in the local code.
  std::vector<std::string> commands();

 private:
  void serve();

  int socket_;
  Script script_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<std::string> commands_;
  std::thread thread_;
};
