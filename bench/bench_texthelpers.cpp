// Throughput of the text helpers beside the nearest thing Qt offers, on a small request-sized
// input and a large page. Figures are MB of input (text counted at two bytes a unit) per second.

#include "platform/messagebox.h"
#include "translation/textcodecs.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTextDocument>
#include <QUrl>

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace modTranslate;

namespace {

volatile qsizetype sink = 0;

const char *const LatinSentences[] = {
    "The quick brown fox jumps over the lazy dog, and then it rests. ",
    "Zwölf Boxkämpfer jagen Viktor quer über den großen Sylter Deich. ",
    "Please translate this sentence before the meeting starts at ten. ",
};
const char *const MixedSentences[] = {
    "Съешь же ещё этих мягких французских булок, да выпей чаю. ",
    "いろはにほへと ちりぬるを わかよたれそ つねならむ。",
    "Ξεσκεπάζω την ψυχοφθόρα βδελυγμία. 😀 ",
    "Fix the bug, then ship it. ",
};

QString textOf(const char *const *sentences, int count, qsizetype units)
{
    QString text;
    for (int i = 0; text.size() < units; i = (i + 1) % count)
        text += QString::fromUtf8(sentences[i]);
    text.truncate(units);
    if (text.back().isHighSurrogate())
        text.back() = u' ';
    return text;
}

QByteArray utf8Of(const char *const *sentences, int count, qsizetype bytes)
{
    QByteArray utf8 = textOf(sentences, count, bytes).toUtf8();
    qsizetype cut = bytes;
    while (cut > 0 && cut < utf8.size() && (static_cast<unsigned char>(utf8[cut]) & 0xC0) == 0x80)
        --cut;
    utf8.truncate(cut);
    return utf8;
}

QString htmlOf(const char *const *sentences, int count, qsizetype units)
{
    QString html;
    for (int i = 0; html.size() < units; i = (i + 1) % count) {
        QString sentence = QString::fromUtf8(sentences[i]);
        sentence.replace(u' ', QStringLiteral("&nbsp;"), Qt::CaseSensitive);
        html += QStringLiteral("<p>") + sentence + QStringLiteral("<b>ok</b><br></p>\r\n");
    }
    html.truncate(units);
    return html;
}

// A provider page with the translation near its end, so both searches cover most of it.
QByteArray pageOf(const char *const *sentences, int count, qsizetype bytes)
{
    const QByteArray line =
        QByteArray("<div class=\"line\">") + QString::fromUtf8(sentences[0]).toUtf8() + "</div>\n";
    QByteArray page = line.repeated(bytes / line.size() * 3 / 4);
    page += "<span id=\"result_box\">";
    page += QString::fromUtf8(sentences[count - 1]).toUtf8();
    page += "</span>";
    while (page.size() < bytes)
        page += line;
    page.truncate(bytes);
    return page;
}

QString stripTags(const QString &html)
{
    QString text;
    text.reserve(html.size());
    bool inTag = false;
    for (const QChar c : html) {
        if (c == u'<')
            inTag = true;
        else if (!inTag)
            text.append(c);
        else if (c == u'>')
            inTag = false;
    }
    return text;
}

// Best of several batches, each long enough for the clock to be trusted.
double megabytesPerSecond(qsizetype inputBytes, const std::function<qsizetype()> &work)
{
    QElapsedTimer timer;
    timer.start();
    sink = sink + work();
    const qint64 once = std::max<qint64>(timer.nsecsElapsed(), 1);
    const qint64 perBatch = std::max<qint64>(1, 30'000'000 / once);
    const int batches = once > 300'000'000 ? 2 : 5;
    double best = 1e30;
    for (int batch = 0; batch < batches; ++batch) {
        timer.restart();
        for (qint64 i = 0; i < perBatch; ++i)
            sink = sink + work();
        best = std::min(best, double(timer.nsecsElapsed()) / perBatch);
    }
    return inputBytes / (1024.0 * 1024.0) / (best / 1e9);
}

struct Comparison
{
    const char *helper;
    const char *reference;
    qsizetype inputBytes;
    std::function<qsizetype()> ours;
    std::function<qsizetype()> theirs;
};

void benchCorpus(const char *corpus, const char *const *sentences, int count, qsizetype size)
{
    const qsizetype units = size / 2;
    const QString text = textOf(sentences, count, units);
    const QByteArray utf8 = utf8Of(sentences, count, size);
    const QString html = htmlOf(sentences, count, units);
    const QByteArray page = pageOf(sentences, count, size);
    const QByteArray start("<span id=\"result_box\">");
    const QByteArray end("</span>");

    const auto htmlToText = [&] { return HtmlToText(html).size(); };
    const auto qtPlainText = [&] {
        QTextDocument document;
        document.setHtml(html);
        return document.toPlainText().size();
    };
    // The same page with every marker before the result an end marker: a search that starts
    // over after each of them is quadratic.
    const QByteArray endsFirst = end.repeated(page.size() / end.size()) + start + "x" + end;
    const auto indexOfBetween = [&](const QByteArray &source) {
        const qsizetype p1 = source.indexOf(start);
        const qsizetype p = source.indexOf(end, p1 + 1);
        return source.mid(p1 + start.size(), p - p1 - start.size()).size();
    };
    const Comparison comparisons[] = {
        {"HtmlToText", "QTextDocument::toPlainText", html.size() * 2, htmlToText, qtPlainText},
        {"HtmlToText", "a loop that only drops tags", html.size() * 2, htmlToText,
         [&] { return stripTags(html).size(); }},
        {"Utf8Encode", "QString::toUtf8", text.size() * 2, [&] { return Utf8Encode(text).size(); },
         [&] { return text.toUtf8().size(); }},
        {"UrlEncode", "QByteArray::toPercentEncoding", utf8.size(),
         [&] { return UrlEncode(utf8).size(); },
         [&] { return utf8.toPercentEncoding({}, "-.~").size(); }},
        {"both", "QUrl::toPercentEncoding", text.size() * 2,
         [&] { return UrlEncode(Utf8Encode(text)).size(); },
         [&] { return QUrl::toPercentEncoding(text, {}, "-.~").size(); }},
        {"TextBetween", "QByteArray::indexOf", page.size(),
         [&] { return TextBetween(page, start, end).size(); },
         [&] { return indexOfBetween(page); }},
        {"TextBetween", "QByteArray::indexOf, end markers first", endsFirst.size(),
         [&] { return TextBetween(endsFirst, start, end).size(); },
         [&] { return indexOfBetween(endsFirst); }},
        {"Utf8Decode", "QString::fromUtf8", utf8.size(), [&] { return Utf8Decode(utf8).size(); },
         [&] { return QString::fromUtf8(utf8).size(); }},
    };
    for (const Comparison &c : comparisons) {
        const double ours = megabytesPerSecond(c.inputBytes, c.ours);
        const double theirs = megabytesPerSecond(c.inputBytes, c.theirs);
        std::printf("%-12s %-6s %6lld KB %10.1f %10.1f %6.2f  %s\n", c.helper, corpus,
                    static_cast<long long>(c.inputBytes / 1024), ours, theirs, ours / theirs,
                    c.reference);
        std::fflush(stdout);
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    platform::setMessageBoxPresenter(
        [](const platform::MessageBoxRequest &) { return int(platform::vbOK); });

    std::printf("%-12s %-6s %9s %10s %10s %6s  %s\n", "helper", "input", "size", "ours MB/s",
                "ref MB/s", "ratio", "compared with");
    for (const qsizetype size : {qsizetype(32) * 1024, qsizetype(1024) * 1024}) {
        benchCorpus("latin", LatinSentences, int(std::size(LatinSentences)), size);
        benchCorpus("mixed", MixedSentences, int(std::size(MixedSentences)), size);
    }
    return sink == -1;
}
