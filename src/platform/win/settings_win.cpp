#include "platform/win/win.h"

#include <QSettings>

namespace platform::win {

std::unique_ptr<QSettings> OpenSettings(const QString &organization, const QString &application)
{
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, organization,
                                       application);
}

} // namespace platform::win
