#pragma once

#include "support/fakeapertium.h"
#include "support/testmain.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <memory>

// Requests as Lexorn sends them, and the real lexorn-service they go to.

inline QByteArray get(const QByteArray &target, const QByteArray &headers = "Host: a\r\n")
{
    return "GET " + target + " HTTP/1.1\r\n" + headers + "\r\n";
}

inline QByteArray post(const QByteArray &form, const QByteArray &path = "/lexorn/banner.php")
{
    const QByteArray length = QByteArray::number(form.size());
    return "POST " + path + " HTTP/1.1\r\nHost: a\r\nContent-Length: " + length + "\r\n\r\n" + form;
}

// A sign-in as the program sends it, its query padded to `length` bytes.
inline QByteArray signIn(const QByteArray &user, const QByteArray &password, qsizetype length = 0)
{
    return "/lexorn/settings.php?" +
           ("username=" + user + "&password=" + password + "&pad=").leftJustified(length, 'a');
}

// The text filled in as the program fills the demo template: UTF-8, percent-encoded.
inline QByteArray translate(const QString &text, const QByteArray &pair = "src=en&dest=es")
{
    return get("/lexorn/translate.php?" + pair + "&text=" + QUrl::toPercentEncoding(text));
}

// In every password sent, to show up in no answer, log or file.
inline const QByteArray Secret = "Quokka";

// Bytes sent as they are to 127.0.0.1:port (from a chosen address), the answer left to come.
inline std::unique_ptr<QTcpSocket> sendRaw(quint16 port, const QByteArray &request,
                                           const QString &from = {})
{
    auto socket = std::make_unique<QTcpSocket>();
    if (!from.isEmpty())
        socket->bind(QHostAddress(from));
    socket->connectToHost("127.0.0.1", port);
    socket->write(request);
    socket->waitForBytesWritten();
    return socket;
}

// Bytes sent as they are; what comes back until the server closes, the answer is as long as it
// announced, or 10 s pass without a byte.
inline QByteArray rawHttp(quint16 port, const QByteArray &request, const QString &from = {})
{
    static const QRegularExpression head(
        "(?i)^(?:[^\r]+\r\n)+?content-length: *(\\d+)\r\n(?:[^\r]+\r\n)*\r\n");
    const auto socket = sendRaw(port, request, from);
    QByteArray answer;
    while (socket->waitForReadyRead(10000)) {
        answer += socket->readAll();
        const auto m = head.match(QString::fromLatin1(answer));
        if (m.hasMatch() && answer.size() - m.capturedEnd() >= m.captured(1).toInt())
            break;
    }
    return answer;
}

// The real service on a free loopback port, its configuration (and an SQLite database) in a
// folder of its own; stopped when this goes away.
struct Service
{
    QTemporaryDir dir;
    const QString config = dir.filePath("service.ini");
    QProcess process;
    QByteArray written, output; // output: of the last command run
    quint16 port = 0;
    QByteArray base; // http://127.0.0.1:port

    // Its configuration: the demo one with `added` after it, where a later key wins.
    explicit Service(const QString &added)
    {
        QFile demo(LEXORN_SOURCE_DIR "/service/demo.ini"), file(config);
        QVERIFY(demo.open(QIODevice::ReadOnly) && file.open(QIODevice::WriteOnly) &&
                file.write(demo.readAll() + '\n' + added.toUtf8()) > 0);
    }
    ~Service() { stop(); }
    void stop() { process.terminate(), process.waitForFinished(5000); }
    QByteArray log() { return written += process.readAllStandardError(); } // all it wrote so far
    auto settings(QByteArray u, QByteArray p) const { return rawHttp(port, get(signIn(u, p))); }

    // Waits until it listens; false when it does not.
    bool start()
    {
        QFile file(dir.filePath("port"));
        process.start(LEXORN_SERVICE_BIN,
                      {"--config", config, "--port", "0", "--port-file", file.fileName()});
        while (!file.exists() && process.state() != QProcess::NotRunning)
            process.waitForFinished(50);
        port = file.open(QIODevice::ReadOnly) ? quint16(file.readAll().trimmed().toUInt()) : 0;
        base = "http://127.0.0.1:" + QByteArray::number(port);
        return port != 0;
    }

    // An administrative command, waited for; *output gets its standard output and error.
    int run(const QStringList &arguments, const QByteArray &input = {})
    {
        QProcess command;
        command.setProcessChannelMode(QProcess::MergedChannels);
        command.start(LEXORN_SERVICE_BIN, QStringList{"--config", config} + arguments);
        command.write(input);
        command.closeWriteChannel();
        const bool ended = command.waitForFinished(60000);
        output = command.readAll();
        return ended && command.exitStatus() == QProcess::NormalExit ? command.exitCode() : -1;
    }
};

// The demo configuration with a stand-in for apertium in `folder`. It offers English to Spanish
// (one engine, started with the service) and Spanish to Catalan, and so English to Catalan
// through Spanish, and French to Italian, whose engine never starts. It answers each NUL-ended
// text with the text itself, after a pause, and notes each start in "starts". The texts
// "fault-end", "fault-hang" and "fault-flood" make it fail, "fault-empty" answer nothing, "slow"
// slow, and "fault-catalan" fail in Catalan.
inline QString withEcho(const QTemporaryDir &folder)
{
    const QString program =
        fakeApertium(folder, "eng-spa\\nspa-cat\\nfra-ita\\n",
                     "case $0 in fra-ita) exit 1;; esac\n"
                     "while IFS= read -r -d \"\" t; do sleep 0.05; case $0$t in\n"
                     "*fault-end*|spa-cat*fault-catalan*) exit 3;; *fault-hang*) sleep 60;;\n"
                     "*fault-flood*) head -c 5000000 /dev/zero | tr \"\\0\" a; sleep 60;;\n"
                     "*fault-empty*) t=;; *slow*) sleep 3;; esac; printf \"%s\\0\" \"$t\"; done");
    return "[apertium]\nprogram = " + program +
           "\ntimeout = 5\nmax_engines_per_pair = 1\nwarm = eng-spa\n";
}

// Answers as data: the columns request, status and shows (what a part of the answer says).
inline void row(const char *name, const QByteArray &sent, int status, const QByteArray &shows = {})
{
    QTest::newRow(name) << sent << status << shows;
}

// The current row's request, sent as it is to port: its answer has the row's status, shows what
// the row says and never the Secret.
inline void checkAnswer(quint16 port)
{
    const auto [sent, status, shows] =
        fetch<QByteArray, int, QByteArray>("request", "status", "shows");
    const QByteArray answer = rawHttp(port, sent);
    QCOMPARE(answer.mid(9, 3).toInt(), status);
    QVERIFY2(answer.contains(shows) && !answer.contains(Secret), answer.left(400).constData());
}
