// What the management-server port answers (internal to the framework;
// docs/framework-port.md).
#pragma once

#include <string>

#include "port_request.h"

namespace raf {

// "OK<tab>n" and n lines, each ending in a line feed.
std::string OkAnswer(const std::vector<std::string>& lines);
// "ERROR<tab>text" and a line feed.
std::string ErrorAnswer(const std::string& error);

// Carries the request out and gives the whole answer.
std::string AnswerPortRequest(const PortRequest& request);

}  // namespace raf
