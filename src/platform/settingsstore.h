#pragma once

#include <QString>

namespace platform {

// The per-user settings store: a text addressed by application, section and key. A section may
// nest with a backslash ("Options\Form"). Every write is on disk before the call returns, and the
// file is private to its owner because it holds the password.
QString GetSetting(const QString &appName, const QString &section, const QString &key,
                   const QString &defaultValue = {});
void SaveSetting(const QString &appName, const QString &section, const QString &key,
                 const QString &value);

// Where the store keeps the application's values (a file on Linux).
QString SettingsLocation(const QString &appName);

} // namespace platform
