// The remote calls the framework serves while its main loop runs. The RPC runtime of
// the process hands the framework its serving when it is loaded (platform/rpc does),
// so the interfaces registered with that runtime are served from the start of
// tzomain's loop until just before tzomain returns.
#pragma once

struct RAF_CallServing {
  void (*start)();  // starts serving on threads of the runtime's own; returns at once
  void (*stop)();   // ends the serving; returns once the calls in progress are answered
};

// The serving tzomain starts and stops (kept, not copied); null: none.
void RAF_SetCallServing(const RAF_CallServing* serving);
