#include "engine/enginepool.h"

#include "engine/modefile.h"

#include <QDir>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace {

constexpr qsizetype QueueLimit = 256;
constexpr qint64 MiB = 1024 * 1024;
constexpr int StartsBeforeWithdrawal = 2; // failed ones, in a row

} // namespace

// The requests waiting for a mode's engines, in arrival order, so that the first to pass its
// deadline is the first in line.
struct EnginePool::Queue
{
    QQueue<EngineJob> jobs;
    QHash<QHostAddress, int> perClient; // waiting or being translated
    QTimer *deadline = nullptr;
};

EnginePool::EnginePool(const QString &program, const PoolLimits &limits, QObject *parent)
    : TranslationEngine(parent), m_program(program), m_limits(limits)
{}

EnginePool::~EnginePool()
{
    for (Pipeline *engine : std::as_const(m_engines))
        engine->stop();
    qDeleteAll(m_queues);
}

QStringList EnginePool::installedModes()
{
    // The folder "apertium -l" lists, without the second it takes to start the script.
    const QDir folder(Pipeline::modesFolder(m_program));
    QStringList modes = folder.entryList({QStringLiteral("*.mode")}, QDir::Files, QDir::Name);
    if (!modes.isEmpty()) {
        QStringList usable;
        for (const QString &file : std::as_const(modes)) {
            const QString mode = file.chopped(int(qstrlen(".mode")));
            const QString missing = missingForMode(folder.filePath(file));
            if (missing.isEmpty())
                usable.append(mode);
            else
                qWarning("Apertium mode %s is not offered: %s is not there", qPrintable(mode),
                         qPrintable(missing));
        }
        return usable;
    }
    QProcess process;
    process.start(m_program, {QStringLiteral("-l")});
    if (!process.waitForStarted(5000) || !process.waitForFinished(m_limits.timeoutSeconds * 1000) ||
        process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        process.kill();
        process.waitForFinished(1000);
        return {};
    }
    const QStringList lines =
        QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        if (!line.trimmed().isEmpty())
            modes.append(line.trimmed());
    }
    return modes;
}

EnginePool::Queue &EnginePool::queue(const QString &mode)
{
    Queue *&found = m_queues[mode];
    if (!found) {
        found = new Queue;
        found->deadline = new QTimer(this);
        found->deadline->setSingleShot(true);
        connect(found->deadline, &QTimer::timeout, this, [this, mode] { dispatch(mode); });
    }
    return *found;
}

void EnginePool::translate(const QString &mode, const QString &text, const QHostAddress &client,
                           QDeadlineTimer deadline, Done done)
{
    if (m_withdrawn.contains(mode)) {
        done({EngineResult::Outcome::Withdrawn, {}, QStringLiteral("the mode is withdrawn")});
        return;
    }
    Queue &waiting = queue(mode);
    int &mine = waiting.perClient[client];
    if (waiting.jobs.size() >= QueueLimit || mine >= m_limits.perClient) {
        if (mine == 0)
            waiting.perClient.remove(client);
        done({EngineResult::Outcome::Busy, {}, QStringLiteral("too many requests waiting")});
        return;
    }
    ++mine;
    Done release = [this, mode, client, done = std::move(done)](const EngineResult &result) {
        Queue &waiting = queue(mode);
        if (--waiting.perClient[client] <= 0)
            waiting.perClient.remove(client);
        done(result);
    };
    waiting.jobs.enqueue({text, std::move(release), deadline});
    dispatch(mode);
}

void EnginePool::warmUp(const QStringList &modes)
{
    for (const QString &mode : modes) {
        const bool running = std::any_of(m_engines.cbegin(), m_engines.cend(),
                                         [&](const Pipeline *e) { return e->mode() == mode; });
        if (!running && !m_withdrawn.contains(mode) && makeRoom(mode, true))
            start(mode);
    }
}

void EnginePool::dispatch(const QString &mode)
{
    Queue &waiting = queue(mode);
    while (!waiting.jobs.isEmpty() && waiting.jobs.head().deadline.hasExpired())
        waiting.jobs.dequeue().done(
            {EngineResult::Outcome::TimedOut, {}, QStringLiteral("waited too long")});
    qsizetype loading = 0, mine = 0;
    for (Pipeline *engine : std::as_const(m_engines)) {
        if (engine->mode() != mode)
            continue;
        ++mine;
        if (engine->state() == Pipeline::State::Idle && !waiting.jobs.isEmpty())
            engine->translate(waiting.jobs.dequeue());
        else if (engine->state() == Pipeline::State::Loading)
            ++loading;
    }
    // More waiting than engines on their way: another one, if the bounds allow. A mode's first
    // engine may make room; a further one only takes room that is free, or busy modes would
    // end one another's engines and load them again.
    while (waiting.jobs.size() > loading && mine < m_limits.perMode && makeRoom(mode, mine == 0)) {
        // A mode's first engine takes the first request with it: nothing else could take it. After
        // a failed start, the engine's own text tells whether it loads.
        start(mode,
              mine == 0 && !m_startFailures.contains(mode) ? waiting.jobs.dequeue() : EngineJob{});
        ++loading, ++mine;
    }
    if (waiting.jobs.isEmpty())
        waiting.deadline->stop();
    else
        waiting.deadline->start(int(qMax<qint64>(waiting.jobs.head().deadline.remainingTime(), 1)));
}

// Room for one more engine of the mode, made by ending the engine idle the longest if need be
// and allowed.
bool EnginePool::makeRoom(const QString &mode, bool evict)
{
    for (;;) {
        qint64 memory = m_modeMemory.value(mode);
        for (const Pipeline *engine : std::as_const(m_engines))
            memory += engine->memory();
        const bool fits = m_limits.memoryBytes <= 0 || memory <= m_limits.memoryBytes;
        if (m_engines.isEmpty() || (m_engines.size() < m_limits.engines && fits))
            return true;
        if (!evict)
            return false;
        Pipeline *oldest = nullptr;
        for (Pipeline *engine : std::as_const(m_engines)) {
            if (engine->state() == Pipeline::State::Idle &&
                (!oldest || engine->idleMilliseconds() > oldest->idleMilliseconds()))
                oldest = engine;
        }
        if (!oldest)
            return false;
        end(oldest, fits ? QStringLiteral("gave way to %1 at the bound of %2 engines")
                               .arg(mode)
                               .arg(m_limits.engines)
                         : QStringLiteral("gave way to %1 at the bound of %2 MiB")
                               .arg(mode)
                               .arg(m_limits.memoryBytes / MiB));
    }
}

void EnginePool::start(const QString &mode, EngineJob first)
{
    auto *engine =
        new Pipeline(m_program, mode, m_limits.timeoutSeconds, m_limits.idleSeconds, this);
    m_engines.append(engine);
    connect(engine, &Pipeline::ready, this, [this, engine] { engineReady(engine); });
    connect(engine, &Pipeline::idleTooLong, this, [this, engine] {
        end(engine, QStringLiteral("idle for %1 s").arg(m_limits.idleSeconds));
    });
    connect(engine, &Pipeline::ended, this, [this, engine](const QString &reason) {
        m_engines.removeOne(engine);
        m_retiring.remove(engine);
        engine->deleteLater();
        qWarning("engine %s ended: %s (%lld running)", qPrintable(engine->mode()),
                 qPrintable(reason), qlonglong(m_engines.size()));
        if (!engine->loaded())
            failedAtStart(engine->mode(), reason);
        // A mode whose engine cannot even load fails its requests rather than try for ever.
        Queue &waiting = queue(engine->mode());
        const bool another = std::any_of(m_engines.cbegin(), m_engines.cend(),
                                         [&](auto *e) { return e->mode() == engine->mode(); });
        while (!engine->loaded() && !another && !waiting.jobs.isEmpty())
            waiting.jobs.dequeue().done(
                {EngineResult::Outcome::Failed, {}, QStringLiteral("the engine %1").arg(reason)});
        // Its other requests need a fresh engine, and others may have waited for its room.
        dispatch(engine->mode());
        const QString starved = starvedMode();
        if (!starved.isEmpty())
            dispatch(starved);
    });
    qInfo("engine %s started (%lld running)", qPrintable(mode), qlonglong(m_engines.size()));
    engine->start(std::move(first));
}

void EnginePool::end(Pipeline *engine, const QString &reason)
{
    const qint64 memory = engine->measureMemory();
    m_engines.removeOne(engine);
    m_retiring.remove(engine);
    engine->stop();
    engine->deleteLater();
    qInfo("engine %s ended: %s, after %d texts, at %lld MiB (%lld running)",
          qPrintable(engine->mode()), qPrintable(reason), engine->texts(),
          qlonglong((memory + MiB / 2) / MiB), qlonglong(m_engines.size()));
}

void EnginePool::engineReady(Pipeline *engine)
{
    const QString mode = engine->mode();
    m_startFailures.remove(mode);
    if (engine->memory() == 0 || engine->texts() % 256 == 0)
        m_modeMemory[mode] = engine->measureMemory();
    if (m_limits.restartAfter > 0 && engine->texts() >= m_limits.restartAfter &&
        !m_retiring.contains(engine)) {
        // Its successor loads while it goes on working, beyond the bounds for that while, so
        // that no request waits for the loading.
        m_retiring.insert(engine);
        start(mode);
    }
    // A retiring engine ends once a successor is loaded.
    const bool succeeded = std::any_of(m_engines.cbegin(), m_engines.cend(), [&](Pipeline *e) {
        return e->mode() == mode && e->loaded() && !m_retiring.contains(e);
    });
    for (Pipeline *retiring : QList<Pipeline *>(m_engines)) {
        if (succeeded && retiring->mode() == mode && m_retiring.contains(retiring) &&
            retiring->state() == Pipeline::State::Idle)
            end(retiring, QStringLiteral("translated %1 texts").arg(retiring->texts()));
    }
    if (engine->state() == Pipeline::State::Ended) {
        dispatch(mode);
        return;
    }
    Queue &waiting = queue(mode);
    if (!waiting.jobs.isEmpty()) {
        dispatch(mode);
        return;
    }
    // Nothing more for this mode: a mode that waits for room gets it.
    const QString starved = starvedMode();
    if (!starved.isEmpty()) {
        end(engine, QStringLiteral("gave way to %1").arg(starved));
        dispatch(starved);
    }
}

void EnginePool::failedAtStart(const QString &mode, const QString &reason)
{
    if (++m_startFailures[mode] < StartsBeforeWithdrawal || m_withdrawn.contains(mode))
        return;
    m_withdrawn.insert(mode);
    qWarning("engine %s failed at start %d times in a row, the last time %s: the mode is no longer "
             "offered until the service restarts",
             qPrintable(mode), StartsBeforeWithdrawal, qPrintable(reason));
    Queue &waiting = queue(mode);
    while (!waiting.jobs.isEmpty())
        waiting.jobs.dequeue().done(
            {EngineResult::Outcome::Withdrawn, {}, QStringLiteral("the engine %1").arg(reason)});
    Q_EMIT withdrawn(mode);
}

// A mode with requests waiting and no engine to take them, held back by the bounds.
QString EnginePool::starvedMode() const
{
    QString found;
    QDeadlineTimer first = QDeadlineTimer::Forever;
    for (auto it = m_queues.cbegin(); it != m_queues.cend(); ++it) {
        if (it.value()->jobs.isEmpty() || it.value()->jobs.head().deadline > first)
            continue;
        const bool served = std::any_of(m_engines.cbegin(), m_engines.cend(),
                                        [&](const Pipeline *e) { return e->mode() == it.key(); });
        if (!served) {
            found = it.key();
            first = it.value()->jobs.head().deadline;
        }
    }
    return found;
}
