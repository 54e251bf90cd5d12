// The source editor's round trip: a document is set, read back in the engine's dialect and turned
// into the text that gets translated. That text must be what the editor shows, reading twice must
// give the same, and once tidied, setting what was read back must change nothing.
#include "fuzzsupport.h"
#include "platform/dhtmledit.h"
#include "translation/textcodecs.h"

#include <QTextBlock>
#include <QTextDocument>

namespace {

// The head the translation window gives its editors.
const QString Head = QStringLiteral("<html><head><style><!-- p {padding: 0px; margin: 0px;} "
                                    "--></style></head><body>");
const QString Tail = QStringLiteral("</body></html>");

// What the user sees, as the engine should receive it: a non-breaking space as a space, the three
// markup characters as their references, a line break as CR LF, and CR LF after each paragraph
// once there is more than one (a single line reads back bare).
QString shownText(const QTextDocument &document)
{
    QString out;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        out += block.text()
                   .replace(QLatin1Char('&'), QLatin1String("&amp;"))
                   .replace(QLatin1Char('<'), QLatin1String("&lt;"))
                   .replace(QLatin1Char('>'), QLatin1String("&gt;"))
                   .replace(QChar(0x00A0), QLatin1Char(' '))
                   .replace(QChar::LineSeparator, QLatin1String("\r\n"))
                   .remove(QChar::ObjectReplacementCharacter);
        if (document.blockCount() > 1)
            out += QLatin1String("\r\n");
    }
    return document.isEmpty() ? QString() : out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size > 2048)
        return 0;
    const QString body = QString::fromUtf8(fuzz::bytes(data, size));
    // A body tag of its own would move the head; that is the page's business, not the editor's.
    if (body.contains(QLatin1String("body"), Qt::CaseInsensitive))
        return 0;

    static platform::DHTMLEdit *editor = new platform::DHTMLEdit;
    editor->setDocumentHTML(Head + body + Tail);
    const QString read = editor->DocumentHTML();
    FUZZ_CHECK(read == editor->DocumentHTML());
    FUZZ_CHECK(read.startsWith(Head) && read.endsWith(Tail));

    const QString text = modTranslate::HtmlToText(read);
    FUZZ_CHECK(text == shownText(*editor->document()));

    // Setting what was read back may tidy it once (Qt drops empty paragraphs); after that it
    // must stay as it is.
    editor->setDocumentHTML(read);
    const QString tidied = editor->DocumentHTML();
    editor->setDocumentHTML(tidied);
    FUZZ_CHECK(editor->DocumentHTML() == tidied);
    return 0;
}
