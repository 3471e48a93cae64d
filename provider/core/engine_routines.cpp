#include "engine_routines.h"

#include "attribute_limit.h"
#include "dch_work_queue.h"
#include "engine_stand_ins.h"

namespace zevp {

namespace {

EngineRoutines DefaultRoutines() {
  EngineRoutines table{};
  table.dchClientRoutine = standin::IdleUntilTerminated;
  table.taskPeriodical = standin::IdleUntilTerminated;
  table.dpLogServer = standin::DPlogServer;
  table.metaServerTask = standin::MetaServerTask;
  table.automationServer = standin::IdleUntilTerminated;
  table.apiServer = standin::IdleUntilTerminated;
  table.fileServer = standin::IdleUntilTerminated;
  table.socketServer = standin::IdleUntilTerminated;
  table.postServer = standin::IdleUntilTerminated;
  table.httpManagerTask = standin::IdleUntilTerminated;

  table.checkDPalreadyActive = standin::CheckDPalreadyActive;
  table.determineMaxAttributesPerGroup = ZEVP_DetermineMaxAttributesPerGroup;
  table.constructTrapDestinationArray = standin::ConstructTrapDestinationArray;
  table.initializeStatisticBlock = standin::InitializeStatisticBlock;
  table.defineDPlogReport = standin::DefineDPlogReport;
  table.defineHTTPapplication = standin::DefineHTTPapplication;
  table.processStartUpConfig = standin::ProcessStartUpConfig;
  table.doApplicationAutoLoad = standin::DoApplicationAutoLoad;
  table.checkAndStartFileServer = standin::CheckAndStartFileServer;
  table.initializeUMB = standin::InitializeUMB;
  table.consoleService = standin::ConsoleService;

  table.provideAction = standin::ProvideAction;
  table.performDeriveAttrFunction = standin::PerformDeriveAttrFunction;
  table.outputBatchDataRecord = standin::OutputBatchDataRecord;

  table.updateSourceEntryState = ZEVP_UpdateSourceEntryState;
  table.queueAndWaitDCHstatus = ZEVP_QueueAndWaitDCHstatus;
  table.releaseSummaryManagementBlock = standin::ReleaseSummaryManagementBlock;
  table.releaseOMB = standin::ReleaseOMB;
  table.closeBatchOutputFile = standin::CloseBatchOutputFile;
  table.closeBatchLog = standin::CloseBatchLog;
  return table;
}

EngineRoutines routines = DefaultRoutines();

}  // namespace

EngineRoutines& Routines() { return routines; }

}  // namespace zevp
