#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "application_entry.h"
#include "batch_output.h"
#include "batch_record.h"
#include "dp_log.h"
#include "source_entry.h"
#include "table_entry.h"
#include "trc1.h"
#include "zev0/env.h"

TRC_UNIT();

namespace {

bool SummaryOutputOnly() {
  static const bool only = [] {
    const char* value = ZEV0_GetEnv("ZEVP_BATCH_SUMMARY_OUTPUT_ONLY", nullptr);
    return value != nullptr && std::toupper(static_cast<unsigned char>(value[0])) == 'Y';
  }();
  return only;
}

void Report(const std::string& line) {
  TRC(TRC_DETAIL, "%s", line.c_str());
  ZEVP_WriteBatchLog(line.c_str());
}

// The file is written as a stream of lines: the record attributes that a
// record-oriented file system takes have no meaning here.
void OpenOutputFile(ApplicationEntry* application) {
  if (application->BatchOutputStream != nullptr || application->BatchOutputFileName == nullptr) return;
  std::string subject =
      std::string("Batch application ") + application->ApplName + " data output file " + application->BatchOutputFileName;
  application->BatchOutputStream = std::fopen(application->BatchOutputFileName, "we");
  if (application->BatchOutputStream == nullptr) {
    Report(subject + " opened failed. Errno " + std::strerror(errno));
    return;
  }
  application->BatchOutputCount = 0;
  Report(subject + " opened successfully");
}

}  // namespace

void ZEVP_OutputBatchDataRecord(SourceEntry* source) {
  if (source == nullptr || source->Table == nullptr || source->Table->Application == nullptr) return;
  if (source->FirstAttribute == nullptr) return;
  ApplicationEntry* application = source->Table->Application;
  bool summaryRow = source->SummaryDelivering != 0;
  std::string record = zevp::FormatBatchRecord(source, summaryRow);
  if (!summaryRow && SummaryOutputOnly()) {
    TRC(TRC_DETAIL, "Summary Batch Output Only! Batch output bypassed. {%s}", record.c_str());
    return;
  }
  OpenOutputFile(application);
  if (application->BatchOutputStream != nullptr) {
    std::fwrite(record.data(), 1, record.size(), application->BatchOutputStream);
    std::fflush(application->BatchOutputStream);
  }
  ++application->BatchOutputCount;
  TRC(TRC_DETAIL, "Batch output %d Length(%d) {%s}", application->BatchOutputCount, static_cast<int>(record.size()),
      record.c_str());
}

void ZEVP_CloseBatchOutputFile(ApplicationEntry* application) {
  if (application->BatchOutputStream != nullptr) std::fclose(application->BatchOutputStream);
  application->BatchOutputStream = nullptr;
  std::string total = "Total " + std::to_string(application->BatchOutputCount) + " batch data records output to file " +
                      (application->BatchOutputFileName != nullptr ? application->BatchOutputFileName : "");
  ZEVP_WriteBatchLog(total.c_str());
}
