// What the Windows desktop check asks of Windows itself, as a small program under wine:
//   winprobe hold        holds Win+T, as the taskbar does, and says "hotkey" for each press it gets
//   winprobe rect TITLE  says the outer size of the window of that title, in pixels
#include <windows.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t *argv[])
{
    if (argc == 2 && std::wcscmp(argv[1], L"hold") == 0) {
        if (!::RegisterHotKey(nullptr, 1, MOD_WIN | MOD_NOREPEAT, 'T'))
            return 1;
        std::puts("held");
        std::fflush(stdout);
        MSG message;
        while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
            if (message.message == WM_HOTKEY) {
                std::puts("hotkey");
                std::fflush(stdout);
            }
        }
        return 0;
    }
    if (argc == 3 && std::wcscmp(argv[1], L"rect") == 0) {
        ::SetProcessDPIAware(); // the window's own pixels, not scaled for this program
        RECT rect;
        const HWND window = ::FindWindowW(nullptr, argv[2]);
        if (!window || !::GetWindowRect(window, &rect))
            return 1;
        std::printf("%ld %ld\n", rect.right - rect.left, rect.bottom - rect.top);
        return 0;
    }
    return 2;
}
