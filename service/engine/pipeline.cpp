#include "engine/pipeline.h"

#include "engine/streamformat.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTimer>

#include <csignal>
#include <unistd.h>
#include <utility>

namespace {

constexpr qsizetype OutputLimit = 4 * 1024 * 1024;

// Apertium reads plain text; control characters other than line breaks and tabs only confuse it,
// and a NUL would end the text early.
QString cleanInput(const QString &text)
{
    QString clean = text;
    for (QChar &c : clean) {
        if (c.unicode() < 0x20 && c != QLatin1Char('\n') && c != QLatin1Char('\t'))
            c = QLatin1Char(' ');
    }
    return clean;
}

// The process group of /proc/PID/stat, which follows the command's name in parentheses.
qint64 processGroup(const QByteArray &stat)
{
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 2 ? fields.at(2).toLongLong() : -1;
}

} // namespace

Pipeline::Pipeline(const QString &program, const QString &mode, int timeoutSeconds, int idleSeconds,
                   QObject *parent)
    : QObject(parent), m_program(program), m_mode(mode), m_timeoutSeconds(timeoutSeconds),
      m_process(new QProcess(this)), m_workTimer(new QTimer(this)), m_clientTimer(new QTimer(this)),
      m_idleTimer(new QTimer(this))
{
    m_workTimer->setSingleShot(true);
    connect(m_workTimer, &QTimer::timeout, this, [this] {
        end(EngineResult::Outcome::TimedOut, m_loaded ? QStringLiteral("took too long over a text")
                                                      : QStringLiteral("took too long to load"));
    });
    m_clientTimer->setSingleShot(true);
    connect(m_clientTimer, &QTimer::timeout, this, [this] {
        answer({EngineResult::Outcome::TimedOut, {}, QStringLiteral("waited too long")});
    });
    m_idleTimer->setSingleShot(true);
    m_idleTimer->setInterval(idleSeconds * 1000);
    if (idleSeconds > 0)
        connect(m_idleTimer, &QTimer::timeout, this, &Pipeline::idleTooLong);
    m_idle.start();

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // Apertium's tools read and write UTF-8 only under a UTF-8 locale.
    environment.remove(QStringLiteral("LC_ALL"));
    environment.insert(QStringLiteral("LC_CTYPE"), QStringLiteral("C.UTF-8"));
    m_process->setProcessEnvironment(environment);
    // The engine is a pipeline of processes: a group of its own is ended as one.
    m_process->setChildProcessModifier([] { ::setpgid(0, 0); });
    m_process->setStandardErrorFile(QProcess::nullDevice());
    connect(m_process, &QProcess::readyReadStandardOutput, this, &Pipeline::read);
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            end(EngineResult::Outcome::Failed, QStringLiteral("cannot be started"));
    });
    connect(m_process, &QProcess::finished, this, [this](int code) {
        end(EngineResult::Outcome::Failed, QStringLiteral("ended with status %1").arg(code));
    });
}

Pipeline::~Pipeline()
{
    stop();
}

void Pipeline::start(EngineJob first)
{
    const QString modeFile =
        modesFolder(m_program) + QLatin1Char('/') + m_mode + QStringLiteral(".mode");
    QString wblank = QStandardPaths::findExecutable(
        QStringLiteral("apertium-wblank-mode"),
        {QFileInfo(QStandardPaths::findExecutable(m_program)).absolutePath()});
    if (wblank.isEmpty())
        wblank = QStandardPaths::findExecutable(QStringLiteral("apertium-wblank-mode"));
    m_workTimer->start(m_timeoutSeconds * 1000);
    if (QFileInfo::exists(modeFile) && !wblank.isEmpty()) {
        // The mode's pipeline with every stage in null-flush mode, as "apertium -z" builds it;
        // "-n" leaves unknown words unmarked, as "apertium -u" does. Our plain text has no
        // word-bound blanks, so the two stages that attach and detach them are left out: two
        // processes fewer for every text.
        m_process->start(QStringLiteral("bash"),
                         {QStringLiteral("-c"),
                          QStringLiteral("pipeline=$(\"$1\" -z \"$2\") || exit 1; "
                                         "pipeline=${pipeline//apertium-wblank-attach | /}; "
                                         "pipeline=${pipeline//| apertium-wblank-detach /}; "
                                         "exec bash -c \"$pipeline\" apertium -n ''"),
                          QStringLiteral("lexorn-apertium"), wblank, modeFile});
    } else {
        m_process->start(m_program, {QStringLiteral("-z"), QStringLiteral("-u"), m_mode});
    }
    if (first.done) {
        // Its answer comes as soon as the engine is loaded: a round trip sooner than after a
        // text of our own.
        m_state = State::Busy;
        m_job = std::move(first);
        m_clientTimer->start(int(qMax<qint64>(m_job.deadline.remainingTime(), 1)));
        m_process->write(streamformat::deformat(cleanInput(m_job.text)) + '\0');
    } else if (m_state == State::Loading) {
        m_process->write(streamformat::deformat(QStringLiteral("Ready")) + '\0');
    }
}

void Pipeline::translate(EngineJob job)
{
    Q_ASSERT(m_state == State::Idle);
    m_state = State::Busy;
    m_idleTimer->stop();
    m_job = std::move(job);
    m_workTimer->start(m_timeoutSeconds * 1000);
    m_clientTimer->start(int(qMax<qint64>(m_job.deadline.remainingTime(), 1)));
    m_process->write(streamformat::deformat(cleanInput(m_job.text)) + '\0');
}

void Pipeline::stop()
{
    m_workTimer->stop();
    m_idleTimer->stop();
    if (m_state == State::Ended)
        return;
    m_state = State::Ended;
    m_process->disconnect(this);
    const qint64 pid = m_process->processId();
    if (pid > 0)
        ::kill(-pid_t(pid), SIGKILL);
    m_process->kill();
    m_process->waitForFinished(1000);
}

void Pipeline::answer(const EngineResult &result)
{
    m_clientTimer->stop();
    if (m_job.done)
        std::exchange(m_job.done, nullptr)(result);
}

void Pipeline::end(EngineResult::Outcome outcome, const QString &reason)
{
    if (m_state == State::Ended)
        return;
    stop();
    answer({outcome, {}, QStringLiteral("the engine %1").arg(reason)});
    Q_EMIT ended(reason);
}

void Pipeline::read()
{
    m_output += m_process->readAllStandardOutput();
    const qsizetype end = m_output.indexOf('\0');
    if (end < 0) {
        if (m_output.size() > OutputLimit)
            this->end(EngineResult::Outcome::Failed, QStringLiteral("answered too much"));
        return;
    }
    const QByteArray stream = m_output.left(end);
    m_output.remove(0, end + 1);
    if (m_state != State::Loading && m_state != State::Busy) {
        // Nobody asked: the engine does not keep to the protocol.
        this->end(EngineResult::Outcome::Failed, QStringLiteral("answered unasked"));
        return;
    }
    m_workTimer->stop();
    if (m_state == State::Busy) {
        ++m_texts;
        QString text = streamformat::reformat(stream);
        while (text.endsWith(QLatin1Char('\n')))
            text.chop(1);
        answer({EngineResult::Outcome::Translated, text, {}});
    }
    m_state = State::Idle;
    m_loaded = true;
    m_idle.start();
    m_idleTimer->start();
    if (!m_output.isEmpty())
        this->end(EngineResult::Outcome::Failed, QStringLiteral("answered unasked"));
    else
        Q_EMIT ready();
}

qint64 Pipeline::measureMemory()
{
    const qint64 group = m_process->processId();
    if (group <= 0)
        return m_memory;
    qint64 kib = 0;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &entry : entries) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!entry.at(0).isDigit() || !stat.open(QIODevice::ReadOnly) ||
            processGroup(stat.readAll()) != group)
            continue;
        QFile rollup(QStringLiteral("/proc/%1/smaps_rollup").arg(entry));
        if (!rollup.open(QIODevice::ReadOnly))
            continue;
        for (QByteArray line; !(line = rollup.readLine()).isEmpty();) {
            if (line.startsWith("Pss:"))
                kib += line.mid(4).trimmed().split(' ').value(0).toLongLong();
        }
    }
    return m_memory = kib * 1024;
}

QString Pipeline::modesFolder(const QString &program)
{
    const QString dataDir = qEnvironmentVariable("APERTIUM_DATADIR");
    if (!dataDir.isEmpty())
        return dataDir + QStringLiteral("/modes");
    const QString path =
        QFileInfo(program).isAbsolute() ? program : QStandardPaths::findExecutable(program);
    if (path.isEmpty())
        return {};
    return QFileInfo(path).absoluteDir().filePath(QStringLiteral("../share/apertium/modes"));
}
