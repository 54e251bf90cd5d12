// HtmlToText against the rules written out step by step, one replacement after another.
#include "fuzzsupport.h"
#include "translation/textcodecs.h"

namespace {

QString stepByStep(QString text)
{
    text.replace(QLatin1String("\r\n"), QString());
    for (const char *tag : {"<br>", "<BR>", "</p>", "</P>"})
        text.replace(QLatin1String(tag), QLatin1String("\r\n"));
    QString out;
    bool inTag = false;
    for (const QChar c : std::as_const(text)) {
        if (c == QLatin1Char('<'))
            inTag = true;
        if (!inTag)
            out += c;
        if (c == QLatin1Char('>'))
            inTag = false;
    }
    out.replace(QLatin1String("&nbsp;"), QLatin1String(" "));
    out.replace(QLatin1String("&NBSP;"), QLatin1String(" "));
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // Bytes as units keep the markup characters easy to reach; odd sizes add one wide unit.
    QString html = QString::fromLatin1(fuzz::bytes(data, size));
    if (size % 2 == 1 && size >= 3)
        html += QChar(char16_t(data[0] << 8 | data[1]));
    const QString text = modTranslate::HtmlToText(html);
    FUZZ_CHECK(text == stepByStep(html));
    FUZZ_CHECK(text.size() <= html.size());
    FUZZ_CHECK(!text.contains(QLatin1Char('<')));
    return 0;
}
