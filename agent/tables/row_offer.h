// Offering one stored row to a sampling request of the framework.
#pragma once

class Pxraf;

enum class rowOffer {
  taken,     // AddData answered 0
  declined,  // any other answer but 1 (e.g. the row did not pass the request's thresholds)
  failed,    // AddData answered 1: the walk over the rows ends
};

// Writes the origin node into the row's column 0 and hands the row to AddData.
rowOffer offerRow(Pxraf& request, char* row, int rowSize, const char* originNode);
