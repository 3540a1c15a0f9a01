// Control identifiers of the Registration dialog (template IDD_REGISTRATION). The resource
// script uses the same numbers; drivers outside the program address the controls by them.
#pragma once

namespace registration_ids {
constexpr int kList = 1000;
constexpr int kIdEdit = 1003;
constexpr int kNameEdit = 1004;
constexpr int kRegisterButton = 1005;
constexpr int kDeleteButton = 1006;
} // namespace registration_ids
