// The shared records of URL monitoring: the one management block of the HTTP data
// provider's process with its settings, lists and locks; one entry per monitored
// URL; one owner entry per user or situation that asked for a URL.
//
// Lock order where two are held: the URL list lock, then the anchor's HTTP row
// output lock. The configuration, client task and subtask list locks are taken
// alone.
#pragma once

#include <pthread.h>

#include <atomic>
#include <cstdint>

#include "bsv1.h"

struct DPAB;
struct ProcessEntry;
struct URLactivityTaskBlock;

constexpr int ZEVP_URL_MAX_LENGTH = 1027;          // a monitored URL
constexpr int ZEVP_URL_OWNER_NAME_MAX = 32;        // a user or an alias
constexpr int ZEVP_URL_ISP_NAME_MAX = 64;
constexpr int ZEVP_URL_SERVER_TYPE_MAX = 64;
constexpr int ZEVP_URL_PAGE_TITLE_SIZE = 256;
// The alias of an owner who gave none.
constexpr char ZEVP_URL_NO_ALIAS[] = "    ";

// What the HTTP library said of a request's status: the reply's HTTP code (0 when
// the status is not a reply's) and the status's text.
constexpr int ZEVP_URL_STATUS_TEXT_MAX = 64;
struct URLstatusDescription {
  int32_t HTTPcode;
  int32_t TextLength;
  char Text[ZEVP_URL_STATUS_TEXT_MAX + 1];
};

struct URLownerEntry {
  URLownerEntry* next;  // next owner of the same URL
  int32_t UserLength;
  int32_t AliasLength;
  char User[ZEVP_URL_OWNER_NAME_MAX + 1];
  char Alias[ZEVP_URL_OWNER_NAME_MAX + 1];
};

// Times are seconds since 1970; response times milliseconds.
struct URLrequestEntry {
  URLrequestEntry* next;
  char URL[ZEVP_URL_MAX_LENGTH + 1];  // compared without regard to case
  char ServerType[ZEVP_URL_SERVER_TYPE_MAX + 4];
  int64_t LastCheckTime;
  int64_t NextCheckTime;  // 0: due at once
  int32_t FromConfigFile;
  int32_t ValidURLstat;   // 1 while a status waits to be sent to the agent
  int32_t URLlength;
  int32_t ServerTypeLength;
  int32_t RequestStatus;  // of the last page request, 0 OK
  URLstatusDescription RequestDescription;  // of RequestStatus, when it is not 0
  int32_t StatusInterval;
  int32_t SampleSetSize;
  int32_t OwnerCount;
  int32_t PageBufferSize;
  int32_t CachePercent;   // 0-100
  int32_t ObjConfirmCount;
  int32_t ObjRequestOutstanding;
  int32_t ObjectCycleCountdown;
  int32_t ObjectCycle;
  int32_t PageOutputCountdown;
  int32_t OutputObjectContent;
  int32_t CurrentSampleIndex;
  int32_t HTTP11;         // 1 while the server is taken as HTTP 1.1
  int32_t NoHTTP10retry;  // 1 once a retry with HTTP 1.0 has failed
  int32_t* CurrentRespTimeArray;  // SampleSetSize samples
  int32_t MaxRespTime;
  int32_t AvgRespTime;
  int32_t PageLength;
  int32_t PageObjectCount;
  int32_t TotalObjectSize;
  int32_t TotalRespTime;
  int32_t SamplesTaken;
  URLownerEntry* Owners;
  char* PageBuffer;  // lent by a client task
  char PageTitle[ZEVP_URL_PAGE_TITLE_SIZE];
  char* OutputDirectory;
  BSV1_Time RequestStartTime;
  BSV1_Time ResponseEndTime;
  BSV1_Lock EntryLock;
  pthread_mutex_t ConfirmMutex;  // with ConfirmCondition: completion of one work request
  pthread_cond_t ConfirmCondition;
  // Threads that hold the entry (zevp::HoldURE) and, once it was deleted while
  // held, the mark that the last let-go frees it. Both under the URL list lock.
  int32_t Holds;
  int32_t Unlinked;
  int32_t Checking;     // 1 while a client task checks the URL, EntryLock
  int32_t RemovalSent;  // 1 once its removal row went: no row of it after that, HTTPsourceLock
};

struct URLmanagementBlock {
  int32_t Debug;               // ZEVP_HTTP_DEBUG: every HTTP trace on
  int32_t MaxReplyWait;        // seconds
  int32_t MaxFreeSubtaskWait;  // seconds
  int32_t ActivitySubtasks;    // ZEVP_URL_INIT_TASKS at start, raised as the pool grows
  int32_t ClientTasksStarted;
  int32_t ConfigurationChanged;  // ConfigurationLock
  int32_t PageObjectsReport;
  int32_t SampleSetPeriod;        // seconds
  int32_t MinSetSamples;
  int32_t DefaultSampleInterval;  // SampleSetPeriod / MinSetSamples, at least 1
  int32_t OutputStat;
  int32_t OutputHTML;
  int32_t OutputContent;
  int32_t PageOutputWanted;
  int32_t ManagedURLCount;  // URLListLock
  int32_t URLsPerClientTask;
  int32_t ISPnameLength;
  char ISPname[ZEVP_URL_ISP_NAME_MAX + 1];
  char* ConfigFileName;      // null: the URL configuration file is neither read nor written
  char* OutputDirectory;     // ends in '/'; null when not set
  char* StatisticsFileName;
  char* ProxyUser;
  char* ProxyPassword;
  ProcessEntry* ClientTasks;  // ClientTaskLock
  int32_t ClientTasksEnding;  // ClientTaskLock: told to end; a client that joins after ends at once
  ProcessEntry* Manager;
  DPAB* Anchor;
  URLrequestEntry* URLs;        // URLListLock
  URLrequestEntry* CurrentURL;  // the client tasks' shared cursor, URLListLock; null once a walk is complete
  std::atomic<int64_t> Walk{0};  // the number of the last walk the manager began; client tasks wait for the next
  int32_t ManagerWakeRequested;  // the manager's mutex: a client task ended its pass or ended, a URL came or went
  URLactivityTaskBlock* Subtasks;  // SubtaskListLock
  pthread_mutex_t FreeSubtaskMutex;
  pthread_cond_t FreeSubtaskCondition;
  pthread_mutex_t OutputMutex;
  pthread_cond_t OutputCondition;
  // Under OutputMutex: the signals of statuses that may be ready, and the DCH update
  // task's life (running, told to end).
  int64_t OutputSignals;
  int32_t UpdateTaskRunning;
  int32_t UpdateTaskStopping;
  BSV1_Lock ClientTaskLock;
  BSV1_Lock URLListLock;  // also guards the owner lists
  BSV1_Lock SubtaskListLock;
  BSV1_Lock ConfigurationLock;
};
