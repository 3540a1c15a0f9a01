// Control identifiers of the Measure dialog (template IDD_MEASURE). The resource script uses
// the same numbers; drivers outside the program address the controls by them.
#pragma once

namespace measure_ids {
constexpr int kRecordList = 1000;
constexpr int kIdEdit = 1003;
constexpr int kNameEdit = 1004;
constexpr int kMemberButton = 1005;
constexpr int kStartButton = 1006;
constexpr int kFirstStateBox = 1008; // "Ready", "Blowing", "Analyzing", "Completion"
constexpr int kModeText = 1013;
constexpr int kLowText = 1014;
constexpr int kHiText = 1015;
constexpr int kStatusDisplay = 1030;
constexpr int kTotalDisplay = 1031;
constexpr int kPhotoControl = 1032;
constexpr int kCardTimer = 1;
constexpr unsigned kCardPollMs = 250;
} // namespace measure_ids
