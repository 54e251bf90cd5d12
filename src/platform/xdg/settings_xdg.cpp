#include "platform/xdg/xdg.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace platform::xdg {

std::unique_ptr<QSettings> OpenSettings(const QString &organization, const QString &application)
{
    auto store = std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                             organization, application);
    // The atomic save keeps the permissions of the file it replaces, so the file is made private
    // before the first write, never after.
    const QString path = store->fileName();
    if (!QFile::exists(path)) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile(path).open(QIODevice::WriteOnly);
    }
    const QFileDevice::Permissions wider = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                           QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    if (QFile::permissions(path) & wider)
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    return store;
}

} // namespace platform::xdg
