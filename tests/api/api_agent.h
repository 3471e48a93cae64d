// The API data provider of the agent program for the client library's tests and its
// tools: zeva350 with an APIS (or ASFS) data provider, its API port and console ports
// free loopback ports, its metafiles in a folder of its own, read by the framework's
// port with zevraf. The agent is killed at the end unless a test ends it.
#pragma once

#include <string>
#include <vector>

#include "agent_process.h"

class ApiAgent {
 public:
  ApiAgent();

  // Writes the metafile (its lines) into the metafile folder.
  void metafile(const std::string& name, const std::vector<std::string>& lines) const;
  // The start-up configuration: the metafiles loaded at the start.
  void loadAtStart(const std::vector<std::string>& names) const;
  // Starts the agent with a data provider of the type; true once its API server listens
  // and its console answers.
  bool start(const std::string& type = "APIS");

  // The settings that point a program of the library at this data provider: its host,
  // API port and console port (the API console port is the base).
  std::vector<std::string> clientSettings() const;
  // The same for the library in this process.
  void pointClientHere() const;

  // True once a table of the application (its key, e.g. APPL00) holds a row with the
  // text, within the time.
  bool sampled(const std::string& applicationKey, const std::string& text, int waitMs = 10000) const;
  // True once the data provider's log (DVAGENT00) holds the text.
  bool logged(const std::string& text, int waitMs = 10000) const { return sampled("DVAGENT00", text, waitMs); }
  // The subnodes the framework shows, one a line.
  std::vector<std::string> subnodes(const std::string& text) const;

  AgentProcess& agent() { return agent_; }
  const std::string& metafiles() const { return metafiles_; }
  unsigned short apiPort() const { return apiPort_; }
  unsigned short consolePort() const { return agent_.consoleBase(); }

 private:
  AgentProcess agent_;
  std::string metafiles_;
  unsigned short apiPort_;
};
