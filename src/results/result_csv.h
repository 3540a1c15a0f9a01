// The "CSV" button of the Result dialog: the list as shown, with its headings, into a
// comma-separated file the operator names. Needs no spreadsheet program.
#pragma once

#include "storage/file_io.h"

#include <string>

class CResult;

// Asks for the file in the save dialog (suggesting the shown data file's name with
// ".csv"), then saves. An empty list is refused before the dialog.
void SaveResultListCsv(CResult& dialog);

// Saves the list to `path` (the part after the save dialog); failures are shown.
file_io::Saved SaveResultListCsvTo(CResult& dialog, const std::string& path);
