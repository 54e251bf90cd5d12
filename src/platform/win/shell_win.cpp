#include "platform/win/win.h"

// windows.h defines macros over the platform's own names: it comes last.
#include <windows.h>

#include <shellapi.h> // after windows.h, which it needs
#undef ShellExecute

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
