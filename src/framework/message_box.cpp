#include "framework/message_box.h"

#include <string>

namespace fw {

namespace {
MessageBoxHook& Hook() {
    static MessageBoxHook hook;
    return hook;
}
std::string& Caption() {
    static std::string caption = "Quelma";
    return caption;
}
} // namespace

int MessageBox(HWND owner, const char* text, UINT type) {
    if (Hook())
        return Hook()(text, type);
    return MessageBoxA(owner, text, Caption().c_str(), type);
}

void SetMessageBoxHook(MessageBoxHook hook) { Hook() = std::move(hook); }

void SetMessageBoxCaption(const char* caption) { Caption() = caption; }

} // namespace fw
