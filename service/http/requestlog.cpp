#include "http/requestlog.h"

#include <QDateTime>

#include <cstdio>

namespace {

QByteArray printable(QByteArray text)
{
    for (char &c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F)
            c = '?';
    }
    return text.isEmpty() ? QByteArrayLiteral("-") : text;
}

} // namespace

QByteArray pathForLog(const QByteArray &target)
{
    const qsizetype question = target.indexOf('?');
    return printable((question < 0 ? target : target.left(question)).left(2048));
}

void logRequest(const QByteArray &method, const QByteArray &path, int status, qint64 milliseconds)
{
    const QByteArray time = QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toLatin1();
    std::fprintf(stderr, "%s %s %s %d %lldms\n", time.constData(),
                 printable(method.left(16)).constData(), pathForLog(path).constData(), status,
                 static_cast<long long>(milliseconds));
    std::fflush(stderr);
}
