#pragma once

#include "engine/engine.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QObject>
#include <QString>

class QProcess;
class QTimer;

// One text for an engine, answered once: by the engine, or at its deadline.
struct EngineJob
{
    QString text;
    TranslationEngine::Done done;
    QDeadlineTimer deadline;
};

// One running Apertium engine for one mode, fed one text at a time in null-flush mode: each text
// ends in a NUL, and so does its translation. It answers a small text first, so that it is ready
// only once its dictionaries are loaded. An engine that fails, ends, breaks the protocol or works
// on one text for longer than its time is ended, answers its text as failed and says so once,
// through ended(). A client that stops waiting leaves the engine its text: it may still be sound.
//
// Where the mode's file lies beside the program (PREFIX/share/apertium/modes, or
// $APERTIUM_DATADIR/modes), its pipeline is run directly with every stage in null-flush mode: the
// apertium script's own text deformatter reads its whole input before it writes anything, so
// "apertium -z" answers nothing until its input ends. Any other program is run as
// "PROGRAM -z -u MODE" and must answer in the same way.
class Pipeline : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(Pipeline)

public:
    enum class State { Loading, Idle, Busy, Ended };

    Pipeline(const QString &program, const QString &mode, int timeoutSeconds, int idleSeconds,
             QObject *parent = nullptr);
    ~Pipeline() override;

    // With a first text, the engine is Busy with it while it loads.
    void start(EngineJob first = {});
    // Only when Idle.
    void translate(EngineJob job);
    // Ends the processes at once; ended() is not emitted.
    void stop();

    const QString &mode() const { return m_mode; }
    State state() const { return m_state; }
    bool loaded() const { return m_loaded; }
    int texts() const { return m_texts; } // translated so far
    qint64 idleMilliseconds() const { return m_idle.elapsed(); }
    // Proportional set size of the engine's processes, in bytes: the last measure, or a new one.
    qint64 memory() const { return m_memory; }
    qint64 measureMemory();

    // The folder of the installed modes that belongs to the program, or nothing.
    static QString modesFolder(const QString &program);

Q_SIGNALS:
    void ready();                      // loaded, or done with a text: Idle
    void idleTooLong();                // Idle for the idle time
    void ended(const QString &reason); // gone, by itself or broken

private:
    void read();
    void end(EngineResult::Outcome outcome, const QString &reason);
    void answer(const EngineResult &result);

    QString m_program;
    QString m_mode;
    int m_timeoutSeconds;
    QProcess *m_process;
    QTimer *m_workTimer;   // the engine's time for one text
    QTimer *m_clientTimer; // the text's deadline
    QTimer *m_idleTimer;
    State m_state = State::Loading;
    EngineJob m_job;
    bool m_loaded = false;
    int m_texts = 0;
    qint64 m_memory = 0;
    QElapsedTimer m_idle;
    QByteArray m_output;
};
