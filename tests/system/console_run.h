// The console program zevpcon at an agent's data providers, as an operator runs it
// with a command and its parameter: its discovery finds them all, the one of the type
// is chosen from the list, and what it prints after the choice is read once it ends.
#pragma once

#include <string>
#include <vector>

#include "agent_process.h"
#include "tool_process.h"

class ConsoleRun {
 public:
  // Starts it in the directory (where it looks for metafiles).
  ConsoleRun(const AgentProcess& agent, const std::string& type, const std::vector<std::string>& arguments,
             const std::string& directory);

  // Answers the choice with the type's number, then gives the further input (lines of
  // a dialogue that follows) and closes the input; the lines before the choice's
  // prompt are kept. False when the type was not offered.
  bool choose(const std::string& furtherInput = std::string());
  // The lines after the choice, once the program has ended.
  std::vector<std::string> finish();
  const std::vector<std::string>& head() const { return head_; }
  // Its exit code once finished, else -1.
  int exitCode() const { return exitCode_; }

 private:
  std::string type_;
  ToolProcess program_;
  bool started_ = false;
  std::vector<std::string> head_;
  int number_ = 0;
  int exitCode_ = -1;
};
