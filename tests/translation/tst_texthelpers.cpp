#include "platform/identity.h"
#include "platform/messagebox.h"
#include "translation/modtranslate.h"

#include <QAbstractEventDispatcher>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <numeric>
#include <string_view>
#include <utility>

using namespace modTranslate;
using namespace std::literals;

namespace {

QString text16(std::u16string_view units)
{
    return QString::fromUtf16(units.data(), qsizetype(units.size()));
}

struct HtmlRow
{
    const char *name;
    std::u16string_view html, text;
};
const HtmlRow HtmlRows[] = {
    {"paragraphs", u"<p>Hello&nbsp;world</p>\r\n<p>Bye</p>", u"Hello world\r\nBye\r\n"},
    {"only exact break tags", u"x<BR>y<Br>z", u"x\r\nyz"},
    {"other break spellings vanish", u"a<br/>b<br />c<p>d</P>", u"abcd\r\n"},
    {"lone greater-than", u"a > b", u"a > b"},
    {"unclosed tag drops the rest", u"a < b", u"a "},
    {"greater-than after a tag", u"<i>a</i>>b", u"a>b"},
    {"references kept", u"Tom &amp; Jerry &lt;&#160;", u"Tom &amp; Jerry &lt;&#160;"},
    {"upper-case nbsp", u"a&NBSP;b&Nbsp;c", u"a b&Nbsp;c"},
    {"nbsp joined by stripping", u"a&nb<i>sp;b", u"a b"},
    {"nbsp not rescanned", u"&nbsp;nbsp;&&nbsp;;", u" nbsp;& ;"},
    {"empty editor document",
     u"<html><head><style type=\"text/css\"><!-- p {padding: 0px; margin: 0px;} --></style>"
     u"</head><body></body></html>",
     u""},
    {"comment cut at its greater-than", u"<!-- a > b -->c", u" b -->c"},
    {"lone CR and LF stay", u"a\rb\nc\n\r", u"a\rb\nc\n\r"},
    {"CR LF removal not rescanned", u"a\r\r\n\nb", u"a\r\nb"},
    {"tag split by CR LF", u"a<b\r\nr>b<i\r\n>c", u"a\r\nbc"},
    {"break tag inside a tag", u"<a title=<br>x>y", u"y"},
    {"empty", u"", u""},
};

struct EncodeRow
{
    const char *name;
    std::u16string_view text;
    const char *encoded;
};
const EncodeRow EncodeRows[] = {
    {"space and minus", u"a b_c-1", "a%20b_c%2D1"},
    {"punctuation", u"Hello, World!", "Hello%2C%20World%21"},
    {"marks URLs often keep", u".~*+/", "%2E%7E%2A%2B%2F"},
    {"e acute", u"é", "%C3%A9"},
    {"euro", u"€", "%E2%82%AC"},
    {"CR LF", u"\r\n", "%0D%0A"},
    {"pair as two halves", u"\U0001F600", "%ED%A0%BD%ED%B8%80"},
    {"lone low half", u"\xDC00", "%ED%B0%80"},
    {"length boundaries", u"\0\x7F\x80\x7FF\x800\xFFFF"sv, "%00%7F%C2%80%DF%BF%E0%A0%80%EF%BF%BF"},
    {"empty", u"", ""},
};

struct BetweenRow
{
    const char *name, *source, *start, *end, *between;
};
const BetweenRow BetweenRows[] = {
    {"framed", "xx[b]hi[/b]yy", "[b]", "[/b]", "hi"},
    {"end marker before start passed over", "[/b]x[b]hi[/b]", "[b]", "[/b]", "hi"},
    {"adjacent markers", "[b][/b]", "[b]", "[/b]", ""},
    {"no start marker", "xx hi[/b]", "[b]", "[/b]", ""},
    {"no end marker after start", "[/b]x[b]hi", "[b]", "[/b]", ""},
    {"first start marker counts", "[b]one[/b][b]two[/b]", "[b]", "[/b]", "one"},
    {"case-sensitive", "<B>x</B><b>y</b>", "<b>", "</b>", "y"},
    {"same marker both sides", "|x|y|", "|", "|", "x"},
    {"end marker inside start marker", "abcXbc", "abc", "bc", ""},
    {"empty start marker", "a[/b]", "", "[/b]", ""},
    {"empty end marker", "[b]a", "[b]", "", ""},
    {"empty source", "", "[b]", "[/b]", ""},
};

struct DecodeRow
{
    const char *name, *hex;
    std::u16string_view text;
    int messages;
};
const DecodeRow DecodeRows[] = {
    {"two-byte", "48C3A9", u"Hé", 0},
    {"three-byte", "E282AC", u"€", 0},
    {"four-byte gives a pair", "F09F9880", u"\U0001F600", 0},
    {"halves encoded apart", "EDA0BDEDB880", u"\U0001F600", 0},
    {"lone half", "EDB080", u"\xDC00", 0},
    {"stray continuation", "418042", u"A\uFFFDB", 0},
    {"cut off by the end", "41E282", u"A\uFFFD", 0},
    {"continuation not checked", "C34142", u"\u0081B", 0},
    {"negative value", "C00041", u"\uFFFDA", 0},
    {"beyond Unicode", "F4908080", u"\uFFFD", 0},
    {"four-byte with a bad continuation", "F2418080", u"\uFFFD", 0},
    {"five-byte small value", "F880808181", u"A", 0},
    {"FE warns and goes on", "41FE42", u"A\uFFFDB", 1},
    {"each FE and FF warns", "FFFE41FF", u"\uFFFD\uFFFDA\uFFFD", 3},
    {"FE as a continuation byte", "E2FE80", u"\u3F80", 0},
    {"empty", "", u"", 0},
};

// Every encoding length, whole pairs and lone halves of either kind.
QString randomText(QRandomGenerator &random, qsizetype length)
{
    static constexpr std::pair<quint32, quint32> Ranges[] = {
        {0, 0x80}, {0x80, 0x800}, {0x800, 0x10000}, {0xD800, 0xE000}, {0x10000, 0x110000}};
    QString text;
    while (text.size() < length) {
        const auto [lowest, highest] = Ranges[random.bounded(int(std::size(Ranges)))];
        const char32_t c = random.bounded(lowest, highest);
        text += c > 0xFFFF ? QString::fromUcs4(&c, 1) : QString(QChar(char16_t(c)));
    }
    return text;
}

QString percentEncodedByQt(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toPercentEncoding({}, "-.~"));
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
    void randomTexts_data();
    void randomTexts();
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
    for (const HtmlRow &row : HtmlRows)
        QTest::newRow(row.name) << text16(row.html) << text16(row.text);
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
    for (const EncodeRow &row : EncodeRows)
        QTest::newRow(row.name) << text16(row.text) << QString::fromLatin1(row.encoded);
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
    std::iota(everyByte.begin(), everyByte.end(), char(0));
    const QString encoded = UrlEncode(everyByte);
    QCOMPARE(encoded, percentEncodedByQt(everyByte));
    QCOMPARE(encoded.size(), 63 + 3 * (256 - 63));
}

void TestTextHelpers::textBetween_data()
{
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QByteArray>("start");
    QTest::addColumn<QByteArray>("end");
    QTest::addColumn<QByteArray>("between");
    for (const BetweenRow &row : BetweenRows)
        QTest::newRow(row.name) << QByteArray(row.source) << QByteArray(row.start)
                                << QByteArray(row.end) << QByteArray(row.between);
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
    const auto page = [](int endMarkers) {
        return QByteArray("</div>").repeated(endMarkers) + "<div>translation</div>tail";
    };
    const QByteArray small = page(100'000);
    const QByteArray large = page(400'000);

    // Pump passes stand for search steps: skipped end markers must not add any.
    int passes = 0;
    const auto counter = connect(QAbstractEventDispatcher::instance(),
                                 &QAbstractEventDispatcher::awake, this, [&passes] { ++passes; });
    QCOMPARE(TextBetween(small, "<div>", "</div>"), QByteArray("translation"));
    const int smallPasses = std::exchange(passes, 0);
    QCOMPARE(TextBetween(large, "<div>", "</div>"), QByteArray("translation"));
    disconnect(counter);
    QCOMPARE(passes, smallPasses);

    // Four times the markers should take about four times as long; quadratic work takes 16.
    const double smallTime = bestSeconds([&] { TextBetween(small, "<div>", "</div>"); });
    const double largeTime = bestSeconds([&] { TextBetween(large, "<div>", "</div>"); });
    QVERIFY2(largeTime < 10 * smallTime,
             qPrintable(QStringLiteral("%1 s for n, %2 s for 4n").arg(smallTime).arg(largeTime)));
}

void TestTextHelpers::utf8Decode_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("messages");
    for (const DecodeRow &row : DecodeRows)
        QTest::newRow(row.name) << QByteArray::fromHex(row.hex) << text16(row.text) << row.messages;
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

void TestTextHelpers::randomTexts_data()
{
    QTest::addColumn<quint32>("seed");
    for (quint32 seed = 1; seed <= 8; ++seed)
        QTest::addRow("seed %u", seed) << seed;
}

void TestTextHelpers::randomTexts()
{
    QFETCH(quint32, seed);
    QRandomGenerator random(seed);
    for (int round = 0; round < 50; ++round) {
        const QString text = randomText(random, random.bounded(1, 600));
        QCOMPARE(Utf8Decode(Utf8Encode(text)), text);

        // Where Qt and these helpers agree on what the text is, they must agree on the bytes.
        const QString wholePairs = QString::fromUtf8(text.toUtf8());
        QCOMPARE(Utf8Decode(wholePairs.toUtf8()), wholePairs);
        QString noHalves = text;
        noHalves.removeIf([](QChar c) { return c.isSurrogate(); });
        QCOMPARE(Utf8Encode(noHalves), noHalves.toUtf8());
        QCOMPARE(UrlEncode(text.toUtf8()), percentEncodedByQt(text.toUtf8()));
    }
    QVERIFY(shown.isEmpty());
}

void TestTextHelpers::megabyteInputs()
{
    constexpr qsizetype Megabyte = 1 << 20;
    QRandomGenerator random(7);

    const QString fragment = QStringLiteral("<p>Gr&uuml;&szlig;e&nbsp;<b>aus</b> Köln</p>\r\n");
    const int copies = int(Megabyte / fragment.size()) + 1;
    QCOMPARE(HtmlToText(fragment.repeated(copies)),
             QStringLiteral("Gr&uuml;&szlig;e aus Köln\r\n").repeated(copies));

    const QString text = randomText(random, Megabyte);
    const QByteArray utf8 = Utf8Encode(text);
    QVERIFY(utf8.size() > Megabyte);
    QCOMPARE(Utf8Decode(utf8), text);
    QCOMPARE(UrlEncode(utf8), percentEncodedByQt(utf8));

    const QByteArray middle = QByteArray("0123456789abcdef").repeated(Megabyte / 16);
    QCOMPARE(TextBetween(utf8 + "<<start>>" + middle + "<<end>>" + utf8, "<<start>>", "<<end>>"),
             middle);
    QVERIFY(shown.isEmpty());
}

QTEST_MAIN(TestTextHelpers)
#include "tst_texthelpers.moc"
