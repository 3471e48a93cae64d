#include "application_checks.h"

#include "trc1.h"

TRC_UNIT();

ApplicationEntry* ZEVP_CheckAndRegisterApplication(MetafileParseState& state) {
  if (state.bypassed || !state.applAccepted) return nullptr;
  TRC(TRC_DETAIL, "Metafile %s parsed: %d attribute groups", state.metafileName, state.groupCount);
  return state.application;
}
