#include "sampling_frequency.h"

#include "metafile_numbers.h"
#include "trc1.h"
#include "validation_messages.h"

TRC_UNIT();

namespace {

constexpr int32_t kEventFrequency = 15;
constexpr int32_t kSmallestSampleFrequency = 30;
constexpr int32_t kLargestDefaultFrequency = 300;
constexpr int32_t kStep = 30;
constexpr int32_t kTailFactor = 5;
constexpr int32_t kCopyFactor = 2;

int32_t EventFrequency(const char* setting) {
  int32_t frequency = setting != nullptr ? zevp::DecimalValue(setting) : kEventFrequency;
  if (frequency >= 1) return frequency;
  TRC(TRC_DETAIL, "*** File event frequency reset to mininum %d", kEventFrequency);
  ZEVP_DisplayValidationMessage(ZEVPV51W, nullptr);
  return kEventFrequency;
}

}  // namespace

SamplingFrequency ZEVP_ComputeSamplingFrequency(char dataType, int32_t timeToLive, bool copyMode,
                                                const char* eventSetting, const char* factorSetting) {
  SamplingFrequency result;
  const int32_t defaultFactor = copyMode ? kCopyFactor : kTailFactor;
  int32_t factor = defaultFactor;
  if (dataType == 'E') {
    result.frequency = EventFrequency(eventSetting);
  } else {
    if (factorSetting != nullptr) {
      int32_t asked = zevp::DecimalValue(factorSetting);
      if (asked >= 1) {
        factor = asked;
      } else {
        TRC(TRC_ERROR, "***** Invalid input sample factor %d ignored. Default %d in use", asked, defaultFactor);
      }
    }
    result.frequency = timeToLive / factor;
    if (result.frequency < 1) {
      result.frequency = kSmallestSampleFrequency;
      TRC(TRC_DETAIL, "*** File sample frequency reset to mininum %d", result.frequency);
      ZEVP_DisplayValidationMessage(ZEVPV50W, nullptr);
    }
  }
  if (result.frequency > kLargestDefaultFrequency && factor == defaultFactor) {
    result.frequency = kLargestDefaultFrequency;
    TRC(TRC_DETAIL, "Sample Frequency set to default maximum %d", result.frequency);
  }
  if (result.frequency > kStep) {
    int32_t rest = result.frequency % kStep;
    int32_t steps = result.frequency / kStep;
    result.testFrequency = rest == 0 ? result.frequency : result.frequency - rest % steps;
    result.testInterval = rest == 0 ? kStep : result.testFrequency / steps;
    TRC(TRC_DETAIL, "Sample test frequency %d, sample test interval %d", result.testFrequency, result.testInterval);
  }
  return result;
}
