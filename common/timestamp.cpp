#include "zev0/timestamp.h"

#include <pthread.h>

#include <cstdio>
#include <cstring>

#include "bsv1.h"
#include "trc1.h"
#include "timestamp_format.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace {

// Writes value in width digits; one that does not fit is written as 0.
char* putField(char* out, int value, int width, const char* name) {
  int limit = width == 3 ? 999 : 99;
  if (value < 0 || value > limit) {
    TRC(TRC_DETAIL, "Time stamp %s %d does not fit, written as 0", name, value);
    value = 0;
  }
  for (int i = width - 1; i >= 0; --i, value /= 10) out[i] = static_cast<char>('0' + value % 10);
  return out + width;
}

// The counter orders the stamps of one second across every thread of the process,
// so the second it belongs to and its value change together under one lock.
pthread_mutex_t GeneratorLock = PTHREAD_MUTEX_INITIALIZER;
time_t PrevTime = 0;
int msec = 0;

// Smaller steps as the second fills up, so that 402 stamps fit in one second.
int nextCounter(int counter) {
  if (counter <= 99) return counter + 10;
  if (counter <= 399) return counter + 5;
  if (counter <= 799) return counter + 3;
  return counter + 1 > 999 ? 999 : counter + 1;
}

int stepCounter(time_t time) {
  pthread_mutex_lock(&GeneratorLock);
  if (time != PrevTime) {
    PrevTime = time;
    msec = 0;
  } else {
    msec = nextCounter(msec);
  }
  int counter = msec;
  pthread_mutex_unlock(&GeneratorLock);
  return counter;
}

time_t clockSeconds() {
  BSV1_Time now;
  BSV1_GetTime(&now);
  return static_cast<time_t>(now.seconds);
}

}  // namespace

void zev0::WritePlovenTime(char* stamp, const StampFields& fields) {
  char* out = putField(stamp, fields.year, 3, "year");
  out = putField(out, fields.month, 2, "month");
  out = putField(out, fields.day, 2, "day");
  out = putField(out, fields.hour, 2, "hour");
  out = putField(out, fields.minute, 2, "minute");
  out = putField(out, fields.second, 2, "second");
  out = putField(out, fields.counter, 3, "counter");
  *out = '\0';
}

char* ZEV0_GetPlovenTime(char* buffer) {
  time_t now = clockSeconds();
  return ZEV0_ConvertTimeToPlovenTime(&now, buffer);
}

char* ZEV0_ConvertTimeToPlovenTime(const time_t* time, char* buffer) {
  if (buffer == nullptr) {
    buffer = static_cast<char*>(ZEV0_GetStorage(ZEV0_PLOVEN_TIME_BLOCK_SIZE));
    if (buffer == nullptr) return nullptr;
    std::memset(buffer, 0, ZEV0_PLOVEN_TIME_BLOCK_SIZE);
  }
  struct tm local {};
  localtime_r(time, &local);
  zev0::StampFields fields;
  fields.year = local.tm_year;
  fields.month = local.tm_mon + 1;
  fields.day = local.tm_mday;
  fields.hour = local.tm_hour;
  fields.minute = local.tm_min;
  // A leap second stays in its minute rather than spilling into the next one.
  fields.second = local.tm_sec >= 60 ? 0 : local.tm_sec;
  fields.counter = stepCounter(*time);
  zev0::WritePlovenTime(buffer, fields);
  TRC(TRC_UNIT_DETAIL, "Time stamp <%s>", buffer);
  return buffer;
}

char* ZEV0_GetCurrentDayTime(const time_t* time) {
  // One buffer per thread: a caller's text is not rewritten under it by another thread.
  // Room for six numbers of any size, so the text is never cut short.
  static thread_local char CurrentTime[6 * 11 + 5 + 1];
  time_t when = time != nullptr ? *time : clockSeconds();
  struct tm local {};
  localtime_r(&when, &local);
  std::memset(CurrentTime, 0, sizeof CurrentTime);
  std::snprintf(CurrentTime, sizeof CurrentTime, "%02d/%02d/%02d-%02d:%02d:%02d", local.tm_year,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
  return CurrentTime;
}

int32_t ZEV0_GetTimeOfDay() {
  BSV1_Time now;
  BSV1_GetTime(&now);
  // Unsigned arithmetic wraps without overflow; the reading is a 32-bit pattern.
  uint32_t milliseconds =
      static_cast<uint32_t>(now.seconds) * 1000u + static_cast<uint32_t>(now.nanoseconds / 1000000);
  return static_cast<int32_t>(milliseconds);
}
