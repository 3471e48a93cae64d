// zevpasfs and its siblings zevppost, zevpfile, zevpsock, zevphttp and zevpapis:
// one data provider of the engine as a program of its own, the type and the label
// of its messages set when the program is built (ZEV_LAUNCHER_TYPE,
// ZEV_LAUNCHER_LABEL). Arguments are ignored; the exit status is 0 whatever
// happened.
#include <cstdint>

#include "data_provider_launcher.h"
#include "zevp/data_provider.h"

int main(int, char**) {
  static int32_t startMode = ZEV_LAUNCHER_TYPE;
  return RunDataProviderLauncher(ZEVP_StartDataProvider, &startMode, ZEV_LAUNCHER_LABEL);
}
