#include "config/installedpairs.h"
#include "config/isocodes.h"
#include "support/service.h"
#include "support/testmain.h"

// Configurations the real lexorn-service refuses, before it touches its database; and the pairs
// and languages a made-up list of installed modes adds, named by the system's iso-codes.
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

    void added_data()
    {
        // ini: [apertium] lines after "pairs = installed", '|' for line breaks; iso: a missing
        // folder for none installed
        using S = QString;
        columns<S, S, S, S, S>({"ini", "modes", "iso", "languages", "pairs"});
        dataRow("codes", S(), S("eng-spa zlm-ind spa-ast"), S(),
                S("1 ast Asturianu|2 en English|3 es Español|4 id Bahasa Indonesia|5 zlm Malay"),
                S("en>es eng-spa|zlm>id zlm-ind|es>ast spa-ast"));
        dataRow("variants", S(), S("cat-por_BR fra-oci_gascon"), S(),
                S("1 ca Català|2 fr Français|3 oc_gascon Occitan (gascon)|4 pt_BR Português (BR)"),
                S("ca>pt_BR cat-por_BR|fr>oc_gascon fra-oci_gascon"));
        // Their own names are русский, українська, slovenščina, Română.
        dataRow("beyond Latin-1", S(), S("rus-ukr slv-hbs ro-es"), S(),
                S("1 es Español|2 ro Romanian|3 ru Russian|4 sh Serbo-Croatian|5 sl Slovenian|6 "
                  "uk Ukrainian"),
                S("ru>uk rus-ukr|sl>sh slv-hbs|ro>es ro-es"));
        dataRow("debug modes", S(),
                S("Cyrl-Latn ca-eo-translit en-eo-bytecode spa-ast-pn nob-nno_e-syndis "
                  "eng-cat_valencia_uni_iec2017 oc-ca oci-cat"),
                S(), S("1 ca Català|2 oc Occitan"), S("oc>ca oc-ca"));
        dataRow("listed first", S("es -> en = spa-eng_US|[languages]|1 = es, Castellano|2 = en, I"),
                S("spa-eng eng-spa spa-cat"), S(), S("1 es Castellano|2 en I|3 ca Català"),
                S("es>en spa-eng_US|en>es eng-spa|es>ca spa-cat"));
        dataRow("listed only",
                S("pairs = listed|es -> en = spa-eng|[languages]|1 = es, E|2 = en, I"),
                S("eng-spa"), S(), S("1 es E|2 en I"), S("es>en spa-eng"));
        dataRow("no iso-codes", S(), S("eng-spa"), S("/nonexistent"), S("1 eng eng|2 spa spa"),
                S("eng>spa eng-spa"));
    }

    void added()
    {
        const auto [ini, modes, iso, languages, pairs] =
            fetch<QString, QString, QString, QString, QString>("ini", "modes", "iso", "languages",
                                                               "pairs");
        QTemporaryDir folder;
        QFile file(folder.filePath("lexorn.ini"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(("[apertium]\npairs = installed\n" + QString(ini).replace('|', '\n')).toUtf8());
        file.close();
        ServiceConfig config;
        QString error;
        QVERIFY2(loadConfig(file.fileName(), config, error), qPrintable(error));
        addInstalledPairs(config, modes.split(' '),
                          iso.isEmpty() ? IsoCodes() : IsoCodes(iso, iso));
        QStringList added;
        for (const LanguageEntry &language : std::as_const(config.languages))
            added << QString("%1 %2 %3").arg(language.index).arg(language.code, language.name);
        QCOMPARE(added.join('|'), languages);
        added.clear();
        for (const ApertiumPair &pair : std::as_const(config.apertiumPairs))
            added << QString("%1>%2 %3").arg(pair.source, pair.target, pair.mode);
        QCOMPARE(added.join('|'), pairs);
    }
};

LEXORN_TEST_MAIN(tst_Config)
#include "tst_config.moc"
