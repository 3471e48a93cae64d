#include "batch_job.h"

#include <cstdio>
#include <ctime>

#include "batch_options.h"
#include "batch_work_wait.h"
#include "environment_file.h"
#include "trc1.h"
#include "zev0/env.h"
#include "zev0/hostnames.h"
#include "zev0/storage.h"
#include "zev0/text.h"
#include "zev0/timestamp.h"
#include "zevp/batch_run.h"
#include "zevp/data_provider.h"

TRC_UNIT();

namespace zevb350 {

namespace {

// The current time as ctime writes it, without its line end.
std::string Now() {
  time_t now = std::time(nullptr);
  char text[32] = "";
  ctime_r(&now, text);
  std::string line = text;
  while (!line.empty() && line.back() == '\n') line.pop_back();
  return line;
}

void WriteLog(const std::string& line) { ZEVP_WriteBatchLog(line.c_str()); }

std::string BaseName(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The output file's full name: as given when it names a directory, else in the
// work directory.
std::string OutputFileName(const std::string& given) {
  if (ZEV0_IsThisFullyQualifiedName(given.c_str())) return given;
  char* full = ZEV0_ConstructFullyQualifiedName(nullptr, given.c_str());
  std::string name = full != nullptr ? full : given;
  ZEV0_FreeStorage(&full);
  return name;
}

// Builds the application and lets the engine's batch pass process its input files.
void ProcessMetafile(DPAB* anchor, const BatchOptions& options, int terminationSignal) {
  if (!ZEVP_StartDataProviderEnvironment(anchor)) TRC(TRC_ERROR, "*****ERROR: Batch DP environment start unsuccessful");
  ApplicationEntry* application =
      ZEVP_ConstructApplDataModel(anchor, options.metafile.c_str(), 0, nullptr, nullptr, 0, 0);
  if (application == nullptr) {
    WriteLog("ERROR: Input metafile " + options.metafile + "  definition failed");
    TRC(TRC_ERROR, "*****ERROR: Input batch metafile %s definition failed!", options.metafile.c_str());
  } else {
    if (!options.outputFile.empty()) {
      std::string output = OutputFileName(options.outputFile);
      ZEVP_SetBatchOutputFileName(application, output.c_str());
      TRC(TRC_DETAIL, "Application %s batch output file is %s", ZEVP_ApplicationName(application), output.c_str());
    } else {
      TRC(TRC_DETAIL, "Application batch file output not specified");
    }
    ZEVP_StartBatchFileMonitoring(anchor);
    WaitForBatchWork(anchor, terminationSignal);
  }
  // Also after a failed definition: the environment's threads run and must end
  // before the anchor can be released.
  ZEVP_ShutdownCleanUp(anchor, 1);
}

}  // namespace

void ShowUsage() {
  static const char* const kUsage[] = {
      "Input command setting:",
      "      -E environment-variables-setting-file-name. Default ZEVENV",
      "      -F output-data-record-file-name",
      "      -M application-metafile-name (required)",
      "      -S summary-table-output-only-switch",
      "",
      "      -A process all matched pattern files in directory",
      "Example:",
      "         command -M MyTest.mdl -F c:\\Data Files\\MyTest.dat -S",
  };
  for (const char* line : kUsage) std::printf("%s\n", line);
  std::fflush(stdout);
}

std::string BatchLogName(const std::string& programPath, const std::string& timeStamp) {
  std::string directory = ZEV0_GetEnv("PXRAF_LOG_PATH", "./logs");
  char* checked = ZEV0_CheckPathSpec(directory.data());
  std::string path = checked != nullptr ? checked : directory;
  if (checked != nullptr && checked != directory.data()) ZEV0_FreeStorage(&checked);
  // The base name: a program started by a path names its log in the log directory.
  return path + BaseName(programPath) + "_" + timeStamp + ".log";
}

int RunBatchJob(const std::string& programPath, const std::vector<std::string>& arguments, int terminationSignal) {
  if (arguments.empty()) ShowUsage();
  BatchOptions options = ParseBatchOptions(arguments);
  ApplyEnvironmentFile(options.environmentFile);
  ZEV0_PutEnv("ZEVP_BATCH_MODE_PROCESS=Y");
  ZEV0_PutEnv("ZEVP_BYPASS_BATCH_GROUP=N");
  ZEV0_PutEnv("ZEVP_SUMMARY_BATCH_MODE=Y");

  ZEVP_SetDPprogramStart();
  DPAB* anchor = ZEVP_StartupInitialization();
  if (anchor == nullptr) {
    std::printf("ERROR: Batch job DP start up initialization unsuccessful\n");
    std::fflush(stdout);
    TRC(TRC_ERROR, "*****ERROR: Batch start up initialization unsuccessful");
    return 0;
  }
  ZEVP_SetupMainDPanchor(anchor);
  ZEVP_MarkBatchAnchor(anchor);

  char stamp[ZEV0_PLOVEN_TIME_BLOCK_SIZE] = "";
  ZEV0_GetPlovenTime(stamp);
  ZEVP_OpenBatchLog(anchor, BatchLogName(programPath, stamp).c_str());
  WriteLog("Batch Job " + programPath + " started " + Now());
  WriteLog("Input parameters:");
  for (size_t n = 0; n < arguments.size(); ++n) WriteLog(std::to_string(n + 1) + " - {" + arguments[n] + "}");

  if (arguments.empty()) {
    WriteLog("ERROR: At least one input parameter is required");
    TRC(TRC_ERROR, "*****ERROR: No input parameter found");
  } else if (options.metafile.empty()) {
    WriteLog("ERROR: -M Metafile name input parameter required");
    TRC(TRC_ERROR, "*****ERROR: No input metafile name specified");
  } else {
    ProcessMetafile(anchor, options, terminationSignal);
    WriteLog("\nBatch Job " + programPath + " ended " + Now());
  }
  // Closed before the release, which forgets the anchor the log hangs on.
  ZEVP_CloseBatchLog();
  ZEVP_ReleaseGlobalResources(anchor);
  return 0;
}

}  // namespace zevb350
