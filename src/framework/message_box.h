// Every operator message goes through here: a plain message box captioned with the
// application title. Tests install a hook to see the texts and answer questions in-process.
#pragma once

#include <windows.h>

#include <functional>

namespace fw {

// Shows `text` and returns the button pressed (IDOK, IDYES, IDNO, ...).
int MessageBox(HWND owner, const char* text, UINT type = MB_OK);

// Convenience for questions with Yes and No buttons.
inline bool AskYesNo(HWND owner, const char* text) {
    return MessageBox(owner, text, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

// The hook receives the text and the MB_ type and returns the button "pressed".
using MessageBoxHook = std::function<int(const char* text, UINT type)>;
void SetMessageBoxHook(MessageBoxHook hook);

void SetMessageBoxCaption(const char* caption);

} // namespace fw
