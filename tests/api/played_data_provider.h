// The API data provider's input sessions as far as the client's tests need them, played
// through the responder until the data provider itself serves API input: a session per
// sender port, opened by a begin for the one known application and group (answered with
// the group's delimiters), records kept while it is open, closed by an end; a request
// outside a session is a sequence error (13).
#pragma once

#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "api_responder.h"

class PlayedDataProvider {
 public:
  PlayedDataProvider(std::string application, std::string group, std::string delimiters);
  // The answers to a request, for the responder (called on its thread).
  std::vector<Answer> answer(const ReceivedRequest& request);
  // The data of every record received in a session, in order.
  std::vector<std::string> records() const;

 private:
  std::string beginInput(unsigned short port, const std::string& operands);

  const std::string application_;
  const std::string group_;
  const std::string delimiters_;
  mutable std::mutex mutex_;
  std::set<unsigned short> sessions_;
  std::vector<std::string> records_;
};
