#include "snmp_manager_tables.h"

#include <iterator>

#include "zev/prodspec_items.h"

namespace zevp {

namespace {

constexpr BuiltInAttribute kTrap[] = {
    {"Time_Stamp", "T", nullptr, 0, 0,
     "A 16-byte timestamp for the SNMP trap received by SNMP-MANAGER, in the format CYYMMDDHHMMSSmmm."},
    {"Object_ID", "D", "512", 0, 0, "The SNMP Object Identifier extracted from the received trap."},
    {"Generic_Trap", "C", "9999", 0, 0,
     "The generic trap number extracted from the received trap: 0 = ColdStart 1 = WarmStart 2 = LinkDown 3 = LinkUp "
     "4 = AuthenticationFailure 5 = EGPneighborLoss"},
    {"Specific_Trap", "C", "999999999", 0, 0, "The specific trap number extracted from the received trap."},
    {"Source_Name", "D", "64", 0, 0, "The host name of the agent that originated the trap."},
    {"Source_Type", "D", "32", 0, 0,
     "The type of the agent that originated the trap, as specified in the trap definition in the trap configuration "
     "file."},
    {"Source_Status", "D", "32", 0, 0,
     "The status of the agent that originated the trap after sending it, as specified in the trap definition in the "
     "trap configuration file."},
    {"Enterprise_Name", "D", "64", 0, 0,
     "The trap Enterprise name as defined in trap configuration file and looked up through the trap Object "
     "Identifier."},
    {"Alert_Name", "D", "64", 0, 0, "The trap name as specified in the definition in the trap configuration file."},
    {"Category", "D", "32", 0, 0, "The trap category as specified in the definition in the trap configuration file."},
    {"Severity", "D", "32", 0, 0, "The trap severity as specified in the definition in the trap configuration file."},
    {"Description", "D", "256", 0, 0,
     "The trap description specified in the trap configuration file. The maximum description length is 256 "
     "characters."},
    {"Value_List", "D", "1024", 0, 0,
     "The VarBind data of the received trap PDU, converted to attribute names where the MIB's metafile is loaded, "
     "otherwise shown as object identifiers; every element in the form attribute=value."},
};

constexpr BuiltInAttribute kRouter[] = {
    {"Router_Name", "D", "64", 0, 0,
     "The host name of a discovered router. If the address of a router cannot be resolved via DNS, the dotted "
     "decimal IP address is shown."},
    {"Router_Address", "D", "32", 1, 1, "The IP address of the discovered router."},
    {"Router_Description", "D", "256", 0, 0,
     "A description of the router characteristics as defined by the device manufacturer. The value corresponds to "
     "the RFC 1213 System Group sysDescr MIB variable specification."},
    {"Router_Status", "D", "8", 0, 0, "The current status of the discovered router."},
    {"Route_Count", "C", "999", 0, 0, "The total number of network routes defined."},
    {"Destination_Networks", "D", "1024", 0, 0, "A list of routable networks known to this router."},
};

constexpr BuiltInAttribute kNetSummary[] = {
    {"Network_Address", "D", "32", 1, 1, "The address of the discovered network."},
    {"Network_Mask", "D", "32", 0, 0, "The address mask of the discovered network."},
    {"Active_Nodes", "C", "999999", 0, 0, "The total number of nodes in this network that are currently active."},
    {"Inactive_Nodes", "C", "999999", 0, 0,
     "The total number of nodes in this network that are currently inactive."},
    {"Curr_RespTime_ms", "C", "999999", 0, 0,
     "The current network response time for SNMP or ICMP requests as viewed by the SNMP-MANAGER in milliseconds."},
    {"Min_RespTime_ms", "C", "999999", 0, 0,
     "The minimum network response time for all SNMP or ICMP requests as viewed by the SNMP-MANAGER in "
     "milliseconds."},
    {"Max_RespTime_ms", "C", "999999", 0, 0,
     "The maximum network response time for all SNMP or ICMP requests as viewed by the SNMP-MANAGER in "
     "milliseconds."},
    {"Managed", "D", "12", 0, 0,
     "An indication of whether or not nodes within this network are actively managed. Details for the managed "
     "network can be seen using NETWORK Detail report."},
    {"Network_Routers", "D", "256", 0, 0, "A list of the routers attached to this network."},
};

constexpr BuiltInAttribute kNetwork[] = {
    {"Name", "D", "128", 0, 0,
     "The host name of the network node. If the node address cannot be resolved via DNS then the dotted decimal IP "
     "address is shown."},
    {"Address", "D", "32", 1, 1, "The network node ip address."},
    {"Status", "D", "8", 0, 0, "The current operating status of the network node."},
    {"Type", "D", "64", 0, 0, "The network node type such as application host, router, bridge, and so on."},
    {"SNMP_Enabled", "D", "4", 0, 0, "Indicates whether or not an SNMP agent is active on this network node."},
    {"Location", "D", "128", 0, 0, "Information about the physical location of the network, if available."},
    {"Description", "D", "256", 0, 0,
     "The description of the node characteristics as defined by a network administrator or device manufacturer. "
     "This attribute value corresponds to the RFC 1213 System Group sysDescr MIB variable specification."},
};

constexpr BuiltInAttribute kMibStatus[] = {
    {"Enterprise", "D", "64", 1, 1, "The enterprise name of the MIB."},
    {"Attribute_Group", "D", "32", 1, 1, "The name of the attribute group for which data is being collected."},
    {"Monitor_Interval", "C", "999999", 0, 0,
     "The currently active data collection interval. This is the shortest interval of all outstanding data "
     "collection requests."},
    {"Monitor_Agent_Info", "D", "1024", 0, 0,
     "A list of target SNMP agent nodes and their corresponding SNMP community name."},
    {"Last_Sample_TimeStamp", "D", "24", 0, 0, "The timestamp of the currently available MIB attribute data set."},
};

constexpr BuiltInAttribute kManagedNodes[] = {
    {"Name", "D", "128", 0, 0,
     "The host name of the managed node. If the node address cannot be resolved via DNS then the dotted decimal IP "
     "address is shown."},
    {"Address", "D", "32", 1, 1, "The IP address of the managed node host."},
    {"Node_Status", "D", "8", 0, 0, "The current operating status of the managed node."},
    {"Status_TimeStamp", "D", "24", 0, 0, "The date and time the node status was last checked."},
    {"Node_Type", "D", "64", 0, 0, "The type of managed node such as general IP node, application host or gateway."},
    {"Node_Description", "D", "256", 0, 0,
     "The description of the node characteristics as defined by a network administrator or device manufacturer."},
    {"Current_ResponseTime_ms", "C", "999999", 0, 0,
     "The current network response time for SNMP or ICMP requests for the managed node, as viewed by the "
     "SNMP-MANAGER."},
};

constexpr BuiltInAttribute kPlovenAgents[] = {
    {"Managed_System_Name", "D", "32", 1, 1, "The Managed System name of the Ploven agent."},
    {"Network_Name", "D", "128", 0, 0,
     "The host name where the Ploven agent resides. If the network node address cannot be resolved via DNS then the "
     "dotted decimal IP address is shown."},
    {"Network_Address", "D", "32", 0, 0, "The IP address of the Ploven agent host node."},
    {"Product_Name", "D", "64", 0, 0, "The Ploven product name."},
    {"Version", "D", "8", 0, 0, "The Ploven product version."},
    {"Agent_Framework_Features", "D", "256", 0, 0,
     "The Ploven product basic architecture capabilities and features."},
    {"Last_Check_TimeStamp", "D", "24", 0, 0, "The last time the Ploven agent was checked for its status"},
    {"Last_Reply_TimeStamp", "D", "24", 0, 0, "The last time that the Ploven agent responded to status inquiry."},
};

constexpr BuiltInAttribute kMibNoData[] = {
    {"Agent_Name", "D", "64", 0, 0, "The monitoring agent name or address"},
    {"Enterprise_Module", "D", "64", 0, 0, "The data collection MIB enterprise name"},
    {"No_Data_Tables", "D", "216", 0, 0, "A list of Enterprise tables for which the agent returns no data"},
};

template <size_t N>
constexpr int CountOf(const BuiltInAttribute (&)[N]) {
  return static_cast<int>(N);
}

constexpr SNMPmanagerTableDefinition kTables[] = {
    {{"TRAP", "E",
      "The TRAP report contains received SNMP traps; by default critical and warning traps also go to the message "
      "console.",
      kTrap, CountOf(kTrap)},
     SNMPmanagerTTL::none, nullptr, ZEV2_ENABLE_SNMP_TRAP},
    {{"ROUTER", "K",
      "The ROUTER report contains discovered enterprise routers and their characteristics.",
      kRouter, CountOf(kRouter)},
     SNMPmanagerTTL::networkData, nullptr, ZEV2_ENABLE_SNMP_DISCOVERY},
    {{"NETSUMMARY", "K",
      "The NETSUMMARY report shows response time statistics for discovered networks and their corresponding "
      "gateway routers.",
      kNetSummary, CountOf(kNetSummary)},
     SNMPmanagerTTL::networkData, nullptr, ZEV2_ENABLE_SNMP_DISCOVERY},
    {{"NETWORK", "K",
      "Network Detail report includes discovered nodes characteristics within a managed network.",
      kNetwork, CountOf(kNetwork)},
     SNMPmanagerTTL::networkData, nullptr, kAlwaysDefined},
    {{"MIBSTATUS", "K",
      "The MIBSTATUS report provides specific parameters for MIB data collection parameters and the timestamp of "
      "the most recently collected data sample.",
      kMibStatus, CountOf(kMibStatus)},
     SNMPmanagerTTL::networkData, nullptr, ZEV2_ENABLE_SNMP_MIBSTATUS},
    {{"MANAGED-NODES", "K",
      "The MANAGED-NODE report contains about the nodes identified in your managed node list.",
      kManagedNodes, CountOf(kManagedNodes)},
     SNMPmanagerTTL::networkData, nullptr, kAlwaysDefined},
    {{"PLOVEN-AGENTS", "K",
      "The PLOVEN-AGENTS report contains information about the installed Ploven product agents identified in "
      "your network.",
      kPlovenAgents, CountOf(kPlovenAgents)},
     SNMPmanagerTTL::networkData, nullptr, ZEV2_ENABLE_PLOVENAGENT_DISCOVERY},
    {{"MIBNODATA", "P",
      "The MIB No Data report contains data collection status of MIB tables to which monitoring agents do not "
      "return data.",
      kMibNoData, CountOf(kMibNoData)},
     SNMPmanagerTTL::fixed, "300", ZEV2_ENABLE_SNMP_MIBSTATUS},
};

static_assert(std::size(kTables) == ZEVP_SNMP_MIBNODATA + 1, "one definition per table index");

}  // namespace

const SNMPmanagerTableDefinition& SNMPmanagerTable(int index) { return kTables[index]; }

}  // namespace zevp
