#pragma once

#include "engine/engine.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QHash>
#include <QQueue>

class QProcess;
class QTimer;

// Apertium kept running: one engine per mode, started with the service, fed one text at a time in
// null-flush mode (each text ends in a NUL, and so does its translation), with the other requests
// queued behind it. A request's deadline counts from its arrival: one that passes it is answered
// then, waiting or not. An engine that fails, ends or works on one text for longer than the
// time-out is ended, and the next request starts a fresh one.
//
// Where the mode's file lies beside the program (PREFIX/share/apertium/modes, or
// $APERTIUM_DATADIR/modes), its pipeline is run directly with every stage in null-flush mode: the
// apertium script's own text deformatter reads its whole input before it writes anything, so
// "apertium -z" answers nothing until its input ends. Any other program is run as
// "PROGRAM -z -u MODE" and must answer in the same way.
class WarmEngine : public TranslationEngine
{
    Q_OBJECT
    Q_DISABLE_COPY(WarmEngine)

public:
    WarmEngine(const QString &program, int timeoutSeconds, int perClient,
               QObject *parent = nullptr);
    ~WarmEngine() override;

    QStringList installedModes() override;
    void translate(const QString &mode, const QString &text, const QHostAddress &client,
                   Done done) override;
    // Starts the engines of these modes now, so that the first request finds them loaded.
    void warmUp(const QStringList &modes);

    // Apertium's stream format for plain text, as its txt deformatter and reformatter write and
    // read it. Public for the tests of the round trip.
    static QByteArray deformat(const QString &text);
    static QString reformat(const QByteArray &stream);

private:
    class Pair;
    Pair *pair(const QString &mode);

    QString m_program;
    int m_timeoutSeconds;
    int m_perClient;
    QHash<QString, Pair *> m_pairs;
};
