#include "engine/warmengine.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTimer>

#include <csignal>
#include <unistd.h>
#include <utility>

namespace {

constexpr qsizetype QueueLimit = 256;
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

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') ||
           c == QLatin1Char('\r');
}

// The folder of the installed modes that belongs to the program, or nothing.
QString modesFolder(const QString &program)
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

void endGroup(QProcess *process)
{
    const qint64 pid = process->processId();
    // The engine is a pipeline of processes in a group of its own.
    if (pid > 0)
        ::kill(-pid_t(pid), SIGKILL);
    process->kill();
}

} // namespace

// One mode's engine and the requests waiting for it.
class WarmEngine::Pair : public QObject
{
public:
    Pair(const QString &program, const QString &mode, int timeoutSeconds, int perClient,
         QObject *parent)
        : QObject(parent), m_program(program), m_mode(mode), m_timeoutSeconds(timeoutSeconds),
          m_perClient(perClient), m_timer(new QTimer(this)), m_clientTimer(new QTimer(this)),
          m_queueTimer(new QTimer(this))
    {
        m_timer->setSingleShot(true);
        connect(m_timer, &QTimer::timeout, this, [this] {
            fail(EngineResult::Outcome::TimedOut, QStringLiteral("the engine took too long"));
        });
        // The client stops waiting; the engine may still be sound, and keeps its text.
        m_clientTimer->setSingleShot(true);
        connect(m_clientTimer, &QTimer::timeout, this, [this] {
            if (m_current)
                std::exchange(m_current->done, nullptr)(
                    {EngineResult::Outcome::TimedOut, {}, QStringLiteral("waited too long")});
        });
        // Deadlines come in arrival order: the first in the queue is the next to pass.
        m_queueTimer->setSingleShot(true);
        connect(m_queueTimer, &QTimer::timeout, this, [this] {
            while (!m_queue.isEmpty() && m_queue.head().deadline.hasExpired())
                m_queue.dequeue().done(
                    {EngineResult::Outcome::TimedOut, {}, QStringLiteral("waited too long")});
            next();
        });
    }

    ~Pair() override { stop(); }

    void submit(const QString &text, const QHostAddress &client, Done done)
    {
        int &waiting = m_waiting[client];
        if (m_queue.size() >= QueueLimit || waiting >= m_perClient) {
            if (waiting == 0)
                m_waiting.remove(client);
            done({EngineResult::Outcome::Busy, {}, QStringLiteral("too many requests waiting")});
            return;
        }
        ++waiting;
        Done release = [this, client, done = std::move(done)](const EngineResult &result) {
            if (--m_waiting[client] == 0)
                m_waiting.remove(client);
            done(result);
        };
        m_queue.enqueue({cleanInput(text), std::move(release),
                         QDeadlineTimer(std::chrono::seconds(m_timeoutSeconds))});
        next();
    }

    void start()
    {
        if (m_process)
            return;
        m_process = new QProcess(this);
        m_output.clear();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        // Apertium's tools read and write UTF-8 only under a UTF-8 locale.
        environment.remove(QStringLiteral("LC_ALL"));
        environment.insert(QStringLiteral("LC_CTYPE"), QStringLiteral("C.UTF-8"));
        m_process->setProcessEnvironment(environment);
        m_process->setChildProcessModifier([] { ::setpgid(0, 0); });
        m_process->setStandardErrorFile(QProcess::nullDevice());
        connect(m_process, &QProcess::readyReadStandardOutput, this, &Pair::read);
        connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart)
                ended(QStringLiteral("the engine cannot be started"));
        });
        connect(m_process, &QProcess::finished, this, [this](int code, QProcess::ExitStatus) {
            ended(QStringLiteral("the engine ended with status %1").arg(code));
        });

        const QString modeFile =
            modesFolder(m_program) + QLatin1Char('/') + m_mode + QStringLiteral(".mode");
        QString wblank = QStandardPaths::findExecutable(
            QStringLiteral("apertium-wblank-mode"),
            {QFileInfo(QStandardPaths::findExecutable(m_program)).absolutePath()});
        if (wblank.isEmpty())
            wblank = QStandardPaths::findExecutable(QStringLiteral("apertium-wblank-mode"));
        if (QFileInfo::exists(modeFile) && !wblank.isEmpty()) {
            // The mode's pipeline with every stage in null-flush mode, as "apertium -z" builds
            // it; "-n" leaves unknown words unmarked, as "apertium -u" does.
            m_process->start(QStringLiteral("bash"),
                             {QStringLiteral("-c"),
                              QStringLiteral("pipeline=$(\"$1\" -z \"$2\") || exit 1; "
                                             "exec bash -c \"$pipeline\" apertium -n ''"),
                              QStringLiteral("lexorn-apertium"), wblank, modeFile});
        } else {
            m_process->start(m_program, {QStringLiteral("-z"), QStringLiteral("-u"), m_mode});
        }
    }

private:
    struct Job
    {
        QString text;
        Done done;
        QDeadlineTimer deadline;
    };

    void next()
    {
        while (!m_current && !m_queue.isEmpty()) {
            Job job = m_queue.dequeue();
            if (job.deadline.hasExpired()) {
                job.done({EngineResult::Outcome::TimedOut, {}, QStringLiteral("waited too long")});
                continue;
            }
            start();
            if (!m_process) {
                job.done({EngineResult::Outcome::Failed,
                          {},
                          QStringLiteral("the engine cannot be started")});
                continue;
            }
            m_current = std::make_unique<Job>(std::move(job));
            m_timer->start(m_timeoutSeconds * 1000);
            m_clientTimer->start(int(qMax<qint64>(m_current->deadline.remainingTime(), 1)));
            m_process->write(deformat(m_current->text) + '\0');
        }
        if (m_queue.isEmpty())
            m_queueTimer->stop();
        else
            m_queueTimer->start(int(qMax<qint64>(m_queue.head().deadline.remainingTime(), 1)));
    }

    void read()
    {
        m_output += m_process->readAllStandardOutput();
        const qsizetype end = m_output.indexOf('\0');
        if (end < 0) {
            if (m_output.size() > OutputLimit)
                fail(EngineResult::Outcome::Failed, QStringLiteral("output too large"));
            return;
        }
        const QByteArray answer = m_output.left(end);
        m_output.remove(0, end + 1);
        if (!m_current) {
            // Nobody asked: the engine does not keep to the protocol.
            fail(EngineResult::Outcome::Failed, QStringLiteral("the engine answered unasked"));
            return;
        }
        QString text = reformat(answer);
        while (text.endsWith(QLatin1Char('\n')))
            text.chop(1);
        finish({EngineResult::Outcome::Translated, text, {}});
    }

    void ended(const QString &detail)
    {
        if (!m_process)
            return;
        m_process->disconnect(this);
        m_process->deleteLater();
        m_process = nullptr;
        if (m_current)
            finish({EngineResult::Outcome::Failed, {}, detail});
    }

    // The engine is in an unknown state: it is ended, and the next request starts a fresh one.
    void fail(EngineResult::Outcome outcome, const QString &detail)
    {
        stop();
        if (m_current)
            finish({outcome, {}, detail});
    }

    void stop()
    {
        if (!m_process)
            return;
        m_process->disconnect(this);
        endGroup(m_process);
        m_process->waitForFinished(1000);
        delete m_process;
        m_process = nullptr;
    }

    void finish(const EngineResult &result)
    {
        m_timer->stop();
        m_clientTimer->stop();
        const std::unique_ptr<Job> job = std::move(m_current);
        if (job->done)
            job->done(result);
        QTimer::singleShot(0, this, [this] { next(); });
    }

    QString m_program;
    QString m_mode;
    int m_timeoutSeconds;
    int m_perClient;
    QTimer *m_timer;                    // the engine's time for one text
    QTimer *m_clientTimer;              // the request's deadline
    QTimer *m_queueTimer;               // the deadline of the first waiting
    QHash<QHostAddress, int> m_waiting; // per client, the one being translated included
    QProcess *m_process = nullptr;
    QByteArray m_output;
    std::unique_ptr<Job> m_current;
    QQueue<Job> m_queue;
};

WarmEngine::WarmEngine(const QString &program, int timeoutSeconds, int perClient, QObject *parent)
    : TranslationEngine(parent), m_program(program), m_timeoutSeconds(timeoutSeconds),
      m_perClient(perClient)
{}

WarmEngine::~WarmEngine() = default;

QStringList WarmEngine::installedModes()
{
    QProcess process;
    process.start(m_program, {QStringLiteral("-l")});
    if (!process.waitForStarted(5000) || !process.waitForFinished(m_timeoutSeconds * 1000) ||
        process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        process.kill();
        process.waitForFinished(1000);
        return {};
    }
    QStringList modes;
    const QStringList lines =
        QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        if (!line.trimmed().isEmpty())
            modes.append(line.trimmed());
    }
    return modes;
}

void WarmEngine::translate(const QString &mode, const QString &text, const QHostAddress &client,
                           Done done)
{
    pair(mode)->submit(text, client, std::move(done));
}

void WarmEngine::warmUp(const QStringList &modes)
{
    for (const QString &mode : modes)
        pair(mode)->start();
}

WarmEngine::Pair *WarmEngine::pair(const QString &mode)
{
    Pair *&found = m_pairs[mode];
    if (!found)
        found = new Pair(m_program, mode, m_timeoutSeconds, m_perClient, this);
    return found;
}

QByteArray WarmEngine::deformat(const QString &text)
{
    static const QString reserved = QStringLiteral("\\[]^$<>@/{}");
    QString stream;
    stream.reserve(text.size() + text.size() / 8 + 8);
    const qsizetype n = text.size();
    bool endsInBlank = false;
    for (qsizetype i = 0; i < n;) {
        const QChar c = text.at(i);
        if (isBlank(c)) {
            qsizetype j = i;
            while (j < n && isBlank(text.at(j)))
                ++j;
            const QStringView run = QStringView(text).mid(i, j - i);
            if (run == QLatin1String(" ") && j < n) {
                stream += c;
            } else {
                // At the end and at a blank line a sentence may end: the deformatter offers the
                // tagger a full stop there, which the reformatter takes away again.
                if (j == n || run.count(QLatin1Char('\n')) >= 2)
                    stream += QStringLiteral(".[]");
                stream += QLatin1Char('[');
                stream += run;
                stream += QLatin1Char(']');
                endsInBlank = j == n;
            }
            i = j;
            continue;
        }
        if (c == QLatin1Char('~'))
            stream += QStringLiteral("[~]");
        else if (reserved.contains(c))
            stream += QLatin1Char('\\') + QString(c);
        else
            stream += c;
        ++i;
    }
    if (!endsInBlank)
        stream += QStringLiteral(".[]");
    return stream.toUtf8();
}

QString WarmEngine::reformat(const QByteArray &stream)
{
    const QString text = QString::fromUtf8(stream);
    QString plain;
    plain.reserve(text.size());
    bool lastIsStop = false; // the last unit written is a full stop that was not escaped
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n;) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\\') && i + 1 < n) {
            plain += text.at(i + 1);
            lastIsStop = false;
            i += 2;
        } else if (c == QLatin1Char('[')) {
            QString blank;
            qsizetype j = i + 1;
            while (j < n && text.at(j) != QLatin1Char(']')) {
                if (text.at(j) == QLatin1Char('\\') && j + 1 < n)
                    ++j;
                blank += text.at(j++);
            }
            if (blank.isEmpty() && lastIsStop)
                plain.chop(1); // the deformatter's own full stop
            plain += blank;
            lastIsStop = false;
            i = j + 1;
        } else {
            plain += c;
            lastIsStop = c == QLatin1Char('.');
            ++i;
        }
    }
    return plain;
}
