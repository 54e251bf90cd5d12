#include "support/recorders.h"
#include "support/testmain.h"
#include "translation/modtranslate.h"
#include "window/frmtranslatetext.h"

#include <QAbstractEventDispatcher>
#include <QElapsedTimer>
#include <QRandomGenerator>

#include <numeric>

using namespace modTranslate;
using namespace Qt::StringLiterals;

namespace {

// Units of every encoding length, whole pairs and now and then a lone half.
QString randomText(QRandomGenerator &random, qsizetype length)
{
    static constexpr quint32 Limits[] = {0x80, 0x800, 0x10000, 0x110000};
    QString text;
    while (text.size() < length) {
        const char32_t c = random.bounded(Limits[random.bounded(4)]);
        text += c > 0xFFFF ? QString::fromUcs4(&c, 1) : QString(QChar(char16_t(c)));
    }
    return text;
}

QString percentEncodedByQt(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toPercentEncoding({}, "-.~"));
}

} // namespace

class TestTextHelpers : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void htmlToText_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QString>("text");
        dataRow("paragraphs", "<p>Hello&nbsp;world</p>\r\n<p>Bye</p>", "Hello world\r\nBye\r\n");
        dataRow("only exact break tags", "x<BR>y<Br>z", "x\r\nyz");
        dataRow("other break spellings vanish", "a<br/>b<br />c<p>d</P>", "abcd\r\n");
        dataRow("lone greater-than", "a > b", "a > b");
        dataRow("unclosed tag drops the rest", "a < b", "a ");
        dataRow("references kept", "Tom &amp; Jerry &lt;&#160;", "Tom &amp; Jerry &lt;&#160;");
        dataRow("upper-case nbsp", "a&NBSP;b&Nbsp;c", "a b&Nbsp;c");
        dataRow("nbsp joined by stripping", "a&nb<i>sp;b", "a b");
        dataRow("nbsp not rescanned", "&nbsp;nbsp;&&nbsp;;", " nbsp;& ;");
        dataRow("empty editor document", frmTranslateText::EmptyDocument, QString());
        dataRow("comment cut at its greater-than", "<!-- a > b -->c", " b -->c");
        dataRow("lone CR and LF stay", "a\rb\nc\n\r", "a\rb\nc\n\r");
        dataRow("CR LF removal not rescanned", "a\r\r\n\nb", "a\r\nb");
        dataRow("tag split by CR LF", "a<b\r\nr>b<i\r\n>c", "a\r\nbc");
        dataRow("empty", QString(), QString());
    }

    void htmlToText()
    {
        QFETCH(QString, html);
        QFETCH(QString, text);
        QCOMPARE(HtmlToText(html), text);
    }

    void encodeForUrl_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("encoded");
        dataRow("space and minus", "a b_c-1", "a%20b_c%2D1");
        dataRow("punctuation", "Hello, World!", "Hello%2C%20World%21");
        dataRow("e acute", "é", "%C3%A9");
        dataRow("euro", "€", "%E2%82%AC");
        dataRow("CR LF", "\r\n", "%0D%0A");
        dataRow("pair as two halves", "\U0001F600", "%ED%A0%BD%ED%B8%80");
        dataRow("length boundaries", u"\0\x7F\x80\x7FF\x800\xFFFF"_s,
                "%00%7F%C2%80%DF%BF%E0%A0%80%EF%BF%BF");
        dataRow("empty", QString(), QString());
    }

    void encodeForUrl()
    {
        QFETCH(QString, text);
        QFETCH(QString, encoded);
        QCOMPARE(UrlEncode(Utf8Encode(text)), encoded);
    }

    void textBetween_data()
    {
        for (const char *column : {"source", "start", "end", "between"})
            QTest::addColumn<QByteArray>(column);
        dataRow("framed", "xx[b]hi[/b]yy"_ba, "[b]"_ba, "[/b]"_ba, "hi"_ba);
        dataRow("end marker before start passed over", "[/b]x[b]hi[/b]"_ba, "[b]"_ba, "[/b]"_ba,
                "hi"_ba);
        dataRow("adjacent markers", "[b][/b]"_ba, "[b]"_ba, "[/b]"_ba, ""_ba);
        dataRow("no start marker", "xx hi[/b]"_ba, "[b]"_ba, "[/b]"_ba, ""_ba);
        dataRow("no end marker after start", "[/b]x[b]hi"_ba, "[b]"_ba, "[/b]"_ba, ""_ba);
        dataRow("first start marker counts", "[b]one[/b][b]two[/b]"_ba, "[b]"_ba, "[/b]"_ba,
                "one"_ba);
        dataRow("case-sensitive", "<B>x</B><b>y</b>"_ba, "<b>"_ba, "</b>"_ba, "y"_ba);
        dataRow("same marker both sides", "|x|y|"_ba, "|"_ba, "|"_ba, "x"_ba);
        dataRow("end marker inside start marker", "abcXbc"_ba, "abc"_ba, "bc"_ba, ""_ba);
        dataRow("empty start marker", "a[/b]"_ba, ""_ba, "[/b]"_ba, ""_ba);
        dataRow("empty end marker", "[b]a"_ba, "[b]"_ba, ""_ba, ""_ba);
        dataRow("empty source", ""_ba, "[b]"_ba, "[/b]"_ba, ""_ba);
    }

    void textBetween()
    {
        QFETCH(QByteArray, source);
        QFETCH(QByteArray, start);
        QFETCH(QByteArray, end);
        QFETCH(QByteArray, between);
        QCOMPARE(TextBetween(source, start, end), between);
    }

    void utf8Decode_data()
    {
        QTest::addColumn<QByteArray>("hex");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("messages");
        dataRow("two-byte", "48C3A9"_ba, "Hé", 0);
        dataRow("stray continuation", "418042"_ba, "A\uFFFDB", 0);
        dataRow("cut off by the end", "41E282"_ba, "A\uFFFD", 0);
        dataRow("continuation not checked", "C34142"_ba, "\u0081B", 0);
        dataRow("beyond Unicode", "F4908080"_ba, "\uFFFD", 0);
        dataRow("five-byte small value", "F880808181"_ba, "A", 0);
        dataRow("FE warns and goes on", "41FE42"_ba, "A\uFFFDB", 1);
        dataRow("each FE and FF warns", "FFFE41FF"_ba, "\uFFFD\uFFFDA\uFFFD", 3);
        dataRow("FE as a continuation byte", "E2FE80"_ba, "\u3F80", 0);
        dataRow("empty", QByteArray(), QString(), 0);
    }

    void utf8Decode()
    {
        QFETCH(QByteArray, hex);
        QFETCH(QString, text);
        QFETCH(int, messages);
        MessageBoxRecorder boxes;
        QCOMPARE(Utf8Decode(QByteArray::fromHex(hex)), text);
        QCOMPARE(boxes.prompts(), QStringList(messages, u"something Is wrong!"_s));
    }

    void textBetweenIsLinearInEndMarkersBeforeStart()
    {
        const QByteArray small = QByteArray("</div>").repeated(100'000) + "<div>translation</div>";
        const QByteArray large = QByteArray("</div>").repeated(300'000) + small;

        // Pump passes stand for search steps: there are some, and skipped end markers add none.
        int passes = 0;
        const auto counter =
            connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::awake, this,
                    [&passes] { ++passes; });
        QCOMPARE(TextBetween(small, "<div>", "</div>"), "translation"_ba);
        const int smallPasses = std::exchange(passes, 0);
        QVERIFY(smallPasses > 0);
        QCOMPARE(TextBetween(large, "<div>", "</div>"), "translation"_ba);
        disconnect(counter);
        QCOMPARE(passes, smallPasses);

        // Four times the markers should take about four times as long; quadratic work takes 16.
        const auto bestSeconds = [](const QByteArray &source) {
            double best = 1e9;
            for (int run = 0; run < 7; ++run) {
                QElapsedTimer timer;
                timer.start();
                TextBetween(source, "<div>", "</div>");
                best = std::min(best, timer.nsecsElapsed() / 1e9);
            }
            return best;
        };
        const double smallTime = bestSeconds(small), largeTime = bestSeconds(large);
        QVERIFY2(largeTime < 10 * smallTime,
                 qPrintable(u"%1 s for n, %2 s for 4n"_s.arg(smallTime).arg(largeTime)));
    }

    // Random texts of every kind of unit up to 1 MB, and 1 MB pages.
    void randomAndMegabyteInputs()
    {
        MessageBoxRecorder boxes;
        QByteArray everyByte(256, Qt::Uninitialized);
        std::iota(everyByte.begin(), everyByte.end(), char(0));
        QCOMPARE(UrlEncode(everyByte), percentEncodedByQt(everyByte));
        QRandomGenerator random(1);
        for (int round = 0; round <= 400; ++round) {
            const QString text = randomText(random, round < 400 ? random.bounded(1, 600) : 1 << 20);
            QCOMPARE(Utf8Decode(Utf8Encode(text)), text);
            // Where Qt and these helpers agree on what the text is, they must agree on the bytes.
            const QString wholePairs = QString::fromUtf8(text.toUtf8());
            QCOMPARE(Utf8Decode(wholePairs.toUtf8()), wholePairs);
            QString noHalves = text;
            noHalves.removeIf([](QChar c) { return c.isSurrogate(); });
            QCOMPARE(Utf8Encode(noHalves), noHalves.toUtf8());
            QCOMPARE(UrlEncode(text.toUtf8()), percentEncodedByQt(text.toUtf8()));
        }
        QVERIFY(boxes.shown.isEmpty());

        const QString fragment = u"<p>Gr&uuml;&szlig;e&nbsp;<b>aus</b> Köln</p>\r\n"_s;
        const int copies = (1 << 20) / fragment.size() + 1;
        QCOMPARE(HtmlToText(fragment.repeated(copies)),
                 u"Gr&uuml;&szlig;e aus Köln\r\n"_s.repeated(copies));
        const QByteArray page = QByteArray("0123456789abcdef").repeated(1 << 16);
        QCOMPARE(TextBetween(page + "<<start>>" + page + "<<end>>" + page, "<<start>>", "<<end>>"),
                 page);
    }
};

LEXORN_TEST_MAIN(TestTextHelpers)
#include "tst_texthelpers.moc"
