#include "platform/settingsstore.h"

#include "platform/identity.h"
#include "platform/win/win.h"
#include "platform/xdg/xdg.h"

#include <QSettings>

namespace platform {
namespace {

QString keyPath(QString section, const QString &key)
{
    return section.replace(QLatin1Char('\\'), QLatin1Char('/')) + QLatin1Char('/') + key;
}

std::unique_ptr<QSettings> openStore(const QString &appName)
{
    return win::Built ? win::OpenSettings(CompanyName(), appName)
                      : xdg::OpenSettings(CompanyName(), appName);
}

} // namespace

QString GetSetting(const QString &appName, const QString &section, const QString &key,
                   const QString &defaultValue)
{
    return openStore(appName)->value(keyPath(section, key), defaultValue).toString();
}

void SaveSetting(const QString &appName, const QString &section, const QString &key,
                 const QString &value)
{
    const auto store = openStore(appName);
    store->setValue(keyPath(section, key), value);
    store->sync();
}

QString SettingsLocation(const QString &appName)
{
    return openStore(appName)->fileName();
}

} // namespace platform
