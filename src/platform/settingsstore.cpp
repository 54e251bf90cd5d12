#include "platform/settingsstore.h"

#include "platform/identity.h"
#include "platform/win/win.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace platform {
namespace {

QString keyPath(QString section, const QString &key)
{
    return section.replace(QLatin1Char('\\'), QLatin1Char('/')) + QLatin1Char('/') + key;
}

// Windows keeps it in the registry, private to the user by itself; elsewhere a file.
QSettings::Format storeFormat()
{
    return win::Built ? QSettings::NativeFormat : QSettings::IniFormat;
}

// The file holds the password: only its owner may read it, also when it was made elsewhere with
// wider permissions.
void keepPrivate(const QSettings &store)
{
    if (store.format() != QSettings::IniFormat)
        return;
    const QString path = store.fileName();
    const QFileDevice::Permissions wider = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                           QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    if (QFile::permissions(path) & wider)
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
}

} // namespace

QString GetSetting(const QString &appName, const QString &section, const QString &key,
                   const QString &defaultValue)
{
    const QSettings store(storeFormat(), QSettings::UserScope, CompanyName(), appName);
    keepPrivate(store);
    return store.value(keyPath(section, key), defaultValue).toString();
}

void SaveSetting(const QString &appName, const QString &section, const QString &key,
                 const QString &value)
{
    QSettings store(storeFormat(), QSettings::UserScope, CompanyName(), appName);
    // The file holds the password: make it private before anything is written to it. The atomic
    // save that follows keeps the permissions of the file it replaces.
    if (store.format() == QSettings::IniFormat) {
        const QString path = store.fileName();
        QDir().mkpath(QFileInfo(path).absolutePath());
        if (!QFile::exists(path)) {
            QFile file(path);
            file.open(QIODevice::WriteOnly);
        }
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    }
    store.setValue(keyPath(section, key), value);
    store.sync();
}

QString SettingsLocation(const QString &appName)
{
    return QSettings(storeFormat(), QSettings::UserScope, CompanyName(), appName).fileName();
}

} // namespace platform
