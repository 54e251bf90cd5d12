#include "platform/settingsstore.h"

#include "platform/identity.h"

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

QSettings::Format storeFormat()
{
#ifdef Q_OS_WIN
    return QSettings::NativeFormat;
#else
    return QSettings::IniFormat;
#endif
}

// The file holds the password: only its owner may read it, also when it was made elsewhere with
// wider permissions.
void keepPrivate([[maybe_unused]] const QString &path)
{
#ifndef Q_OS_WIN
    const QFileDevice::Permissions wider = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                           QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    if (QFile::permissions(path) & wider)
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
#endif
}

} // namespace

QString GetSetting(const QString &appName, const QString &section, const QString &key,
                   const QString &defaultValue)
{
    const QSettings store(storeFormat(), QSettings::UserScope, CompanyName(), appName);
    keepPrivate(store.fileName());
    return store.value(keyPath(section, key), defaultValue).toString();
}

void SaveSetting(const QString &appName, const QString &section, const QString &key,
                 const QString &value)
{
    QSettings store(storeFormat(), QSettings::UserScope, CompanyName(), appName);
#ifndef Q_OS_WIN
    // The file holds the password: make it private before anything is written to it. The atomic
    // save that follows keeps the permissions of the file it replaces.
    const QString path = store.fileName();
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (!QFile::exists(path)) {
        QFile file(path);
        file.open(QIODevice::WriteOnly);
    }
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
#endif
    store.setValue(keyPath(section, key), value);
    store.sync();
}

QString SettingsLocation(const QString &appName)
{
    return QSettings(storeFormat(), QSettings::UserScope, CompanyName(), appName).fileName();
}

} // namespace platform
