// Registering an application with the agent: its first source is put in state
// Register and handed to the DCH client routine, which registers the whole
// application and sets every source of it to the outcome (Ready or Pending when
// registered, Register when the agent knew it already, Initial when refused).
#pragma once

#include <cstdint>

struct ApplicationEntry;
struct DPAB;
struct ProcessEntry;
struct SourceEntry;

namespace zevp {

// What AwaitRegistration returns when shut-down was requested while it waited.
constexpr int32_t kRegistrationAbandoned = -1;

// Has the DCH client register the source's application, waiting on `waiter`,
// and returns the source's state afterwards. The source's owning task is
// `waiter` for the request and what it was before afterwards. Once shut-down is
// requested the request may still be with the DCH client: the source is left as
// it is (`waiter` its owning task) and kRegistrationAbandoned returned.
int32_t AwaitRegistration(DPAB* anchor, ProcessEntry* waiter, SourceEntry* source);

// Registers a checked application on the calling thread's own entry, or on the
// anchor's lent one (under its lock, so such registrations go one at a time).
// Registered: the application, its sources Ready or Pending. Known to the agent
// already: ZEVPV10E; at start-up (startup non-zero) DP log 57 and null, else the
// application with every source Ready. Refused: ZEVPV08E and null. A refused or
// dropped application is released; a kept one is reported with DP log 4. When
// shut-down is requested during the wait: null, and the application is left in the
// anchor's list, for the release of the model once every thread has ended.
ApplicationEntry* RegisterApplication(DPAB* anchor, ApplicationEntry* application, const char* metafileName,
                                      int startup);

}  // namespace zevp
