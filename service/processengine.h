#pragma once

#include "engine.h"

#include <QDeadlineTimer>
#include <QQueue>

// Apertium, one process per request ("apertium -u MODE", the text on standard input), with a
// limit on processes running at once and a deadline per request counted from its arrival. A warm
// engine keeping one "apertium -z" per mode can take its place behind the same interface.
class ProcessEngine : public TranslationEngine
{
    Q_OBJECT
    Q_DISABLE_COPY(ProcessEngine)

public:
    ProcessEngine(const QString &program, int timeoutSeconds, int maxProcesses,
                  QObject *parent = nullptr);

    QStringList installedModes() override;
    void translate(const QString &mode, const QString &text, Done done) override;

private:
    struct Job
    {
        QString mode;
        QString text;
        Done done;
        QDeadlineTimer deadline;
    };

    void startNext();
    void run(Job job);

    QString m_program;
    int m_timeoutSeconds;
    int m_maxProcesses;
    int m_running = 0;
    QQueue<Job> m_queue;
};
