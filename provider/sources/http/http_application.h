// The HTTP data provider's own application Internet, defined without a metafile:
// group Managed_URL, one row per monitored URL and owner with its status and
// response times, and group URL_Objects, one row per object of a page.
#pragma once

struct DPAB;

// Builds, registers and puts online the application. Each group's source gets a
// process entry of its own, on which its requests wait and which goes with the
// application. The URL management block is made before the sources go online. The
// anchor keeps each source once it is online. 1, or 0 when the
// application could not be made or was refused (or shut-down was requested while
// it waited for the registration).
int ZEVP_DefineHTTPapplication(DPAB* anchor);
