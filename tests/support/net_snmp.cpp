#include "net_snmp.h"

#include <chrono>
#include <sstream>
#include <thread>

#include "eventually.h"
#include "network_namespace.h"
#include "socket_tables.h"

namespace {

constexpr int kBindWaitMs = 5000;
constexpr int kStopWaitMs = 5000;
constexpr int kToolWaitMs = 10000;

// No MIB files are read: every OID stays numeric.
const std::vector<std::string> kWithoutMibs = {"MIBS=", "MIBDIRS=/nonexistent"};

std::string PersistentDirectory(const ScratchDirectory& scratch) {
  return "[snmp] persistentDir " + scratch.path() + "persist\n";
}

// Waits until the process has bound the port, or has ended; the failure, or empty.
std::string AwaitBound(ToolProcess& process, unsigned short port, const std::string& name) {
  bool bound = Eventually([&] { return UdpPortBound(port) || process.waitForEnd(0) != -1; }, kBindWaitMs);
  if (bound && UdpPortBound(port)) return std::string();
  return name + " did not bind port " + std::to_string(port) + ": " + process.errorText();
}

void Stop(ToolProcess& process) {
  if (process.running() && process.terminate(kStopWaitMs) == -1) process.waitForEnd(0);
}

ToolRun RunInNamespace(const std::string& program, const std::vector<std::string>& arguments) {
  if (!RequireOwnNetworkNamespace(program)) return ToolRun{};
  return RunTool(program, arguments, kWithoutMibs, kToolWaitMs);
}

}  // namespace

SnmpAgentProcess::SnmpAgentProcess(SnmpAgentSettings settings)
    : settings_(std::move(settings)), scratch_("zev_snmpd"), process_("/usr/sbin/snmpd") {}

SnmpAgentProcess::~SnmpAgentProcess() { Stop(process_); }

std::string SnmpAgentProcess::target() const { return settings_.address + ":" + std::to_string(settings_.port); }

bool SnmpAgentProcess::start() {
  if (!RequireOwnNetworkNamespace("snmpd")) {
    failure_ = "outside a network namespace of the test's own";
    return false;
  }
  std::ostringstream configuration;
  configuration << PersistentDirectory(scratch_) << "rocommunity " << settings_.readCommunity << "\n";
  if (!settings_.writeCommunity.empty()) configuration << "rwcommunity " << settings_.writeCommunity << "\n";
  const std::pair<const char*, const std::string*> system[] = {{"sysDescr", &settings_.sysDescr},
                                                                {"sysObjectID", &settings_.sysObjectID},
                                                                {"sysContact", &settings_.sysContact},
                                                                {"sysName", &settings_.sysName},
                                                                {"sysLocation", &settings_.sysLocation}};
  for (const auto& [token, value] : system)
    if (!value->empty()) configuration << token << " " << *value << "\n";
  configuration << "sysServices " << settings_.sysServices << "\n";
  std::string file = scratch_.write("snmpd.conf", configuration.str());
  if (!process_.start({"-f", "-C", "-c", file, "-Lf", scratch_.file("snmpd.log"), "-p", scratch_.file("snmpd.pid"),
                       "udp:" + target()},
                      kWithoutMibs)) {
    failure_ = process_.failure();
    return false;
  }
  failure_ = AwaitBound(process_, settings_.port, "snmpd");
  return failure_.empty();
}

TrapReceiverProcess::TrapReceiverProcess(const std::string& address, unsigned short port)
    : address_(address), port_(port), scratch_("zev_snmptrapd"), process_("/usr/sbin/snmptrapd") {}

TrapReceiverProcess::~TrapReceiverProcess() { Stop(process_); }

bool TrapReceiverProcess::start() {
  if (!RequireOwnNetworkNamespace("snmptrapd")) {
    failure_ = "outside a network namespace of the test's own";
    return false;
  }
  std::string file = scratch_.write(
      "snmptrapd.conf", PersistentDirectory(scratch_) +
                            "disableAuthorization yes\n"
                            "format1 TRAP agent=%a enterprise=%N generic=%w specific=%q vars=%v\\n\n");
  if (!process_.start({"-f", "-On", "-C", "-c", file, "-Lf", scratch_.file("traps.log"),
                       "udp:" + address_ + ":" + std::to_string(port_)},
                      kWithoutMibs)) {
    failure_ = process_.failure();
    return false;
  }
  failure_ = AwaitBound(process_, port_, "snmptrapd");
  return failure_.empty();
}

std::vector<std::string> TrapReceiverProcess::traps() const {
  std::vector<std::string> lines;
  std::istringstream log(scratch_.read("traps.log"));
  for (std::string line; std::getline(log, line);)
    if (line.compare(0, 5, "TRAP ") == 0) lines.push_back(line);
  return lines;
}

bool TrapReceiverProcess::waitForTrap(const std::string& text, int waitMs) const {
  return Eventually(
      [&] {
        for (const std::string& line : traps())
          if (line.find(text) != std::string::npos) return true;
        return false;
      },
      waitMs);
}

ToolRun SnmpGet(const std::string& target, const std::string& community, const std::vector<std::string>& oids) {
  std::vector<std::string> words = {"-v1", "-c", community, "-On", "-t", "1", "-r", "0", target};
  words.insert(words.end(), oids.begin(), oids.end());
  return RunInNamespace("/usr/bin/snmpget", words);
}

ToolRun SnmpWalk(const std::string& target, const std::string& community, const std::string& oid) {
  return RunInNamespace("/usr/bin/snmpwalk", {"-v1", "-c", community, "-On", "-Oq", "-t", "1", "-r", "0", target, oid});
}

ToolRun SnmpSet(const std::string& target, const std::string& community, const std::string& oid,
                const std::string& type, const std::string& value) {
  return RunInNamespace("/usr/bin/snmpset",
                        {"-v1", "-c", community, "-On", "-t", "1", "-r", "0", target, oid, type, value});
}

ToolRun SnmpTrap(const std::string& target, const std::string& community, const std::string& enterprise,
                 const std::string& agentAddress, int generic, int specific,
                 const std::vector<std::string>& variableWords) {
  std::vector<std::string> words = {"-v1", "-c", community, target, enterprise, agentAddress,
                                    std::to_string(generic), std::to_string(specific), ""};
  words.insert(words.end(), variableWords.begin(), variableWords.end());
  return RunInNamespace("/usr/bin/snmptrap", words);
}

ToolRun SnmpTrapV2c(const std::string& target, const std::string& community, const std::string& trapOID,
                    const std::vector<std::string>& variableWords) {
  std::vector<std::string> words = {"-v2c", "-c", community, target, "", trapOID};
  words.insert(words.end(), variableWords.begin(), variableWords.end());
  return RunInNamespace("/usr/bin/snmptrap", words);
}

SnmpAgentSettings LabRouterSettings() {
  SnmpAgentSettings settings;
  settings.address = "10.77.0.1";
  settings.readCommunity = "willow";
  settings.sysDescr = "Lab router";
  settings.sysObjectID = "1.3.6.1.4.1.99.1.2";
  return settings;
}
