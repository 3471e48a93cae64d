#include "fixed_tables.h"

#include "trc1.h"

TRC_UNIT();

int q7srv_rmtfile_init() {
  TRC(TRC_DETAIL, "Table Q7SRV.RMTFILE is not served in this build");
  return 0;
}

int zev_zevact_init() {
  TRC(TRC_DETAIL, "Table ZEV.ZEVACT is not served in this build");
  return 0;
}
