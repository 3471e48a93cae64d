#include "proxy_callbacks.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "agent_output.h"
#include "proxy_client.h"
#include "rpc_frame.h"

namespace {

// The fixed-size field of the text: NUL-filled, cut to the size.
template <size_t N>
void Fill(char (&field)[N], const std::string& text) {
  std::memset(field, 0, N);
  std::memcpy(field, text.data(), std::min(text.size(), N));
}

void Report(const char* operation, rpc__status_t fault, int32_t status) {
  if (fault != rpc__s_ok) {
    char text[error__c_text_size];
    error__c_text(fault, text, sizeof text);
    PrintLine("%s|fault=%08x|%s", operation, fault, text);
  } else {
    PrintLine("%s|status=%d", operation, status);
  }
}

}  // namespace

ProxyCallbacks::ProxyCallbacks(const AgentOptions& options) : options_(options), thread_([this] { run(); }) {}

ProxyCallbacks::~ProxyCallbacks() {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    ending_ = true;
  }
  queued_.notify_one();
  thread_.join();
}

bool ProxyCallbacks::queue(const std::string& instruction) {
  // REGISTER(ip:#A[P])
  const std::string prefix = "REGISTER(ip:#";
  size_t open = instruction.find('[');
  size_t close = instruction.find("])");
  if (instruction.compare(0, prefix.size(), prefix) != 0 || open == std::string::npos || close == std::string::npos ||
      close < open)
    return false;
  std::string host = instruction.substr(prefix.size(), open - prefix.size());
  long port = std::atol(instruction.substr(open + 1, close - open - 1).c_str());
  if (host.empty() || port < 1 || port > 65535) return false;
  std::lock_guard<std::mutex> hold(mutex_);
  targets_.emplace_back(host, static_cast<unsigned>(port));
  queued_.notify_one();
  return true;
}

void ProxyCallbacks::run() {
  std::unique_lock<std::mutex> hold(mutex_);
  for (;;) {
    queued_.wait(hold, [this] { return ending_ || !targets_.empty(); });
    if (targets_.empty()) return;
    auto [host, port] = targets_.front();
    targets_.pop_front();
    hold.unlock();
    if (!options_.awaitInput || awaitInput()) callBack(host, port);
    hold.lock();
  }
}

bool ProxyCallbacks::awaitInput() {
  for (;;) {
    {
      std::lock_guard<std::mutex> hold(mutex_);
      if (ending_) return false;
    }
    pollfd input{STDIN_FILENO, POLLIN, 0};
    if (poll(&input, 1, 50) <= 0) continue;
    char c = 0;
    while (read(STDIN_FILENO, &c, 1) == 1 && c != '\n') {
    }
    return true;
  }
}

void ProxyCallbacks::callBack(const std::string& host, unsigned port) {
  socket__addr_t address;
  int addressLength = sizeof address;
  rpc__status_t status;
  socket__from_name(socket__family_internet, host.c_str(), static_cast<int>(host.size()), 0, &address,
                    &addressLength, &status);
  if (status == rpc__s_ok) socket__set_port(&address, addressLength, port, &status);
  rpc__handle_t binding = status == rpc__s_ok ? rpc__bind(&uuid__nil, &address, addressLength, &status) : nullptr;
  if (binding == nullptr) return Report("Bind", status, 0);
  rpc__set_binding_drep(binding, options_.drep, &status);

  int32_t answer = 0;
  {
    rpc::FaultFrame frame;
    RAF_NCS_Register(binding, options_.name.c_str(), options_.affinity.c_str(), static_cast<int32_t>(options_.port),
                     options_.version, 0, &answer);
    Report("Register", frame.close(), answer);
  }
  {
    char name[RAF_SUBNODE_NAME_SIZE], affinity[RAF_SUBNODE_AFFINITY_SIZE], reserved[RAF_SUBNODE_RESERVED_SIZE],
        version[RAF_SUBNODE_VERSION_SIZE], trailer[RAF_SUBNODE_TRAILER_SIZE];
    Fill(name, options_.name);
    Fill(affinity, options_.affinity);
    Fill(reserved, "");
    Fill(version, options_.versionText);
    Fill(trailer, "");
    rpc::FaultFrame frame;
    RAF_NCS_Subnode_Request(binding, name, static_cast<int16_t>(options_.subnodes.size()), options_.subnodes.c_str(),
                            affinity, reserved, version, trailer, &answer);
    Report("Subnode_Request", frame.close(), answer);
  }
  for (const std::string& operation : options_.also) {
    rpc::FaultFrame frame;
    if (operation == "stopped") {
      RAF_RequestId_t request = {{1, 2}};
      RAF_NCS_Stopped(binding, &request, 3, &answer);
    } else if (operation == "sample") {
      RAF_SampleRecord_t sample = {{4, 1, 2, 3}, {'d', 'a', 't', 'a'}};
      RAF_NCS_Sample(binding, &sample, &answer);
    } else if (operation == "nodelookup") {
      int32_t word = 7;
      char first[RAF_LOOKUP_TEXT_MAX + 1] = "node", second[RAF_LOOKUP_TEXT_MAX + 1] = "";
      char field[RAF_LOOKUP_FIELD_SIZE] = {};
      unsigned char output[64];
      int16_t outputCount = 0;
      RAF_NCS_NodeLookup(binding, &word, first, second, field, 0, sizeof output, output, &outputCount, &answer);
    } else {
      continue;
    }
    Report(operation.c_str(), frame.close(), answer);
  }
  rpc__free_handle(binding, &status);
}
