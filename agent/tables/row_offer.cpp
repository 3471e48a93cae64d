#include "row_offer.h"

#include "pxraf.h"
#include "row_layout.h"
#include "trc1.h"

TRC_UNIT();

rowOffer offerRow(Pxraf& request, char* row, int rowSize, const char* originNode) {
  setOriginNode(row, rowSize, originNode);
  int added = request.AddData(row, rowSize);
  if (added == 1) {
    TRC(TRC_ERROR, "AddData failed.");
    return rowOffer::failed;
  }
  return added == 0 ? rowOffer::taken : rowOffer::declined;
}
