// SPDX-License-Identifier: MIT
#include <pixtera/platform/event_log.h>
#include <pixtera/platform/message_box.h>

#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

namespace pixtera {
namespace {

std::mutex hookMutex;
std::shared_ptr<const MessageBoxHook> installedHook;

int DefaultMessageBox(std::string_view text, std::string_view caption, UINT type)
{
    std::string line = caption.empty() ? std::string(text) : std::string(caption) + ": " + std::string(text);
    if ((type & 0xF0) == MB_ICONERROR)
        LogError(line);
    else if ((type & 0xF0) == MB_ICONWARNING)
        LogWarning(line);
    else
        LogInformation(line);
    std::fprintf(stderr, "%s\n", line.c_str());
    return IDOK;
}

} // namespace

void SetMessageBoxHook(MessageBoxHook hook)
{
    auto shared = hook ? std::make_shared<const MessageBoxHook>(std::move(hook)) : nullptr;
    std::lock_guard lock(hookMutex);
    installedHook = std::move(shared);
}

} // namespace pixtera

extern "C" int MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT type)
{
    std::shared_ptr<const pixtera::MessageBoxHook> hook;
    {
        std::lock_guard lock(pixtera::hookMutex);
        hook = pixtera::installedHook;
    }
    const std::string_view body = text ? text : "";
    const std::string_view title = caption ? caption : "Error";
    // The hook runs without the lock, so it may block or show another box.
    return hook ? (*hook)(body, title, type) : pixtera::DefaultMessageBox(body, title, type);
}
