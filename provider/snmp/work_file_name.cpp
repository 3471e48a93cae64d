#include "work_file_name.h"

#include "zev0/hostnames.h"
#include "zev0/storage.h"
#include "zev0/text.h"

namespace zevp {

std::string FullWorkFileName(const char* name) {
  if (ZEV0_IsThisFullyQualifiedName(name)) return name;
  char* full = ZEV0_ConstructFullyQualifiedName(nullptr, name);
  std::string made = full != nullptr ? full : "";
  ZEV0_FreeStorage(&full);
  return made;
}

}  // namespace zevp
