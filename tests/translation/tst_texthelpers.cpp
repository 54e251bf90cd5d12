#include "platform/identity.h"
#include "platform/messagebox.h"
#include "translation/modtranslate.h"

#include <QAbstractEventDispatcher>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTimer>
#include <QtTest>

#include <algorithm>

using namespace modTranslate;

namespace {

const QString Crlf = QStringLiteral("\r\n");
const QChar Replacement(0xFFFD);

QString units(std::initializer_list<char16_t> list)
{
    QString text;
    for (char16_t unit : list)
        text.append(QChar(unit));
    return text;
}

// Mixes every encoding length, valid pairs and lone halves of either kind.
QString randomText(QRandomGenerator &random, qsizetype length, bool surrogates)
{
    QString text;
    text.reserve(length + 1);
    while (text.size() < length) {
        switch (random.bounded(surrogates ? 6 : 3)) {
        case 0:
            text.append(QChar(char16_t(random.bounded(0x80))));
            break;
        case 1:
            text.append(QChar(char16_t(random.bounded(0x80, 0x800))));
            break;
        case 2: {
            char16_t unit = char16_t(random.bounded(0x800, 0x10000));
            if (!surrogates && QChar::isSurrogate(unit))
                unit = 0x20AC;
            text.append(QChar(unit));
            break;
        }
        case 3:
            text.append(QChar(char16_t(random.bounded(0xD800, 0xDC00))));
            break;
        case 4:
            text.append(QChar(char16_t(random.bounded(0xDC00, 0xE000))));
            break;
        default: {
            const char32_t ucs4 = random.bounded(0x10000, 0x110000);
            text.append(QString::fromUcs4(&ucs4, 1));
        }
        }
    }
    return text;
}

QByteArray randomBytes(QRandomGenerator &random, qsizetype length)
{
    QByteArray bytes(length, Qt::Uninitialized);
    for (char &b : bytes)
        b = char(random.bounded(256));
    return bytes;
}

// What an endpoint answers when the provider page was padded with closing tags.
QByteArray pageWithEndMarkersFirst(int count)
{
    return QByteArray("</div>").repeated(count) + "<div>translation</div>tail";
}

double bestSeconds(const std::function<void()> &work)
{
    double best = 1e9;
    for (int run = 0; run < 7; ++run) {
        QElapsedTimer timer;
        timer.start();
        work();
        best = std::min(best, timer.nsecsElapsed() / 1e9);
    }
    return best;
}

} // namespace

class TestTextHelpers : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void htmlToText_data();
    void htmlToText();
    void encodeForUrl_data();
    void encodeForUrl();
    void urlEncodeKeepsOnlyLettersDigitsUnderscore();
    void textBetween_data();
    void textBetween();
    void textBetweenLetsWaitingEventsRun();
    void textBetweenIsLinearInEndMarkersBeforeStart();
    void utf8Decode_data();
    void utf8Decode();
    void roundTrip_data();
    void roundTrip();
    void agreesWithQtOnWellFormedText();
    void megabyteInputs();

private:
    QList<platform::MessageBoxRequest> shown;
};

void TestTextHelpers::init()
{
    shown.clear();
    platform::setMessageBoxPresenter([this](const platform::MessageBoxRequest &request) {
        shown.append(request);
        return int(platform::vbOK);
    });
}

void TestTextHelpers::cleanup()
{
    platform::setMessageBoxPresenter({});
}

void TestTextHelpers::htmlToText_data()
{
    QTest::addColumn<QString>("html");
    QTest::addColumn<QString>("text");

    QTest::newRow("paragraphs") << QStringLiteral("<p>Hello&nbsp;world</p>\r\n<p>Bye</p>")
                                << QStringLiteral("Hello world\r\nBye\r\n");
    QTest::newRow("only exact break tags")
        << QStringLiteral("x<BR>y<Br>z") << QStringLiteral("x") + Crlf + QStringLiteral("yz");
    QTest::newRow("other break spellings vanish")
        << QStringLiteral("a<br/>b<br />c<p>d</P>") << QStringLiteral("abcd") + Crlf;
    QTest::newRow("lone greater-than") << QStringLiteral("a > b") << QStringLiteral("a > b");
    QTest::newRow("unclosed tag drops the rest") << QStringLiteral("a < b") << QStringLiteral("a ");
    QTest::newRow("greater-than after a tag")
        << QStringLiteral("<i>a</i>>b") << QStringLiteral("a>b");
    QTest::newRow("references kept") << QStringLiteral("Tom &amp; Jerry &lt;&#160;&quot;")
                                     << QStringLiteral("Tom &amp; Jerry &lt;&#160;&quot;");
    QTest::newRow("upper-case nbsp") << QStringLiteral("a&NBSP;b") << QStringLiteral("a b");
    QTest::newRow("mixed-case nbsp kept")
        << QStringLiteral("a&Nbsp;b") << QStringLiteral("a&Nbsp;b");
    QTest::newRow("nbsp joined by stripping")
        << QStringLiteral("a&nb<i>sp;b") << QStringLiteral("a b");
    QTest::newRow("nbsp not rescanned")
        << QStringLiteral("&nbsp;nbsp;&&nbsp;;") << QStringLiteral(" nbsp;& ;");
    QTest::newRow("empty editor document")
        << QStringLiteral("<html><head><style type=\"text/css\"><!-- p {padding: 0px; margin: "
                          "0px;} --></style></head><body></body></html>")
        << QString();
    QTest::newRow("comment cut at its greater-than")
        << QStringLiteral("<!-- a > b -->c") << QStringLiteral(" b -->c");
    QTest::newRow("lone CR and LF stay")
        << QStringLiteral("a\rb\nc\n\r") << QStringLiteral("a\rb\nc\n\r");
    QTest::newRow("CR LF removal not rescanned")
        << QStringLiteral("a\r\r\n\nb") << QStringLiteral("a\r\nb");
    QTest::newRow("tag split by CR LF")
        << QStringLiteral("a<b\r\nr>b<i\r\n>c") << QStringLiteral("a\r\nbc");
    QTest::newRow("break tag inside a tag")
        << QStringLiteral("<a title=<br>x>y") << QStringLiteral("y");
    QTest::newRow("empty") << QString() << QString();
}

void TestTextHelpers::htmlToText()
{
    QFETCH(QString, html);
    QFETCH(QString, text);
    QCOMPARE(HtmlToText(html), text);
}

void TestTextHelpers::encodeForUrl_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("encoded");

    QTest::newRow("space and minus") << QStringLiteral("a b_c-1") << QStringLiteral("a%20b_c%2D1");
    QTest::newRow("punctuation") << QStringLiteral("Hello, World!")
                                 << QStringLiteral("Hello%2C%20World%21");
    QTest::newRow("marks URLs often keep")
        << QStringLiteral(".~*+/") << QStringLiteral("%2E%7E%2A%2B%2F");
    QTest::newRow("e acute") << QStringLiteral("é") << QStringLiteral("%C3%A9");
    QTest::newRow("euro") << QStringLiteral("€") << QStringLiteral("%E2%82%AC");
    QTest::newRow("CR LF") << Crlf << QStringLiteral("%0D%0A");
    QTest::newRow("pair as two halves")
        << QString::fromUtf8("\xF0\x9F\x98\x80") << QStringLiteral("%ED%A0%BD%ED%B8%80");
    QTest::newRow("lone low half") << units({0xDC00}) << QStringLiteral("%ED%B0%80");
    QTest::newRow("length boundaries") << units({0x0000, 0x007F, 0x0080, 0x07FF, 0x0800, 0xFFFF})
                                       << QStringLiteral("%00%7F%C2%80%DF%BF%E0%A0%80%EF%BF%BF");
    QTest::newRow("empty") << QString() << QString();
}

void TestTextHelpers::encodeForUrl()
{
    QFETCH(QString, text);
    QFETCH(QString, encoded);
    QCOMPARE(UrlEncode(Utf8Encode(text)), encoded);
}

void TestTextHelpers::urlEncodeKeepsOnlyLettersDigitsUnderscore()
{
    QByteArray everyByte(256, Qt::Uninitialized);
    for (int b = 0; b < 256; ++b)
        everyByte[b] = char(b);
    const QString encoded = UrlEncode(everyByte);
    QCOMPARE(encoded, QString::fromLatin1(everyByte.toPercentEncoding({}, "-.~")));
    QCOMPARE(encoded.size(), 63 + 3 * (256 - 63));
}

void TestTextHelpers::textBetween_data()
{
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QByteArray>("start");
    QTest::addColumn<QByteArray>("end");
    QTest::addColumn<QByteArray>("between");

    QTest::newRow("framed") << QByteArray("xx[b]hi[/b]yy") << QByteArray("[b]")
                            << QByteArray("[/b]") << QByteArray("hi");
    QTest::newRow("end marker before start passed over")
        << QByteArray("[/b]x[b]hi[/b]") << QByteArray("[b]") << QByteArray("[/b]")
        << QByteArray("hi");
    QTest::newRow("adjacent markers")
        << QByteArray("[b][/b]") << QByteArray("[b]") << QByteArray("[/b]") << QByteArray();
    QTest::newRow("no start marker")
        << QByteArray("xx hi[/b]") << QByteArray("[b]") << QByteArray("[/b]") << QByteArray();
    QTest::newRow("no end marker after start")
        << QByteArray("[/b]x[b]hi") << QByteArray("[b]") << QByteArray("[/b]") << QByteArray();
    QTest::newRow("first start marker counts")
        << QByteArray("[b]one[/b][b]two[/b]") << QByteArray("[b]") << QByteArray("[/b]")
        << QByteArray("one");
    QTest::newRow("case-sensitive") << QByteArray("<B>x</B><b>y</b>") << QByteArray("<b>")
                                    << QByteArray("</b>") << QByteArray("y");
    QTest::newRow("same marker both sides")
        << QByteArray("|x|y|") << QByteArray("|") << QByteArray("|") << QByteArray("x");
    QTest::newRow("bytes kept as they are")
        << QByteArray("<r>H\xC3\xA9\x00!</r>", 12) << QByteArray("<r>") << QByteArray("</r>")
        << QByteArray("H\xC3\xA9\x00!", 5);
    QTest::newRow("end marker inside start marker")
        << QByteArray("abcXbc") << QByteArray("abc") << QByteArray("bc") << QByteArray();
    QTest::newRow("end marker at start marker's tail")
        << QByteArray("<<x<") << QByteArray("<<") << QByteArray("<") << QByteArray();
    QTest::newRow("empty start marker")
        << QByteArray("a[/b]") << QByteArray() << QByteArray("[/b]") << QByteArray();
    QTest::newRow("empty end marker")
        << QByteArray("[b]a") << QByteArray("[b]") << QByteArray() << QByteArray();
    QTest::newRow("empty source") << QByteArray() << QByteArray("[b]") << QByteArray("[/b]")
                                  << QByteArray();
}

void TestTextHelpers::textBetween()
{
    QFETCH(QByteArray, source);
    QFETCH(QByteArray, start);
    QFETCH(QByteArray, end);
    QFETCH(QByteArray, between);
    QCOMPARE(TextBetween(source, start, end), between);
}

void TestTextHelpers::textBetweenLetsWaitingEventsRun()
{
    bool ran = false;
    QTimer::singleShot(0, this, [&ran] { ran = true; });
    QCOMPARE(TextBetween("[b]hi[/b]", "[b]", "[/b]"), QByteArray("hi"));
    QVERIFY(ran);
}

void TestTextHelpers::textBetweenIsLinearInEndMarkersBeforeStart()
{
    const QByteArray page = pageWithEndMarkersFirst(100'000);
    const QByteArray bigPage = pageWithEndMarkersFirst(400'000);

    // Pump passes stand for search steps: more skipped end markers must not mean more steps.
    int passes = 0;
    const auto counter = connect(QAbstractEventDispatcher::instance(),
                                 &QAbstractEventDispatcher::awake, this, [&passes] { ++passes; });
    QCOMPARE(TextBetween(page, "<div>", "</div>"), QByteArray("translation"));
    const int pagePasses = passes;
    passes = 0;
    QCOMPARE(TextBetween(bigPage, "<div>", "</div>"), QByteArray("translation"));
    disconnect(counter);
    QVERIFY(pagePasses > 0);
    QCOMPARE(passes, pagePasses);

    // Four times the markers: about four times the time; quadratic work would be sixteen.
    const double small = bestSeconds([&] { TextBetween(page, "<div>", "</div>"); });
    const double big = bestSeconds([&] { TextBetween(bigPage, "<div>", "</div>"); });
    QVERIFY2(big < 10 * small,
             qPrintable(QStringLiteral("%1 s for n, %2 s for 4n").arg(small).arg(big)));
}

void TestTextHelpers::utf8Decode_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("messages");

    QTest::newRow("two-byte") << QByteArray::fromHex("48C3A9") << QStringLiteral("Hé") << 0;
    QTest::newRow("three-byte") << QByteArray::fromHex("E282AC") << QStringLiteral("€") << 0;
    QTest::newRow("four-byte gives a pair")
        << QByteArray::fromHex("F09F9880") << units({0xD83D, 0xDE00}) << 0;
    QTest::newRow("halves encoded apart")
        << QByteArray::fromHex("EDA0BDEDB880") << units({0xD83D, 0xDE00}) << 0;
    QTest::newRow("lone half") << QByteArray::fromHex("EDB080") << units({0xDC00}) << 0;
    QTest::newRow("stray continuation")
        << QByteArray::fromHex("418042") << QStringLiteral("A") + Replacement + u'B' << 0;
    QTest::newRow("cut off by the end")
        << QByteArray::fromHex("41E282") << QStringLiteral("A") + Replacement << 0;
    QTest::newRow("lead byte last") << QByteArray::fromHex("F0") << QString(Replacement) << 0;
    QTest::newRow("continuation not checked")
        << QByteArray::fromHex("C34142") << units({0x81, u'B'}) << 0;
    QTest::newRow("negative value")
        << QByteArray::fromHex("C00041") << QString(Replacement) + u'A' << 0;
    QTest::newRow("beyond Unicode") << QByteArray::fromHex("F4908080") << QString(Replacement) << 0;
    QTest::newRow("four-byte with a bad continuation")
        << QByteArray::fromHex("F2418080") << QString(Replacement) << 0;
    QTest::newRow("five-byte small value")
        << QByteArray::fromHex("F880808181") << QStringLiteral("A") << 0;
    QTest::newRow("six-byte large value")
        << QByteArray::fromHex("FC8480808080") << QString(Replacement) << 0;
    QTest::newRow("FE warns and goes on")
        << QByteArray::fromHex("41FE42") << QStringLiteral("A") + Replacement + u'B' << 1;
    QTest::newRow("each FE and FF warns")
        << QByteArray::fromHex("FFFE41FF") << QString(Replacement).repeated(2) + u'A' + Replacement
        << 3;
    QTest::newRow("FE as a continuation byte")
        << QByteArray::fromHex("E2FE80") << units({0x3F80}) << 0;
    QTest::newRow("empty") << QByteArray() << QString() << 0;
}

void TestTextHelpers::utf8Decode()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QFETCH(int, messages);
    QCOMPARE(Utf8Decode(bytes), text);
    QCOMPARE(shown.size(), messages);
    for (const platform::MessageBoxRequest &box : std::as_const(shown)) {
        QCOMPARE(box.prompt, QStringLiteral("something Is wrong!"));
        QCOMPARE(box.style, int(platform::vbOKOnly));
        QCOMPARE(box.title, platform::AppTitle());
    }
}

void TestTextHelpers::roundTrip_data()
{
    QTest::addColumn<quint32>("seed");
    for (quint32 seed = 1; seed <= 8; ++seed)
        QTest::addRow("seed %u", seed) << seed;
}

void TestTextHelpers::roundTrip()
{
    QFETCH(quint32, seed);
    QRandomGenerator random(seed);
    for (int round = 0; round < 50; ++round) {
        const QString text = randomText(random, random.bounded(1, 600), true);
        QCOMPARE(Utf8Decode(Utf8Encode(text)), text);
    }
    QVERIFY(shown.isEmpty());
}

void TestTextHelpers::agreesWithQtOnWellFormedText()
{
    QRandomGenerator random(42);
    for (int round = 0; round < 200; ++round) {
        const QString bmp = randomText(random, random.bounded(1, 300), false);
        QCOMPARE(Utf8Encode(bmp), bmp.toUtf8());

        QString text = randomText(random, random.bounded(1, 300), true);
        // Qt cannot encode a lone half; keep only whole pairs.
        text = QString::fromUtf8(text.toUtf8());
        QCOMPARE(Utf8Decode(text.toUtf8()), text);

        const QByteArray bytes = randomBytes(random, random.bounded(1, 300));
        QCOMPARE(UrlEncode(bytes), QString::fromLatin1(bytes.toPercentEncoding({}, "-.~")));
    }
}

void TestTextHelpers::megabyteInputs()
{
    constexpr qsizetype Megabyte = 1 << 20;
    QRandomGenerator random(7);

    const QString fragment = QStringLiteral("<p>Gr&uuml;&szlig;e&nbsp;<b>aus</b> Köln</p>\r\n");
    const int copies = int(Megabyte / fragment.size()) + 1;
    QCOMPARE(HtmlToText(fragment.repeated(copies)),
             QStringLiteral("Gr&uuml;&szlig;e aus Köln\r\n").repeated(copies));

    const QString text = randomText(random, Megabyte, true);
    const QByteArray utf8 = Utf8Encode(text);
    QVERIFY(utf8.size() > Megabyte);
    QCOMPARE(Utf8Decode(utf8), text);

    const QByteArray bytes = randomBytes(random, Megabyte);
    QCOMPARE(UrlEncode(bytes), QString::fromLatin1(bytes.toPercentEncoding({}, "-.~")));

    const QByteArray middle = QByteArray("0123456789abcdef").repeated(Megabyte / 16);
    QCOMPARE(TextBetween(bytes.left(Megabyte / 2) + "<<start>>" + middle + "<<end>>" + bytes,
                         "<<start>>", "<<end>>"),
             middle);
    QVERIFY(shown.isEmpty());
}

QTEST_MAIN(TestTextHelpers)
#include "tst_texthelpers.moc"
