#include "zevs/var_bind.h"

#include "zev0/storage.h"

void ZEVS_FreeVarBind(ZEVS_VarBindList* list) {
  if (list == nullptr) return;
  for (int32_t i = 0; list->items != nullptr && i < list->count; ++i) {
    ZEV0_FreeStorage(&list->items[i].oid);
    ZEV0_FreeStorage(&list->items[i].value);
  }
  ZEV0_FreeStorage(&list->items);
}
