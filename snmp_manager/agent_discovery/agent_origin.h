// What a registration call brings, turned into an agent entry's fields: the caller's
// host and address, the host named inside a managed-system name, the version text.
#pragma once

#include <cstdint>

#include "rpc_binding.h"

// The caller's host (its name as the runtime gives it, without the family and ':')
// and its dotted address (or the host when the name does not resolve), both new
// texts (ZEV0_GetStorage) for the caller to free; both left null, with a trace, when
// the runtime cannot name the caller.
void ZEVS_RetrieveOriginFromHandle(rpc__handle_t handle, char** host, char** address);

// A new text: the host inside the managed-system name. host:XX and XX:host:YY give
// host; ab_host::YY gives what follows the first '_' before "::"; a name with no ':'
// or more than two is given whole.
char* ZEVS_ExtractHostNameFromMS(const char* name);

// A new text of at most 11 characters: " " below 1, "02.00.00" for 131, else the
// decimal number.
char* ZEVS_CheckAgentVersion(int32_t version);

namespace zevs {

// A new text: the dotted address of the host when it resolves, else the host.
char* DottedAddressOrName(const char* host);

}  // namespace zevs
