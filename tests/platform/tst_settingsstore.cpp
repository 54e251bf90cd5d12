#include "platform/settingsstore.h"
#include "support/testmain.h"

#include <QFile>
#include <QSettings>

using namespace platform;

class TestSettingsStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void writtenValueIsOnDiskAndPrivate()
    {
        const QString path = SettingsLocation("Lexorn");
        QVERIFY(path.startsWith(qEnvironmentVariable("XDG_CONFIG_HOME") + "/Korvath/"));
        QFile::remove(path);
        SaveSetting("Lexorn", "Login", "Password", "s3cret value");
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly) && file.readAll().contains("Password=s3cret value"));
        QCOMPARE(file.permissions() & 0x0777, QFile::ReadUser | QFile::WriteUser);
    }

    // By the next write, or by the first read of a file made elsewhere (copied from another
    // machine, say) that the program only reads.
    void widerPermissionsAreNarrowed_data()
    {
        QTest::addColumn<bool>("writeAfter");
        dataRow("by the next write", true);
        dataRow("by the first read", false);
    }

    void widerPermissionsAreNarrowed()
    {
        QFETCH(bool, writeAfter);
        const QString path = SettingsLocation("Lexorn");
        SaveSetting("Lexorn", "Login", "Password", "a");
        QVERIFY(QFile::setPermissions(path, QFile::permissions(path) | QFile::ReadOther |
                                                QFile::ReadGroup | QFile::WriteGroup));
        if (writeAfter)
            SaveSetting("Lexorn", "Login", "Password", "b");
        else
            QCOMPARE(GetSetting("Lexorn", "Login", "Password"), "a");
        QCOMPARE(QFile::permissions(path) & 0x0777, QFile::ReadUser | QFile::WriteUser);
    }

    void nestedSectionsAndDefaults()
    {
        SaveSetting("Lexorn", "Options\\Form", "Height", "7000");
        QCOMPARE(GetSetting("Lexorn", "Options\\Form", "Height", "1") + ' ' +
                     GetSetting("Lexorn", "Options", "Height", "default"),
                 "7000 default");
        QCOMPARE(QSettings(SettingsLocation("Lexorn"), QSettings::IniFormat)
                     .value("Options/Form/Height"),
                 "7000");
    }
};

LEXORN_TEST_MAIN(TestSettingsStore)
#include "tst_settingsstore.moc"
