/* A C program that uses the library through its header: the header is C, and a C
 * program links the library alone. Exit code 0 when the calls answer as they should. */
#include <stdio.h>
#include <string.h>

#include "zevpapi/dp_api.h"

int main(void) {
  char text[64];
  int status = -1;
  dp_ShowMessage(0, text, (int)sizeof text);
  if (strcmp(text, "ZEVPA00I Function completed successfully") != 0) {
    fprintf(stderr, "message 0: %s\n", text);
    return 1;
  }
  if (dp_InputData(NULL, &status) != 0 || status != 73) {
    fprintf(stderr, "dp_InputData(NULL): status %d\n", status);
    return 1;
  }
  if (dp_Define(NULL, 0, &status) != 0 || status != 2) {
    fprintf(stderr, "dp_Define(NULL): status %d\n", status);
    return 1;
  }
  if (dp_OpenSession(NULL, &status) != 0 || status != 1) {
    fprintf(stderr, "dp_OpenSession(NULL): status %d\n", status);
    return 1;
  }
  return 0;
}
