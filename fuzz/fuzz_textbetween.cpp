// TextBetween with fuzzed markers against the search written out as the rules state it: find the
// start marker, then step through the end markers until one begins after it.
#include "fuzzsupport.h"
#include "translation/textcodecs.h"

namespace {

QByteArray stepByStep(const QByteArray &source, const QByteArray &start, const QByteArray &end)
{
    if (start.isEmpty() || end.isEmpty())
        return {};
    const qsizetype p1 = source.indexOf(start);
    if (p1 < 0)
        return {};
    qsizetype p = source.indexOf(end);
    while (p >= 0 && p <= p1)
        p = source.indexOf(end, p + 1);
    const qsizetype from = p1 + start.size();
    if (p < from)
        return {};
    return source.mid(from, p - from);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 2)
        return 0;
    // Two length bytes, the two markers, then the page.
    const qsizetype startLength = qMin<qsizetype>(data[0] % 16, qsizetype(size) - 2);
    const qsizetype endLength = qMin<qsizetype>(data[1] % 16, qsizetype(size) - 2 - startLength);
    const QByteArray rest = fuzz::bytes(data + 2, size - 2);
    const QByteArray start = rest.left(startLength);
    const QByteArray end = rest.mid(startLength, endLength);
    const QByteArray source = rest.mid(startLength + endLength);

    const QByteArray cut = modTranslate::TextBetween(source, start, end);
    FUZZ_CHECK(cut == stepByStep(source, start, end));
    FUZZ_CHECK(cut.isEmpty() || source.contains(start + cut + end));
    return 0;
}
