#include "startup/settingsanswer.h"

#include <QRandomGenerator>
#include <QTest>

Q_DECLARE_METATYPE(SettingsVerdict::Kind)

namespace {

using K = SettingsVerdict;

void row(const char *name, const char *answer, K::Kind kind, const char *message = "")
{
    QTest::newRow(name) << QString::fromLatin1(answer) << kind << QString::fromLatin1(message);
}

QStringList codesOf(const SessionSettingsRecord &settings)
{
    QStringList codes;
    for (const Language &language : settings.Languages)
        codes.append(language.Code);
    return codes;
}

} // namespace

class TestSettingsAnswer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void verdicts_data();
    void verdicts();
    void records();
    void languageSlots_data();
    void languageSlots();
    void randomAnswersEndInADefinedOutcome();
};

void TestSettingsAnswer::verdicts_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<K::Kind>("kind");
    QTest::addColumn<QString>("message");

    const char *en = "valid:\nlanguage:\t1\ten\tEnglish\n";
    row("valid alone", "valid:", K::Valid);
    row("valid with tab and text", "valid:\tanything", K::Valid);
    row("empty answer", "", K::Invalid);
    row("404 anywhere", "valid:\n<h1>404 Not Found</h1>", K::NotFound);
    row("other error page", "<h1>500 Internal Server Error</h1>", K::Invalid);
    row("login error", "error:\tlogin\tWrong password.\tx", K::LoginError, "Wrong password.");
    row("fatal error", "error:\tfatal\tDisabled.\nvalid:", K::FatalError, "Disabled.");
    row("unknown error kind", "error:\tsomething\tNot shown", K::Invalid);
    row("login error without message", "error:\tlogin", K::Invalid);
    row("error without tab", "error:login\tx", K::Invalid);
    row("status case differs", "Valid:", K::Invalid);
    row("version accepted", "valid:\nabout:\tversion\t1.0.1", K::Valid);
    row("version mismatch", "valid:\nabout:\tversion\t1.0.2", K::VersionMismatch, "1.0.2");
    row("CR LF fails the version", "valid:\r\nabout:\tversion\t1.0.1\r\n", K::VersionMismatch,
        "1.0.1\r");
    row("about too short", "valid:\nabout:\tuserid", K::Invalid);
    row("link too short", "valid:\nlink:\tbanner", K::Invalid);
    row("language too short", "valid:\nlanguage:\t1\ten", K::Invalid);
    row("level not decimal", "valid:\nabout:\tlevel\t1e3", K::Invalid);
    row("level with plus", "valid:\nabout:\tlevel\t+1", K::Invalid);
    row("level empty", "valid:\nabout:\tlevel\t", K::Invalid);
    row("level 32-bit max", "valid:\nabout:\tlevel\t2147483647", K::Valid);
    row("level beyond 32 bits", "valid:\nabout:\tlevel\t2147483648", K::Invalid);
    row("level of many digits", "valid:\nabout:\tlevel\t99999999999999999999999", K::Invalid);
    row("cap 16-bit min", "valid:\nabout:\tcap\t-32768", K::Valid);
    row("cap beyond 16 bits", "valid:\nabout:\tcap\t32768", K::Invalid);
    row("cap with CR", "valid:\nabout:\tcap\t5\r", K::Invalid);
    row("language index beyond slots", "valid:\nlanguage:\t2\ten\tEnglish", K::Invalid);
    row("negative language index", "valid:\nlanguage:\t-1\ten\tEnglish", K::Invalid);

    // Providers: fields 7 to 9 may be missing; indexes must name a filled slot in the end.
    const QByteArray base(en);
    const auto provider = [&base](const char *name, const char *line, K::Kind kind) {
        QTest::newRow(name) << QString::fromLatin1(base + line) << kind << QString();
    };
    provider("provider with six fields", "translation_url:\t1\t1\t1\t[\t]\tu", K::Valid);
    provider("provider too short", "translation_url:\t1\t1\t1\t[\t]", K::Invalid);
    provider("provider id not decimal", "translation_url:\tx\t1\t1\t[\t]\tu", K::Invalid);
    provider("provider index not decimal", "translation_url:\t1\tone\t1\t[\t]\tu", K::Invalid);
    provider("provider names an unfilled slot",
             "language:\t1\tfr\tFrench\ntranslation_url:\t1\t1\t2\t[\t]\tu", K::Invalid);
    provider("provider names slot 0 unfilled", "translation_url:\t1\t0\t1\t[\t]\tu", K::Invalid);
    provider("provider before its language",
             "translation_url:\t1\t1\t2\t[\t]\tu\nlanguage:\t2\tfr\tFrench", K::Valid);
}

void TestSettingsAnswer::verdicts()
{
    QFETCH(QString, answer);
    QFETCH(K::Kind, kind);
    QFETCH(QString, message);

    SessionSettingsRecord settings;
    const SettingsVerdict verdict = ApplySettingsAnswer(answer, settings);
    QCOMPARE(verdict.kind, kind);
    QCOMPARE(verdict.message, message);
}

void TestSettingsAnswer::records()
{
    const QString answer = QString::fromLatin1(
        "valid:\tok\n# comment\n\n"
        "about:\tuserid\t41\nabout:\tuserid\t42\nabout:\tlevel\t-3\nabout:\tcap\t500\n"
        "about:\tcolour\tblue\n"
        "link:\ttranslating\thttp://h/t\nlink:\tbanner\thttp://h/b\nlink:\twelcome\thttp://h/w\n"
        "link:\tfindtran\thttp://h/f?u=%userid%\nlink:\tother\thttp://h/o\n"
        "link: banner\thttp://h/not-a-link\nprovider:\tignored\tx\n"
        "language:\t1\ten\tEnglish\nlanguage:\t2\tfr\tFran\xe7"
        "ais\nlanguages:\t3\tde\tGerman\n"
        "translation_url:\t7\t1\t2\t<b>\t</b>\thttp://p/?q=%text_encode%\te1\te2\te3\tfield10\n"
        "translation_url:\t8\t2\t1\t[\t]\thttp://p2/\tonly-extra1\n"
        "translation_urls:\t9\t1\t1\t[\t]\thttp://nope/\n"
        "about:\tuserid\tbefore-mismatch\nabout:\tversion\t2.0\nabout:\tuserid\tafter");
    SessionSettingsRecord settings;
    settings.Providers.append(Provider{}); // a load starts from empty tables
    QCOMPARE(ApplySettingsAnswer(answer, settings).kind, K::VersionMismatch);

    // The lines before the mismatch are applied, the ones after it are not.
    QCOMPARE(settings.UserId, QStringLiteral("before-mismatch"));
    QCOMPARE(settings.Level, -3);
    QCOMPARE(settings.Cap, qint16(500));
    QCOMPARE(QStringList({settings.TranslatingLink, settings.BannerLink, settings.WelcomeLink,
                          settings.FindTranLink}),
             QStringList({"http://h/t", "http://h/b", "http://h/w", "http://h/f?u=%userid%"}));
    QCOMPARE(codesOf(settings), QStringList({"", "en", "fr"}));
    QCOMPARE(settings.Languages.at(2).Name, QStringLiteral("Fran\u00e7ais"));
    QCOMPARE(settings.Providers.size(), 2);
    const Provider &first = settings.Providers.at(0);
    QCOMPARE(
        QStringList({first.SourceLanguage, first.TargetLanguage, first.ResultStart, first.ResultEnd,
                     first.UrlTemplate, first.Extra1, first.Extra2, first.Extra3}),
        QStringList({"1", "2", "<b>", "</b>", "http://p/?q=%text_encode%", "e1", "e2", "e3"}));
    QCOMPARE(first.Id, 7);
    QCOMPARE(settings.Providers.at(1).Extra1, QStringLiteral("only-extra1"));
    QCOMPARE(settings.Providers.at(1).Extra2, QString());

    // A rejected sign-in changes nothing.
    ApplySettingsAnswer(QStringLiteral("error:\tlogin\tNo."), settings);
    QCOMPARE(settings.Providers.size(), 2);
}

void TestSettingsAnswer::languageSlots_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QStringList>("codes");
    QTest::newRow("indexes 1 2 3")
        << "valid:\nlanguage:\t1\ta\tA\nlanguage:\t2\tb\tB\nlanguage:\t3\tc\tC"
        << QStringList{"", "a", "b", "c"};
    QTest::newRow("index 1 twice")
        << "valid:\nlanguage:\t1\ta\tA\nlanguage:\t1\tb\tB" << QStringList{"", "b", ""};
    QTest::newRow("index 0 filled") << "valid:\nlanguage:\t0\tz\tZ" << QStringList{"z", ""};
}

void TestSettingsAnswer::languageSlots()
{
    QFETCH(QString, answer);
    QFETCH(QStringList, codes);
    SessionSettingsRecord settings;
    QCOMPARE(ApplySettingsAnswer(answer, settings).kind, K::Valid);
    QCOMPARE(codesOf(settings), codes);
}

// Whatever a server sends, the parser ends in one of its outcomes and leaves a record that
// readers can index safely.
void TestSettingsAnswer::randomAnswersEndInADefinedOutcome()
{
    const QStringList pieces =
        QStringLiteral("valid:|error:|about:|link:|language:|translation_url:|provider:|login|"
                       "fatal|version|1.0.1|"
                       "cap|level|userid|0|1|2|-1|99999999999|\t|\n|\r|#|404 Not Found|x|\uffff")
            .split(QLatin1Char('|'));
    const QString seed = QStringLiteral("valid:\nabout:\tversion\t1.0.1\nabout:\tcap\t10\n"
                                        "language:\t1\ten\tEnglish\nlanguage:\t2\tes\tSpanish\n"
                                        "translation_url:\t1\t1\t2\t[\t]\thttp://p/");
    QRandomGenerator random(20261206);
    QSet<int> outcomes;
    for (int round = 0; round < 4000; ++round) {
        QString answer = round % 2 ? seed : QString();
        for (int edits = random.bounded(1, 40); edits > 0; --edits) {
            const int at = random.bounded(answer.size() + 1);
            if (round % 2 && random.bounded(2))
                answer.remove(at, random.bounded(1, 4));
            else
                answer.insert(at, pieces.at(random.bounded(pieces.size())));
        }
        SessionSettingsRecord settings;
        const SettingsVerdict verdict = ApplySettingsAnswer(answer, settings);
        outcomes.insert(verdict.kind);
        if (verdict.kind != K::Valid)
            continue;
        for (const Provider &provider : std::as_const(settings.Providers)) {
            QVERIFY(provider.SourceLanguage.toInt() < settings.Languages.size());
            QVERIFY(provider.TargetLanguage.toInt() < settings.Languages.size());
        }
    }
    // Mutations that reach only one outcome would test nothing.
    QVERIFY(outcomes.contains(K::Valid) && outcomes.contains(K::Invalid));
}

QTEST_APPLESS_MAIN(TestSettingsAnswer)
#include "tst_settingsanswer.moc"
