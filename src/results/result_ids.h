// Control identifiers of the Result dialog (template IDD_RESULT). The resource script uses
// the same numbers; drivers outside the program address the controls by them.
#pragma once

namespace result_ids {
constexpr int kRecordList = 1000;
constexpr int kIdEdit = 1003;
constexpr int kRangeLowEdit = 1004;
constexpr int kFileButton = 1005;
constexpr int kRangeHighEdit = 1006;
constexpr int kMemberButton = 1007;
constexpr int kPeriodAll = 1008;
constexpr int kIdAll = 1009;
constexpr int kLevelAllBox = 1010;
constexpr int kStartPicker = 1018;
constexpr int kEndPicker = 1019;
constexpr int kLevelCombo = 1020;
constexpr int kFirstLevelRadio = 1025; // Normal " All", Normal range, Fast " All", Fast level
constexpr int kLastLevelRadio = 1028;
constexpr int kFilterButton = 1030;
constexpr int kPrintButton = 1031;
constexpr int kExcelButton = 1032;
constexpr int kPhotoControl = 1036;
constexpr int kCsvButton = 1037;
} // namespace result_ids
