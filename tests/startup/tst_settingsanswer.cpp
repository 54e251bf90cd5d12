#include "startup/settingsanswer.h"

#include <QRandomGenerator>
#include <QTest>

Q_DECLARE_METATYPE(SettingsVerdict::Kind)

namespace {

const QString about = QStringLiteral("about:\t");

QString lines(std::initializer_list<const char *> parts)
{
    QStringList list;
    for (const char *part : parts)
        list.append(QString::fromLatin1(part));
    return list.join(QLatin1Char('\n'));
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
    void versionMismatchStopsAtItsLine();
    void errorAnswerChangesNothing();
    void randomAnswersEndInADefinedOutcome();
};

void TestSettingsAnswer::verdicts_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<SettingsVerdict::Kind>("kind");
    QTest::addColumn<QString>("message");

    using K = SettingsVerdict;
    QTest::newRow("valid alone") << QStringLiteral("valid:") << K::Valid << QString();
    QTest::newRow("valid with tab and text")
        << QStringLiteral("valid:\tanything") << K::Valid << QString();
    QTest::newRow("empty answer") << QString() << K::Invalid << QString();
    QTest::newRow("404 anywhere") << QStringLiteral("valid:\n<h1>404 Not Found</h1>") << K::NotFound
                                  << QString();
    QTest::newRow("other error page")
        << QStringLiteral("<h1>500 Internal Server Error</h1>") << K::Invalid << QString();
    QTest::newRow("login error") << QStringLiteral("error:\tlogin\tWrong password.\tx")
                                 << K::LoginError << QStringLiteral("Wrong password.");
    QTest::newRow("fatal error") << QStringLiteral("error:\tfatal\tAccount disabled.\nvalid:")
                                 << K::FatalError << QStringLiteral("Account disabled.");
    QTest::newRow("unknown error kind")
        << QStringLiteral("error:\tsomething\tShould not show") << K::Invalid << QString();
    QTest::newRow("login error without message")
        << QStringLiteral("error:\tlogin") << K::Invalid << QString();
    QTest::newRow("error without tab")
        << QStringLiteral("error:login\tx") << K::Invalid << QString();
    QTest::newRow("status case differs") << QStringLiteral("Valid:") << K::Invalid << QString();
    QTest::newRow("version accepted")
        << lines({"valid:", "about:\tversion\t1.0.1"}) << K::Valid << QString();
    QTest::newRow("version mismatch") << lines({"valid:", "about:\tversion\t1.0.2"})
                                      << K::VersionMismatch << QStringLiteral("1.0.2");
    QTest::newRow("CR LF fails the version test")
        << QStringLiteral("valid:\r\nabout:\tversion\t1.0.1\r\n") << K::VersionMismatch
        << QStringLiteral("1.0.1\r");
    QTest::newRow("no version line")
        << lines({"valid:", "about:\tuserid\t7"}) << K::Valid << QString();
    QTest::newRow("about too short")
        << lines({"valid:", "about:\tuserid"}) << K::Invalid << QString();
    QTest::newRow("link too short")
        << lines({"valid:", "link:\tbanner"}) << K::Invalid << QString();
    QTest::newRow("language too short")
        << lines({"valid:", "language:\t1\ten"}) << K::Invalid << QString();
    QTest::newRow("translation_url too short")
        << lines({"valid:", "language:\t1\ten\tEnglish", "translation_url:\t1\t1\t1\t[\t]"})
        << K::Invalid << QString();
    QTest::newRow("translation_url with six fields")
        << lines({"valid:", "language:\t1\ten\tEnglish", "translation_url:\t1\t1\t1\t[\t]\tu"})
        << K::Valid << QString();
    QTest::newRow("level not decimal")
        << lines({"valid:", "about:\tlevel\t1e3"}) << K::Invalid << QString();
    QTest::newRow("level with plus")
        << lines({"valid:", "about:\tlevel\t+1"}) << K::Invalid << QString();
    QTest::newRow("level empty") << lines({"valid:", "about:\tlevel\t"}) << K::Invalid << QString();
    QTest::newRow("level 32-bit max")
        << lines({"valid:", "about:\tlevel\t2147483647"}) << K::Valid << QString();
    QTest::newRow("level beyond 32 bits")
        << lines({"valid:", "about:\tlevel\t2147483648"}) << K::Invalid << QString();
    QTest::newRow("level of many digits")
        << lines({"valid:", "about:\tlevel\t99999999999999999999999999"}) << K::Invalid
        << QString();
    QTest::newRow("cap 16-bit min")
        << lines({"valid:", "about:\tcap\t-32768"}) << K::Valid << QString();
    QTest::newRow("cap beyond 16 bits")
        << lines({"valid:", "about:\tcap\t32768"}) << K::Invalid << QString();
    QTest::newRow("cap with CR") << QStringLiteral("valid:\nabout:\tcap\t5\r") << K::Invalid
                                 << QString();
    QTest::newRow("provider id not decimal")
        << lines({"valid:", "language:\t1\ten\tEnglish", "translation_url:\tx\t1\t1\t[\t]\tu"})
        << K::Invalid << QString();
    QTest::newRow("provider index not decimal")
        << lines({"valid:", "language:\t1\ten\tEnglish", "translation_url:\t1\tone\t1\t[\t]\tu"})
        << K::Invalid << QString();
    QTest::newRow("language index beyond slots")
        << lines({"valid:", "language:\t2\ten\tEnglish"}) << K::Invalid << QString();
    QTest::newRow("negative language index")
        << lines({"valid:", "language:\t-1\ten\tEnglish"}) << K::Invalid << QString();
    QTest::newRow("provider names an unfilled slot")
        << lines({"valid:", "language:\t1\ten\tEnglish", "language:\t1\tfr\tFrench",
                  "translation_url:\t1\t1\t2\t[\t]\tu"})
        << K::Invalid << QString();
    QTest::newRow("provider names slot 0 unfilled")
        << lines({"valid:", "language:\t1\ten\tEnglish", "translation_url:\t1\t0\t1\t[\t]\tu"})
        << K::Invalid << QString();
    QTest::newRow("provider before its languages")
        << lines({"valid:", "translation_url:\t1\t1\t2\t[\t]\tu", "language:\t1\ten\tEnglish",
                  "language:\t2\tfr\tFrench"})
        << K::Valid << QString();
}

void TestSettingsAnswer::verdicts()
{
    QFETCH(QString, answer);
    QFETCH(SettingsVerdict::Kind, kind);
    QFETCH(QString, message);

    SessionSettingsRecord settings;
    const SettingsVerdict verdict = ApplySettingsAnswer(answer, settings);
    QCOMPARE(verdict.kind, kind);
    QCOMPARE(verdict.message, message);
}

void TestSettingsAnswer::records()
{
    const QString answer = lines({
        "valid:\tok",
        "# a comment",
        "",
        "about:\tuserid\t41",
        "about:\tuserid\t42",
        "about:\tlevel\t-3",
        "about:\tcap\t500",
        "about:\tcolour\tblue",
        "link:\ttranslating\thttp://h/t",
        "link:\tbanner\thttp://h/b",
        "link:\twelcome\thttp://h/w",
        "link:\tfindtran\thttp://h/f?u=%userid%",
        "link:\tother\thttp://h/o",
        "link: banner\thttp://h/not-a-link",
        "provider:\tignored\tx",
        "language:\t1\ten\tEnglish",
        "language:\t2\tfr\tFran\xe7"
        "ais",
        "languages:\t3\tde\tGerman",
        "translation_url:\t7\t1\t2\t<b>\t</b>\thttp://p/?q=%text_encode%\te1\te2\te3\tfield10",
        "translation_url:\t8\t2\t1\t[\t]\thttp://p2/\tonly-extra1",
        "translation_urls:\t9\t1\t1\t[\t]\thttp://nope/",
    });
    SessionSettingsRecord settings;
    settings.Providers.append(Provider{}); // a fresh load starts from empty tables
    QCOMPARE(ApplySettingsAnswer(answer, settings).kind, SettingsVerdict::Valid);

    QCOMPARE(settings.UserId, QStringLiteral("42"));
    QCOMPARE(settings.Level, -3);
    QCOMPARE(settings.Cap, qint16(500));
    QCOMPARE(settings.TranslatingLink, QStringLiteral("http://h/t"));
    QCOMPARE(settings.BannerLink, QStringLiteral("http://h/b"));
    QCOMPARE(settings.WelcomeLink, QStringLiteral("http://h/w"));
    QCOMPARE(settings.FindTranLink, QStringLiteral("http://h/f?u=%userid%"));
    QCOMPARE(settings.Languages.size(), 3);
    QCOMPARE(settings.Languages.at(0).Code, QString());
    QCOMPARE(settings.Languages.at(2).Name, QStringLiteral("Fran\u00e7ais"));
    QCOMPARE(settings.Providers.size(), 2);
    const Provider &first = settings.Providers.at(0);
    QCOMPARE(first.Id, 7);
    QCOMPARE(first.SourceLanguage, QStringLiteral("1"));
    QCOMPARE(first.TargetLanguage, QStringLiteral("2"));
    QCOMPARE(first.ResultStart, QStringLiteral("<b>"));
    QCOMPARE(first.ResultEnd, QStringLiteral("</b>"));
    QCOMPARE(first.UrlTemplate, QStringLiteral("http://p/?q=%text_encode%"));
    QCOMPARE(first.Extra1, QStringLiteral("e1"));
    QCOMPARE(first.Extra2, QStringLiteral("e2"));
    QCOMPARE(first.Extra3, QStringLiteral("e3"));
    const Provider &second = settings.Providers.at(1);
    QCOMPARE(second.Extra1, QStringLiteral("only-extra1"));
    QCOMPARE(second.Extra2, QString());
}

void TestSettingsAnswer::languageSlots_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QStringList>("codes");

    QTest::newRow("indexes 1 2 3")
        << lines({"valid:", "language:\t1\ta\tA", "language:\t2\tb\tB", "language:\t3\tc\tC"})
        << QStringList{{}, "a", "b", "c"};
    QTest::newRow("index 1 twice") << lines({"valid:", "language:\t1\ta\tA", "language:\t1\tb\tB"})
                                   << QStringList{{}, "b", {}};
    QTest::newRow("index 0 filled")
        << lines({"valid:", "language:\t0\tz\tZ"}) << QStringList{"z", {}};
    QTest::newRow("no languages") << QStringLiteral("valid:") << QStringList{{}};
}

void TestSettingsAnswer::languageSlots()
{
    QFETCH(QString, answer);
    QFETCH(QStringList, codes);

    SessionSettingsRecord settings;
    QCOMPARE(ApplySettingsAnswer(answer, settings).kind, SettingsVerdict::Valid);
    QStringList actual;
    for (const Language &language : std::as_const(settings.Languages))
        actual.append(language.Code);
    QCOMPARE(actual, codes);
}

void TestSettingsAnswer::versionMismatchStopsAtItsLine()
{
    SessionSettingsRecord settings;
    const QString answer = lines(
        {"valid:", "about:\tuserid\tbefore", "about:\tversion\t2.0", "about:\tuserid\tafter"});
    QCOMPARE(ApplySettingsAnswer(answer, settings).kind, SettingsVerdict::VersionMismatch);
    QCOMPARE(settings.UserId, QStringLiteral("before"));
}

void TestSettingsAnswer::errorAnswerChangesNothing()
{
    SessionSettingsRecord settings;
    settings.UserId = QStringLiteral("kept");
    settings.Providers.append(Provider{});
    ApplySettingsAnswer(QStringLiteral("error:\tlogin\tNo."), settings);
    QCOMPARE(settings.UserId, QStringLiteral("kept"));
    QCOMPARE(settings.Providers.size(), 1);
}

// Whatever a server sends, the parser ends in one of its outcomes and leaves a record that
// readers can index safely.
void TestSettingsAnswer::randomAnswersEndInADefinedOutcome()
{
    const QStringList pieces = {QStringLiteral("valid:"),
                                QStringLiteral("error:"),
                                QStringLiteral("about:"),
                                QStringLiteral("link:"),
                                QStringLiteral("language:"),
                                QStringLiteral("translation_url:"),
                                QStringLiteral("provider:"),
                                QStringLiteral("login"),
                                QStringLiteral("fatal"),
                                QStringLiteral("version"),
                                QStringLiteral("1.0.1"),
                                QStringLiteral("cap"),
                                QStringLiteral("level"),
                                QStringLiteral("userid"),
                                QStringLiteral("0"),
                                QStringLiteral("1"),
                                QStringLiteral("2"),
                                QStringLiteral("-1"),
                                QStringLiteral("99999999999"),
                                QStringLiteral("\t"),
                                QStringLiteral("\n"),
                                QStringLiteral("\r"),
                                QStringLiteral("#"),
                                QStringLiteral("404 Not Found"),
                                QStringLiteral("x"),
                                QString(QChar(0xFFFF)),
                                QString(QChar(0))};
    const QString seedAnswer =
        lines({"valid:", "about:\tversion\t1.0.1", "about:\tcap\t10", "language:\t1\ten\tEnglish",
               "language:\t2\tes\tSpanish", "translation_url:\t1\t1\t2\t[\t]\thttp://p/"});
    QRandomGenerator random(20261206);
    int outcomes[6] = {};
    for (int round = 0; round < 4000; ++round) {
        QString answer;
        if (round % 2 == 0) {
            const int count = random.bounded(1, 40);
            for (int i = 0; i < count; ++i)
                answer += pieces.at(random.bounded(pieces.size()));
        } else {
            answer = seedAnswer;
            const int edits = random.bounded(1, 6);
            for (int i = 0; i < edits; ++i) {
                const int at = random.bounded(answer.size() + 1);
                if (random.bounded(2) == 0)
                    answer.insert(at, pieces.at(random.bounded(pieces.size())));
                else
                    answer.remove(at, random.bounded(1, 4));
            }
        }
        SessionSettingsRecord settings;
        const SettingsVerdict verdict = ApplySettingsAnswer(answer, settings);
        QVERIFY(verdict.kind >= SettingsVerdict::Valid &&
                verdict.kind <= SettingsVerdict::VersionMismatch);
        ++outcomes[verdict.kind];
        if (verdict.kind == SettingsVerdict::Valid) {
            for (const Provider &provider : std::as_const(settings.Providers)) {
                QVERIFY(provider.SourceLanguage.toInt() < settings.Languages.size());
                QVERIFY(provider.TargetLanguage.toInt() < settings.Languages.size());
            }
        }
    }
    // The mutations reach more than one outcome, or the generator tests nothing.
    QVERIFY(outcomes[SettingsVerdict::Valid] > 0);
    QVERIFY(outcomes[SettingsVerdict::Invalid] > 0);
}

QTEST_APPLESS_MAIN(TestSettingsAnswer)
#include "tst_settingsanswer.moc"
