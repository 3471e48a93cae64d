// The test agent's command line:
//   zevrafagent ADDRESS PORT [--name NAME] [--affinity TEXT] [--version N]
//               [--version-text TEXT] [--subnodes LIST] [--drep big|little] [--ebcdic]
//               [--also stopped,sample,nodelookup] [--await-input]
// It serves RAF_Agent at ADDRESS:PORT. A StartAgent whose instruction is
// "REGISTER(ip:#A[P])" makes it call RAF_Proxy at A:P: RAF_NCS_Register with NAME,
// the affinity, its port and the version number, then RAF_NCS_Subnode_Request with
// NAME, LIST, the affinity and the version text, then each operation of --also. Its
// calls go in the data representation of --drep and --ebcdic (default the machine's).
// With --await-input the call-backs of each StartAgent wait for a line (or the end)
// of its standard input, so that a test can look between the probe and the answer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "rpc_drep.h"

struct AgentOptions {
  std::string address;
  unsigned port = 0;
  std::string name = "AGENT01:host:LZ";
  std::string affinity = "0000000000000040000000000000000000000000003";
  int32_t version = 131;
  std::string versionText = "02.00.00";
  std::string subnodes = "SUB01,SUB02";
  rpc__drep_t drep = rpc__local_drep();
  std::vector<std::string> also;
  bool awaitInput = false;
};

// False with the reason when the line does not read.
bool ReadAgentOptions(int argc, char** argv, AgentOptions* options, std::string* reason);
