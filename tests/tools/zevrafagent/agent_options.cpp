#include "agent_options.h"

#include <cstdlib>
#include <cstring>
#include <sstream>

bool ReadAgentOptions(int argc, char** argv, AgentOptions* options, std::string* reason) {
  if (argc < 3) {
    *reason = "usage: zevrafagent ADDRESS PORT [options]";
    return false;
  }
  options->address = argv[1];
  long port = std::atol(argv[2]);
  if (port < 1 || port > 65535) {
    *reason = "port out of range";
    return false;
  }
  options->port = static_cast<unsigned>(port);
  bool ebcdic = false;
  for (int i = 3; i < argc; ++i) {
    std::string option = argv[i];
    if (option == "--ebcdic") {
      ebcdic = true;
      continue;
    }
    if (option == "--await-input") {
      options->awaitInput = true;
      continue;
    }
    if (i + 1 >= argc) {
      *reason = "no value for " + option;
      return false;
    }
    std::string value = argv[++i];
    if (option == "--name") {
      options->name = value;
    } else if (option == "--affinity") {
      options->affinity = value;
    } else if (option == "--version") {
      options->version = std::atoi(value.c_str());
    } else if (option == "--version-text") {
      options->versionText = value;
    } else if (option == "--subnodes") {
      options->subnodes = value;
    } else if (option == "--drep" && (value == "big" || value == "little")) {
      options->drep = value == "little" ? rpc__drep_little_endian : rpc__drep_big_endian_ascii;
    } else if (option == "--also") {
      std::istringstream names(value);
      for (std::string name; std::getline(names, name, ',');) options->also.push_back(name);
    } else {
      *reason = "unknown option " + option + " " + value;
      return false;
    }
  }
  if (ebcdic) options->drep |= rpc__drep_ebcdic;
  return true;
}
