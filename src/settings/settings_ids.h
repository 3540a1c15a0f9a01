// Control identifiers of the Setting and Backup dialogs. The resource script uses the same
// numbers; drivers outside the program address the controls by them.
#pragma once

namespace setting_ids {
constexpr int kLowEdit = 1003;
constexpr int kHiEdit = 1004;
constexpr int kPortSearchButton = 1005;
constexpr int kWebCamCheck = 1008;
constexpr int kIdCardCheck = 1009;
constexpr int kSoundCheck = 1010;
constexpr int kModeCombo = 1020;
constexpr int kPortCombo = 1021;
constexpr int kSpeedCombo = 1022;
} // namespace setting_ids

namespace backup_ids {
constexpr int kPathEdit = 1003;
constexpr int kBackupButton = 1005;
constexpr int kSizeText = 1014;
constexpr int kDurationText = 1015;
} // namespace backup_ids
