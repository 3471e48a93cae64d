// The statistics file: a header line and one CSV line per monitored URL, written
// anew after each walk over the URLs.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "http_trace.h"
#include "url_output.h"
#include "url_row_values.h"
#include "zev0/timestamp.h"

TRC_UNIT();

namespace {

constexpr size_t kStatisticsTitleMax = 64;

const char kHeaderLine[] =
    "URL,URL_Alias,Page_Title,Page_Size,Page_Objects,Total_Object_Size,Total_Samples_Taken,Status_Interval,"
    "Current_Response_Time (ms),Average_Response_Time (ms),Maximum_Response_Time (ms),HTTP_Version,Server_Type,"
    "Status,Status_Timestamp\n";

// The title as the file shows it, which the entry keeps: at most 64 characters, a
// comma a blank.
void FitTitle(URLrequestEntry* entry) {
  entry->PageTitle[kStatisticsTitleMax] = '\0';
  for (char* c = entry->PageTitle; *c != '\0'; ++c)
    if (*c == ',') *c = ' ';
}

std::string TimeText(int64_t seconds) {
  time_t time = static_cast<time_t>(seconds);
  char stamp[ZEV0_PLOVEN_TIME_BLOCK_SIZE] = {};
  char text[32] = {};
  ZEV0_ConvertTimeToPlovenTime(&time, stamp);
  ZEV0_PlovenTimeToString(stamp, text);
  return text;
}

std::string Line(URLrequestEntry* entry) {
  FitTitle(entry);
  const int32_t* ring = entry->CurrentRespTimeArray;
  int32_t size = entry->SampleSetSize;
  int32_t current = ring != nullptr && size > 0 ? ring[(entry->CurrentSampleIndex + size - 1) % size] : 0;
  char numbers[160];
  std::snprintf(numbers, sizeof numbers, "%d,%d,%d,%d,%d,%d,%d,%d,%s,", entry->PageLength, entry->PageObjectCount,
                entry->TotalObjectSize, entry->SamplesTaken, entry->StatusInterval, current, entry->AvgRespTime,
                entry->MaxRespTime, entry->HTTP11 != 0 ? "1.1" : "1.0");
  std::string line = std::string(entry->URL) + "," + (entry->Owners != nullptr ? entry->Owners->Alias : "") + "," +
                     entry->PageTitle + "," + numbers;
  line += entry->ServerType[0] == '\0' ? std::string(" ,") : std::string(entry->ServerType) + ",";
  line += entry->RequestStatus == 0 ? std::string("OK")
                                    : zevp::URLstatusText(entry->RequestStatus, entry->RequestDescription);
  line += ",";
  return line + TimeText(entry->LastCheckTime) + "\n";
}

}  // namespace

void ZEVP_OutputURLstat(URLmanagementBlock* block) {
  if (block == nullptr || block->OutputStat == 0) return;
  if (block->StatisticsFileName == nullptr) {
    HTTP_TRC(TRC_ERROR, "*****Unable to write URL statistics. URL statistics file not specified.");
    return;
  }
  FILE* file = std::fopen(block->StatisticsFileName, "we");
  if (file == nullptr) {
    HTTP_TRC(TRC_ERROR, "*****URL statistics file %s open failed. ErrorText <%s>", block->StatisticsFileName,
             std::strerror(errno));
    return;
  }
  std::fputs(kHeaderLine, file);
  int lines = 0;
  BSV1_GetLock(&block->URLListLock);
  for (URLrequestEntry* entry = block->URLs; entry != nullptr; entry = entry->next) {
    // The title changes here while rows read it under the entry lock.
    BSV1_GetLock(&entry->EntryLock);
    std::string line = Line(entry);
    BSV1_ReleaseLock(&entry->EntryLock);
    std::fputs(line.c_str(), file);
    ++lines;
  }
  BSV1_ReleaseLock(&block->URLListLock);
  std::fclose(file);
  HTTP_TRC(TRC_DETAIL, "%d URL statistic records written to file %s", lines, block->StatisticsFileName);
}
