#include "support/service.h"
#include "support/testmain.h"

// Configurations the real lexorn-service refuses, before it touches its database.
class tst_Config : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void refused_data()
    {
        // added: to the demo configuration
        columns<QString, QString>({"added", "reason"});
        dataRow("beyond Latin-1", "[languages]\n3 = ja, 日本語", "ISO-8859-1");
        dataRow("index out of reach", "[languages]\n7 = de, Deutsch", "index 7");
        dataRow("same code twice", "[languages]\n1 = en, English\n2 = en, Englisch", "twice");
        dataRow("unlisted language", "[apertium]\nen -> fr = eng-fra", "en is not listed");
        dataRow("pairs neither listed nor installed", "[apertium]\npairs = all",
                "installed or listed");
        dataRow("marker text may hold", "[apertium]\nresult_end = &amp;", "result_end");
        dataRow("cap beyond 16 bits", "[accounts]\ncap = 40000", "cap");
        dataRow("misspelt key", "[service]\nprot = 80", "unknown key");
        dataRow("unknown section", "[extras]\na = b", "unknown section");
        dataRow("relative link", "[links]\nwelcome = welcome.php", "welcome");
    }

    void refused()
    {
        auto [added, reason] = fetch<QString, QString>("added", "reason");
        Service refusing(added);
        QVERIFY2(refusing.run({}) == 2 && refusing.output.contains(reason.toUtf8()) &&
                     !QFile::exists(refusing.dir.filePath("demo.sqlite")),
                 refusing.output.constData());
    }
};

LEXORN_TEST_MAIN(tst_Config)
#include "tst_config.moc"
