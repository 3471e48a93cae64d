#include "snmp_thread.h"

#include <pthread.h>

int32_t ZEVS_ThreadRC = 0;

void ZEVS_EndThread() { pthread_exit(&ZEVS_ThreadRC); }
