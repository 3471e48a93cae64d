// Debian's net-snmp programs as the real peers of SNMP tests: the agent snmpd and
// the trap receiver snmptrapd in the foreground with a configuration the test
// writes, and snmpget, snmpset and snmptrap as cross-checks (numeric OIDs, no MIB
// files). Each refuses to run outside a network namespace of the test's own
// (network_namespace.h).
#pragma once

#include <string>
#include <vector>

#include "scratch_directory.h"
#include "tool_process.h"

struct SnmpAgentSettings {
  std::string address = "127.0.0.1";
  unsigned short port = 161;
  std::string readCommunity = "public";
  std::string writeCommunity = "private";  // empty: none
  // The system group; an empty text is not configured (and so stays writable).
  std::string sysDescr = "Test agent";
  std::string sysObjectID;
  std::string sysContact;
  std::string sysName = "test-agent";
  std::string sysLocation;
  int sysServices = 72;
};

// snmpd of the lab tests: on 10.77.0.1 with the SNMP data provider's default read
// community ("willow"), sysDescr "Lab router" and a sysObjectID of the enterprise
// 1.3.6.1.4.1.99.
SnmpAgentSettings LabRouterSettings();

// snmpd answering on the settings' address and port, until the object goes.
class SnmpAgentProcess {
 public:
  explicit SnmpAgentProcess(SnmpAgentSettings settings = {});
  ~SnmpAgentProcess();
  SnmpAgentProcess(const SnmpAgentProcess&) = delete;
  SnmpAgentProcess& operator=(const SnmpAgentProcess&) = delete;

  // Starts it and waits (at most five seconds) until it has bound its port; false
  // with the reason in failure() otherwise.
  bool start();
  const SnmpAgentSettings& settings() const { return settings_; }
  // "address:port", as the command-line tools take the agent.
  std::string target() const;
  std::string log() const { return scratch_.read("snmpd.log"); }
  const std::string& failure() const { return failure_; }

 private:
  SnmpAgentSettings settings_;
  ScratchDirectory scratch_;
  ToolProcess process_;
  std::string failure_;
};

// snmptrapd receiving on the address and port, writing each trap as one line of
// its log: "TRAP agent=<agent-addr> enterprise=<OID> generic=<n> specific=<n>
// vars=<OID = TYPE: value, ...>" (numeric OIDs; net-snmp writes the specific
// number of an enterprise-specific trap, generic 6, as ".<n>").
class TrapReceiverProcess {
 public:
  explicit TrapReceiverProcess(const std::string& address = "127.0.0.1", unsigned short port = 162);
  ~TrapReceiverProcess();
  TrapReceiverProcess(const TrapReceiverProcess&) = delete;
  TrapReceiverProcess& operator=(const TrapReceiverProcess&) = delete;

  bool start();
  // The trap lines logged so far.
  std::vector<std::string> traps() const;
  // True once a trap line holding the text was logged, within the time.
  bool waitForTrap(const std::string& text, int waitMs) const;
  const std::string& failure() const { return failure_; }

 private:
  std::string address_;
  unsigned short port_;
  ScratchDirectory scratch_;
  ToolProcess process_;
  std::string failure_;
};

// snmpget of SNMPv1 (one try, a one-second wait): standard output holds a line
// ".OID = TYPE: value" per variable; exit status 1 and "Timeout: No Response from
// ..." on standard error when nothing answers.
ToolRun SnmpGet(const std::string& target, const std::string& community, const std::vector<std::string>& oids);
// snmpwalk of SNMPv1 from the OID on (one try, a one-second wait): a line
// ".OID value" per variable (-On -Oq).
ToolRun SnmpWalk(const std::string& target, const std::string& community, const std::string& oid);
// snmpset of one variable: type is snmpset's letter (s, i, o, a, ...).
ToolRun SnmpSet(const std::string& target, const std::string& community, const std::string& oid,
                const std::string& type, const std::string& value);
// An SNMPv1 trap; each variable binding is three words: OID, type letter, value.
ToolRun SnmpTrap(const std::string& target, const std::string& community, const std::string& enterprise,
                 const std::string& agentAddress, int generic, int specific,
                 const std::vector<std::string>& variableWords = {});
// An SNMPv2c trap (an SNMPv2-Trap-PDU in a message of version 1) with the trap's OID,
// the sender's uptime now; variable bindings as for SnmpTrap.
ToolRun SnmpTrapV2c(const std::string& target, const std::string& community, const std::string& trapOID,
                    const std::vector<std::string>& variableWords = {});
