// A program of the build's bin/ (found through ZEV_TEST_TOOLS), or one named by its
// full path, as a child of a test:
// its standard input and output on pipes, its standard error in a file of a scratch
// folder and no other descriptor, its environment the test's own with the test's settings over it. A child
// still running when the object goes is killed.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

class ToolProcess {
 public:
  explicit ToolProcess(const std::string& program);
  ~ToolProcess();
  ToolProcess(const ToolProcess&) = delete;
  ToolProcess& operator=(const ToolProcess&) = delete;

  // Starts the program with the arguments; each "NAME=value" setting replaces the
  // variable of that name. False when it could not be started (see failure()); the
  // SNMP data-provider program zevpsnmp is refused (a failure of the test) outside a
  // network namespace of the test's own.
  bool start(const std::vector<std::string>& arguments, const std::vector<std::string>& settings);
  // Later starts run the program in its scratch folder, or in the directory given (else
  // in the test's own).
  void runInScratch() { workDirectory_ = scratch_; }
  void runIn(const std::string& directory) { workDirectory_ = directory; }

  // One line of standard output, without its newline; what came of it when the output
  // ends or the time runs out.
  std::string readLine(int waitMs);
  // Everything on standard output until it closes or the time runs out.
  std::string readAll(int waitMs);
  // The wait status once the program has ended within the time; -1 when it has not.
  int waitForEnd(int waitMs);
  void closeInput();
  // Writes the text to the program's standard input; false when it did not all go.
  bool writeInput(const std::string& text);
  // Sends SIGTERM and waits for the end: the wait status, or -1.
  int terminate(int waitMs);

  bool running() const { return pid_ > 0; }
  // The process id while it runs (for a test that stops or kills it), else -1.
  pid_t pid() const { return pid_; }
  // Its resident memory in kB, from /proc; -1 when it cannot be read.
  long residentKilobytes() const;
  // A folder of the child's own, removed with the object.
  const std::string& scratch() const { return scratch_; }
  std::string errorText() const;
  const std::string& failure() const { return failure_; }

 private:
  std::string errorPath() const { return scratch_ + "/stderr"; }

  std::string program_;
  std::string scratch_;
  std::string failure_;
  pid_t pid_ = -1;
  std::string workDirectory_;
  int input_ = -1;
  int output_ = -1;
};

// The settings ("NAME=value") with each of the overrides in place of the setting of the
// same name, or after them.
std::vector<std::string> SettingsWith(std::vector<std::string> settings, const std::vector<std::string>& overrides);

// Runs a program to its end (killed after waitMs), in the directory when one is given:
// its exit status (-1 when it did not end normally), standard output and standard
// error.
struct ToolRun {
  int exitStatus = -1;
  std::string output;
  std::string errors;
};
ToolRun RunTool(const std::string& program, const std::vector<std::string>& arguments,
                const std::vector<std::string>& settings = {}, int waitMs = 20000,
                const std::string& directory = std::string());
