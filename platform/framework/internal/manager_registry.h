// The registered table managers (internal to the framework).
#pragma once

#include <string>
#include <vector>

#include "table_manager.h"

namespace raf {

// In order of registration.
std::vector<TableManager*> RegisteredManagers();
TableManager* FindManager(const std::string& application, const std::string& table);
// Forgets every manager (the managers themselves stay).
void ForgetManagers();
// GetManager answers null from now on (until Reset).
void CloseRemoteManager();
void ReopenRemoteManager();

}  // namespace raf
