// The Result list as a comma-separated file, for sites without a spreadsheet program that
// answers the export: the cells as the list shows them, in its order, quoted as RFC 4180.
#pragma once

#include "storage/file_io.h"

#include <functional>
#include <string>

// One field: as it is, or in quotes with its quotes doubled when it holds a comma, a quote
// or a line break.
std::string CsvField(const std::string& cell);

// A header row of the ten headings, then `rowCount` rows of ten cells; every record ends
// with CR LF.
std::string ResultListCsv(int rowCount,
                          const std::function<std::string(int row, int column)>& cell);

// The file suggested for the list of the data file named in the Result dialog's title
// ("Quelma " and its path): that path with ".csv" for the data file's extension. "" when the
// title names no file.
std::string CsvPathForTitle(const std::string& windowTitle);

// What the operator is told after a save: "" when it went well.
std::string CsvSaveMessage(file_io::Saved saved, const std::string& path);
