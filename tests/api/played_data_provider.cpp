#include "played_data_provider.h"

#include <sstream>

namespace {

// The start stamp of the played data provider.
const std::string kStamp = " 123";

}  // namespace

PlayedDataProvider::PlayedDataProvider(std::string application, std::string group, std::string delimiters)
    : application_(std::move(application)), group_(std::move(group)), delimiters_(std::move(delimiters)) {}

std::vector<std::string> PlayedDataProvider::records() const {
  std::lock_guard<std::mutex> hold(mutex_);
  return records_;
}

std::string PlayedDataProvider::beginInput(unsigned short port, const std::string& operands) {
  std::istringstream words(operands);
  std::string application;
  std::string group;
  words >> application >> group;
  if (application != application_) return "51" + kStamp;
  if (group != group_) return "52" + kStamp;
  sessions_.insert(port);
  return "0" + kStamp + "#" + delimiters_;
}

std::vector<Answer> PlayedDataProvider::answer(const ReceivedRequest& request) {
  std::string verb = request.text.substr(10, 6);
  std::string operands = request.text.size() > 16 ? request.text.substr(16) : "";
  std::lock_guard<std::mutex> hold(mutex_);
  if (verb == "BGNINP") return {Reply(beginInput(request.senderPort, operands))};
  if (sessions_.count(request.senderPort) == 0) return {Reply("13" + kStamp)};
  if (verb == "SNDDTA") records_.push_back(operands);
  if (verb == "ENDINP") sessions_.erase(request.senderPort);
  return {Reply("0" + kStamp)};
}
