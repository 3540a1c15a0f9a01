// Names the spreadsheet export derives: the workbook beside the shown data file, the
// template in Resources\ and the cell items of the DDE pokes.
#pragma once

#include <string>

constexpr const char* kTemplateName = "QuelmaForm.xls";
constexpr int kFirstSheetRow = 3; // rows 1 and 2 belong to the template

// From the Result dialog's title ("Quelma " and the shown data file's path): the text after
// the first blank (all of it when there is none) with the file name's extension replaced by
// `extension`. "" when the title names no file.
std::string ShownFileWithExtension(const std::string& windowTitle, const char* extension);

// The shown data file's path with ".xls". "" when the title names no file or the path is
// longer than a DDE topic can be (255 characters): a cut name would be another file.
std::string WorkbookPath(const std::string& windowTitle);

// "r%dc%d" of sheet row `row` + 3 and sheet column `column` + 1.
std::string CellItemName(int row, int column);
