#pragma once

#include "engine/engine.h"
#include "engine/pipeline.h"

#include <QHash>
#include <QList>
#include <QQueue>
#include <QSet>

class QTimer;

struct PoolLimits
{
    int timeoutSeconds = 20;
    int perClient = 8;      // of a mode's requests, waiting or being translated
    int perMode = 1;        // engines of one mode at once
    int engines = 16;       // engines at once
    qint64 memoryBytes = 0; // their proportional set size together; 0: no bound
    int idleSeconds = 120;  // an engine idle for this long ends; 0: never
    int restartAfter = 0;   // texts an engine translates before a fresh one takes over; 0: never
};

// Apertium engines started when a mode is first asked for and kept while they are used. A busy
// mode grows to several engines; an idle engine ends; at the bound on engines or memory the one
// idle the longest gives way. A request that finds no engine waits its turn in its mode's queue,
// where each client has a share, until its deadline. A mode whose engines fail at start twice in a
// row is withdrawn; after the first failure, engines start with a text of the pool's own, so that
// no client's text can take a mode out.
class EnginePool : public TranslationEngine
{
    Q_OBJECT
    Q_DISABLE_COPY(EnginePool)

public:
    EnginePool(const QString &program, const PoolLimits &limits, QObject *parent = nullptr);
    ~EnginePool() override;

    QStringList installedModes() override;
    void translate(const QString &mode, const QString &text, const QHostAddress &client,
                   QDeadlineTimer deadline, Done done) override;
    void warmUp(const QStringList &modes) override;

private:
    struct Queue;
    Queue &queue(const QString &mode);
    void dispatch(const QString &mode);
    bool makeRoom(const QString &mode, bool evict);
    void start(const QString &mode, EngineJob first = {});
    void end(Pipeline *engine, const QString &reason);
    void engineReady(Pipeline *engine);
    void failedAtStart(const QString &mode, const QString &reason);
    QString starvedMode() const;

    QString m_program;
    PoolLimits m_limits;
    QList<Pipeline *> m_engines;
    QSet<Pipeline *> m_retiring; // to end once a successor is loaded
    QHash<QString, Queue *> m_queues;
    QHash<QString, qint64> m_modeMemory; // the last measure of an engine of each mode
    QHash<QString, int> m_startFailures; // in a row, by mode
    QSet<QString> m_withdrawn;
};
