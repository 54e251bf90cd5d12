#include "platform/settingsstore.h"
#include "support/testmain.h"

#include <QFile>
#include <QSettings>

#include <sys/stat.h>

using namespace platform;

namespace {

int modeOf(const QString &path)
{
    struct stat info = {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 0777) : -1;
}

} // namespace

class TestSettingsStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void writtenValueIsOnDiskAndPrivate();
    void widerPermissionsAreNarrowed_data();
    void widerPermissionsAreNarrowed();
    void nestedSectionsAndDefaults();
};

void TestSettingsStore::writtenValueIsOnDiskAndPrivate()
{
    const QString path = SettingsLocation("Lexorn");
    QVERIFY(path.startsWith(qEnvironmentVariable("XDG_CONFIG_HOME") + "/Korvath/"));
    QFile::remove(path);

    SaveSetting("Lexorn", "Login", "Password", "s3cret value");
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains("Password=s3cret value"));
    QCOMPARE(modeOf(path), 0600);
}

void TestSettingsStore::widerPermissionsAreNarrowed_data()
{
    QTest::addColumn<bool>("writeAfter");
    QTest::newRow("by the next write") << true;
    // A file made elsewhere, e.g. copied from another machine, that the program only reads.
    QTest::newRow("by the first read") << false;
}

void TestSettingsStore::widerPermissionsAreNarrowed()
{
    QFETCH(bool, writeAfter);
    const QString path = SettingsLocation("Lexorn");
    SaveSetting("Lexorn", "Login", "Password", "a");
    QVERIFY(QFile::setPermissions(path, QFile::permissions(path) | QFile::ReadOther |
                                            QFile::ReadGroup | QFile::WriteGroup));
    QCOMPARE(modeOf(path), 0664);
    if (writeAfter)
        SaveSetting("Lexorn", "Login", "Password", "b");
    else
        QCOMPARE(GetSetting("Lexorn", "Login", "Password"), QStringLiteral("a"));
    QCOMPARE(modeOf(path), 0600);
}

void TestSettingsStore::nestedSectionsAndDefaults()
{
    SaveSetting("Lexorn", "Options\\Form", "Height", "7000");
    QCOMPARE(GetSetting("Lexorn", "Options\\Form", "Height", "1"), QStringLiteral("7000"));
    QCOMPARE(GetSetting("Lexorn", "Options", "Height", "default"), QStringLiteral("default"));
    QSettings raw(SettingsLocation("Lexorn"), QSettings::IniFormat);
    QCOMPARE(raw.value("Options/Form/Height").toString(), QStringLiteral("7000"));
}

LEXORN_TEST_MAIN(TestSettingsStore)
#include "tst_settingsstore.moc"
