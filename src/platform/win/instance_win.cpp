#include "platform/win/win.h"

// windows.h defines macros over the platform's own names: it comes last.
#include <windows.h>

namespace platform::win {
namespace {

// Mutexes of the Local namespace are the session's, pipes are the machine's: the name carries
// both the user and the session.
QString instanceName()
{
    wchar_t user[257] = {};
    DWORD size = DWORD(std::size(user));
    ::GetUserNameW(user, &size);
    DWORD session = 0;
    ::ProcessIdToSessionId(::GetCurrentProcessId(), &session);
    return QStringLiteral("Lexorn-%1-%2").arg(QString::fromWCharArray(user)).arg(session);
}

} // namespace

bool ClaimInstance()
{
    const QString name = QStringLiteral("Local\\") + instanceName();
    // Never closed: Windows closes it as the process ends, also when the process is killed, and
    // no file is left behind.
    const HANDLE mutex = ::CreateMutexW(nullptr, FALSE, reinterpret_cast<LPCWSTR>(name.utf16()));
    const DWORD error = ::GetLastError();
    // Access is denied where the same user's elevated Lexorn made it.
    return mutex ? error != ERROR_ALREADY_EXISTS : error != ERROR_ACCESS_DENIED;
}

QString InstanceServerName()
{
    return instanceName();
}

} // namespace platform::win
