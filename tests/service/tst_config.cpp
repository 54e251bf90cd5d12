#include "config/installedpairs.h"
#include "config/languagenames.h"
#include "endpoints/routecatalogue.h"
#include "support/service.h"
#include "support/testmain.h"

// Configurations the real lexorn-service refuses, before it touches its database; and the pairs
// and languages a made-up list of installed modes adds, named by the system's iso-codes and the
// table of variants the service installs.
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
        // Every variant of scripts/setup's pairs; a country's name in the language's own words,
        // or in English; a variant the table lists, not a country, and one it does not.
        dataRow("variants", S(),
                S("eng-cat_valencia eng-cat_valencia_uni spa-cat_iec2017 "
                  "fra-cat_pre2017 cat-por_BR cat-por_PTpre1990 spa-eng_US slv-hbs_SR "
                  "fra-oci_xx_1"),
                S(),
                S("1 ca Català|2 ca_iec2017 Català (IEC 2017)|3 ca_pre2017 Català (diacrítics "
                  "anteriors a 2017)|4 ca_valencia Català (valencià)|5 ca_valencia_uni Català "
                  "(valencià, accents generals)|6 en English|7 en_US English (United "
                  "States)|8 es Español|9 fr Français|10 oc_xx_1 Occitan (xx 1)|11 pt_BR "
                  "Português (Brasil)|12 pt_PTpre1990 Português (ortografia anterior a "
                  "1990)|13 sh_SR Serbo-Croatian (Serbian)|14 sl Slovenian"),
                S("en>ca_valencia eng-cat_valencia|en>ca_valencia_uni eng-cat_valencia_uni|es>"
                  "ca_iec2017 spa-cat_iec2017|fr>ca_pre2017 fra-cat_pre2017|ca>pt_BR cat-por_BR|"
                  "ca>pt_PTpre1990 cat-por_PTpre1990|es>en_US spa-eng_US|sl>sh_SR slv-hbs_SR|fr>"
                  "oc_xx_1 fra-oci_xx_1"));
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
                          LanguageNames(iso.isEmpty() ? IsoCodes() : IsoCodes(iso, iso),
                                        LEXORN_SOURCE_DIR "/data/language-variants.ini"));
        QStringList added;
        for (const LanguageEntry &language : std::as_const(config.languages))
            added << QString("%1 %2 %3").arg(language.index).arg(language.code, language.name);
        QCOMPARE(added.join('|'), languages);
        added.clear();
        for (const ApertiumPair &pair : std::as_const(config.apertiumPairs))
            added << QString("%1>%2 %3").arg(pair.source, pair.target, pair.mode);
        QCOMPARE(added.join('|'), pairs);
    }

    // A chain through a pivot joins two languages; between two forms of one it says nothing new.
    void chains()
    {
        QTemporaryDir folder;
        QFile file(folder.filePath("lexorn.ini"));
        QVERIFY(file.open(QIODevice::WriteOnly) &&
                file.write("[apertium]\npairs = installed\npivot = es\n") > 0);
        file.close();
        ServiceConfig config;
        QString error;
        QVERIFY2(loadConfig(file.fileName(), config, error), qPrintable(error));
        const QStringList modes{"cat-spa", "spa-cat_valencia", "spa-eng"};
        addInstalledPairs(
            config, modes,
            LanguageNames(IsoCodes(), LEXORN_SOURCE_DIR "/data/language-variants.ini"));
        QStringList offered;
        for (const OfferedProvider &provider : RouteCatalogue(config, modes).offered({}))
            offered << provider.source + '>' + provider.target + ' ' + provider.detail;
        QCOMPARE(offered.join('|'), "ca>en cat-spa+spa-eng|ca>es cat-spa|es>ca_valencia "
                                    "spa-cat_valencia|es>en spa-eng");
    }
};

LEXORN_TEST_MAIN(tst_Config)
#include "tst_config.moc"
