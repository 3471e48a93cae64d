// Registration of a data provider's application (0x1010): its groups go into the
// store, with the application, attribute and help texts consumers ask for.
#include "dch_server.h"

int DCHserver::dp_register(int /*totalLength*/, char* /*message*/) { return notYetHandled("dp_register"); }
