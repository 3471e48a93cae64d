#include "engine_routines.h"

#include "action_intake.h"
#include "action_replies.h"
#include "attribute_limit.h"
#include "automation_server.h"
#include "batch_output.h"
#include "builtin_applications.h"
#include "console_action.h"
#include "console_socket.h"
#include "dch_client_routine.h"
#include "configuration_request.h"
#include "dch_work_queue.h"
#include "derived_attributes.h"
#include "dp_log.h"
#include "file_server.h"
#include "http_application.h"
#include "http_manager.h"
#include "internal_routing.h"
#include "managed_node_list.h"
#include "mib_interest_file.h"
#include "mib_status_rows.h"
#include "no_data_status.h"
#include "metafile_server_task.h"
#include "mib_collection.h"
#include "monitor_node_list.h"
#include "network_name_list.h"
#include "network_node_expansion.h"
#include "node_community_list.h"
#include "periodic_task.h"
#include "post_server.h"
#include "request_state_machine.h"
#include "snmp_worker_task.h"
#include "snmp_application_online.h"
#include "socket_server.h"
#include "zevp/console.h"
#include "startup_config.h"
#include "statistics.h"
#include "summary_block.h"
#include "summary_data.h"
#include "trap_emitter.h"
#include "trap_parameters.h"
#include "url_management.h"
#include "url_monitoring_stop.h"
#include "zevp/console.h"

namespace zevp {

namespace {

EngineRoutines DefaultRoutines() {
  EngineRoutines table{};
  table.dchClientRoutine = ZEVP_DCHclientRoutine;
  table.taskPeriodical = ZEVP_TaskPeriodical;
  table.dpLogServer = ZEVP_DPlogServer;
  table.metaServerTask = ZEVP_MetaServerTask;
  table.automationServer = ZEVP_AutomationServer;
  table.apiServer = ZEVP_SOCKpgmAPIServer;
  table.fileServer = ZEVP_FileServer;
  table.socketServer = ZEVP_SocketServer;
  table.postServer = ZEVP_PostServer;
  table.httpManagerTask = ZEVP_HTTPmanagerTask;

  table.checkDPalreadyActive = ZEVP_CheckDPalreadyActive;
  table.determineMaxAttributesPerGroup = ZEVP_DetermineMaxAttributesPerGroup;
  table.constructTrapDestinationArray = ZEVP_ConstructTrapDestinationArray;
  table.initializeStatisticBlock = ZEVP_InitializeStatisticBlock;
  table.defineDPlogReport = ZEVP_DefineDPlogReport;
  table.defineHTTPapplication = ZEVP_DefineHTTPapplication;
  table.processStartUpConfig = ZEVP_ProcessStartUpConfig;
  table.doApplicationAutoLoad = ZEVP_DoApplicationAutoLoad;
  table.checkAndStartFileServer = ZEVP_CheckAndStartFileServer;
  table.initializeUMB = ZEVP_InitializeUMB;
  table.consoleService = ZEVP_ConsoleService;

  table.provideAction = ZEVP_TakeActionFromAgent;
  table.performDeriveAttrFunction = ZEVP_PerformDeriveAttrFunction;
  table.outputBatchDataRecord = ZEVP_OutputBatchDataRecord;
  table.provideActionReply = ZEVP_ProvideActionReply;
  table.performDataSummaryOutput = ZEVP_PerformDataSummaryOutput;
  table.summaryIntervalEnded = ZEVP_SummaryIntervalEnded;
  table.processSockRequestByState = ZEVP_ProcessSockRequestByState;
  table.updateMIBinteresToDCH = ZEVP_UpdateMIBinteresToDCH;
  table.doNoDataStatusReport = ZEVP_DoNoDataStatusReport;
  table.loadSNMPcommunityName = ZEVP_LoadSNMPcommunityName;
  table.updateMonitorNodeCommunity = ZEVP_UpdateMonitorNodeCommunity;
  table.loadSNMPNetworkName = ZEVP_LoadSNMPNetworkName;
  table.updateMonitorNetworkSymbolicName = ZEVP_UpdateMonitorNetworkSymbolicName;
  table.loadSNMPManagedNodeList = ZEVP_LoadSNMPManagedNodeList;
  table.freeSNMPcommunityNameList = ZEVP_FreeSNMPcommunityNameList;
  table.locateSNMPnodeCommunityName = ZEVP_LocateSNMPnodeCommunityName;
  table.freeSNMPNetworkNameList = ZEVP_FreeSNMPNetworkNameList;

  table.dispatchInternalOutput = ZEVP_DispatchInternalOutput;
  table.updateSummaryDataArray = ZEVP_UpdateSummaryDataArray;
  table.checkDataSummaryReady = ZEVP_CheckDataSummaryReady;
  table.checkRedirectSourceOffline = ZEVP_CheckRedirectSourceOffline;
  table.updateStatLogFileIO = ZEVP_UpdateStatLogFileIO;
  table.sendDPlogMessage = ZEVP_SendDPlogMessage;
  table.snmpApplOnline = ZEVP_SNMPapplOnline;
  table.snmpApplOffline = ZEVP_SNMPapplOffline;
  table.stopSNMPcollection = ZEVP_StopSNMPcollection;

  table.snmpWorkerTask = ZEVP_SNMPWorkerTask;
  table.allocateAutoStartActionEntry = ZEVP_AllocateAutoStartActionEntry;
  table.doAutoStartMIBmonitorTasks = ZEVP_DoAutoStartMIBmonitorTasks;
  table.knownNetworkMask = ZEVP_KnownNetworkMask;
  table.locateNetworkBySymbolicName = ZEVP_LocateNetworkBySymbolicName;
  table.emitSNMPtrap = ZEVP_EmitSNMPtrap;
  table.scheduleRunConsoleCommand = ZEVP_ScheduleRunConsoleCommand;
  table.scheduleDPconfigurationRequest = ZEVP_ScheduleDPconfigurationRequest;
  table.allocateHTTPrequestBlock = ZEVP_AllocateHTTPrequestBlock;
  table.stopSitHTTPrequest = ZEVP_StopSitHTTPrequest;

  table.updateSourceEntryState = ZEVP_UpdateSourceEntryState;
  table.queueAndWaitDCHstatus = ZEVP_QueueAndWaitDCHstatus;
  table.releaseSummaryManagementBlock = ZEVP_ReleaseSummaryManagementBlock;
  table.closeBatchOutputFile = ZEVP_CloseBatchOutputFile;
  table.closeBatchLog = ZEVP_CloseBatchLog;
  return table;
}

EngineRoutines routines = DefaultRoutines();

}  // namespace

EngineRoutines& Routines() { return routines; }

}  // namespace zevp
