// The "Excel" button of the Result dialog: the list as shown, into the workbook beside the
// shown data file, through the DDE client.
#pragma once

#include "results/dde_client.h"

class CResult;

ExportResult ExportResultList(CResult& dialog);
