#include "platform/dhtmledit.h"

#include <QImage>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>

namespace platform {
namespace {

const QString defaultHead = QStringLiteral("<html><body>");
const QString defaultTail = QStringLiteral("</body></html>");

struct Inline
{
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool operator==(const Inline &) const = default;
};

Inline inlineOf(const QTextCharFormat &format)
{
    // A link's underline is the view's way of showing it, not the writer's formatting.
    return {format.fontWeight() >= QFont::DemiBold, format.fontItalic(),
            format.fontUnderline() && !format.isAnchor()};
}

void open(QString &out, const Inline &style)
{
    if (style.bold)
        out += QLatin1String("<b>");
    if (style.italic)
        out += QLatin1String("<i>");
    if (style.underline)
        out += QLatin1String("<u>");
}

void close(QString &out, const Inline &style)
{
    if (style.underline)
        out += QLatin1String("</u>");
    if (style.italic)
        out += QLatin1String("</i>");
    if (style.bold)
        out += QLatin1String("</b>");
}

void appendText(QString &out, QStringView text)
{
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'&':
            out += QLatin1String("&amp;");
            break;
        case u'<':
            out += QLatin1String("&lt;");
            break;
        case u'>':
            out += QLatin1String("&gt;");
            break;
        case 0x00A0:
            out += QLatin1String("&nbsp;");
            break;
        case QChar::LineSeparator:
            out += QLatin1String("<br>");
            break;
        case QChar::ObjectReplacementCharacter: // an image has no text
            break;
        default:
            out += c;
        }
    }
}

QString bodyOf(const QTextDocument &document)
{
    QString out;
    if (document.isEmpty())
        return out;
    // Like the edit control, a line not yet ended with Enter is bare text; Enter makes both
    // lines paragraphs. So a document of spaces alone reads back as spaces alone.
    const bool paragraphs = document.blockCount() > 1;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (paragraphs)
            out += QLatin1String("<p>");
        Inline current;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.isValid())
                continue;
            const Inline style = inlineOf(fragment.charFormat());
            if (!(style == current)) {
                close(out, current);
                open(out, style);
                current = style;
            }
            appendText(out, fragment.text());
        }
        close(out, current);
        if (paragraphs)
            out += QLatin1String("</p>");
    }
    return out;
}

// A browser takes a "<" that cannot open a tag as text, so "<< 1Translation unavailable >>"
// shows as it is; Qt's parser would swallow it up to the next ">".
QString withStrayLessThanEscaped(const QString &html)
{
    QString out;
    out.reserve(html.size());
    for (qsizetype i = 0; i < html.size(); ++i) {
        const QChar next = i + 1 < html.size() ? html.at(i + 1) : QChar();
        const bool opensMarkup = (next.unicode() < 128 && next.isLetter()) ||
                                 next == QLatin1Char('/') || next == QLatin1Char('!') ||
                                 next == QLatin1Char('?');
        if (html.at(i) == QLatin1Char('<') && !opensMarkup)
            out += QLatin1String("&lt;");
        else
            out += html.at(i);
    }
    return out;
}

} // namespace

DHTMLEdit::DHTMLEdit(QWidget *parent) : QTextEdit(parent), head(defaultHead), tail(defaultTail)
{
    setAcceptRichText(true);
    setTabChangesFocus(true);
}

void DHTMLEdit::setDocumentHTML(const QString &html)
{
    const qsizetype bodyStart = html.indexOf(QLatin1String("<body"), 0, Qt::CaseInsensitive);
    const qsizetype headEnd = bodyStart < 0 ? -1 : html.indexOf(QLatin1Char('>'), bodyStart);
    if (headEnd < 0) {
        head = defaultHead;
        tail = defaultTail;
    } else {
        head = html.left(headEnd + 1);
        const qsizetype bodyEnd =
            html.lastIndexOf(QLatin1String("</body"), -1, Qt::CaseInsensitive);
        tail = bodyEnd > headEnd ? html.mid(bodyEnd) : defaultTail;
    }
    setHtml(withStrayLessThanEscaped(html));
}

QVariant DHTMLEdit::loadResource(int type, const QUrl &)
{
    // Given nothing, the document would read a picture's file itself: it gets a blank one.
    static const QImage blank = [] {
        QImage image(1, 1, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        return image;
    }();
    return type == QTextDocument::ImageResource ? QVariant(blank) : QVariant(QByteArray());
}

QString DHTMLEdit::DocumentHTML() const
{
    return head + bodyOf(*document()) + tail;
}

} // namespace platform
