#include "platform/win/win.h"

// windows.h defines macros over the platform's own names: it comes last.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <shellapi.h>
#include <windows.h>

namespace platform::win {

bool ShellExecute(const QString &address)
{
    const auto result =
        ::ShellExecuteW(nullptr, L"open", reinterpret_cast<const wchar_t *>(address.utf16()),
                        nullptr, nullptr, SW_SHOWNORMAL);
    // Above 32 is success, as the call has always said it.
    return reinterpret_cast<quintptr>(result) > 32;
}

} // namespace platform::win
