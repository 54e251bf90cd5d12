#include "processengine.h"

#include <QProcess>
#include <QTimer>

#include <memory>

namespace {

constexpr qsizetype QueueLimit = 256;
constexpr qint64 OutputLimit = 4 * 1024 * 1024;

// Apertium reads plain text; control characters other than line breaks and tabs only confuse it.
QString cleanInput(const QString &text)
{
    QString clean = text;
    for (QChar &c : clean) {
        if (c.unicode() < 0x20 && c != QLatin1Char('\n') && c != QLatin1Char('\t'))
            c = QLatin1Char(' ');
    }
    return clean;
}

} // namespace

ProcessEngine::ProcessEngine(const QString &program, int timeoutSeconds, int maxProcesses,
                             QObject *parent)
    : TranslationEngine(parent), m_program(program), m_timeoutSeconds(timeoutSeconds),
      m_maxProcesses(maxProcesses)
{}

QStringList ProcessEngine::installedModes()
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

void ProcessEngine::translate(const QString &mode, const QString &text, Done done)
{
    if (m_queue.size() >= QueueLimit) {
        done({EngineResult::Outcome::Busy, {}, QStringLiteral("too many requests waiting")});
        return;
    }
    m_queue.enqueue({mode, cleanInput(text), std::move(done),
                     QDeadlineTimer(std::chrono::seconds(m_timeoutSeconds))});
    startNext();
}

void ProcessEngine::startNext()
{
    while (m_running < m_maxProcesses && !m_queue.isEmpty()) {
        Job job = m_queue.dequeue();
        if (job.deadline.hasExpired()) {
            job.done({EngineResult::Outcome::TimedOut, {}, QStringLiteral("waited too long")});
            continue;
        }
        run(std::move(job));
    }
}

void ProcessEngine::run(Job job)
{
    ++m_running;
    auto *process = new QProcess(this);
    auto *timer = new QTimer(process);
    auto pending = std::make_shared<Job>(std::move(job));
    auto output = std::make_shared<QByteArray>();

    // Exactly one of these ends the job: the first caller hands the result over.
    auto finish = [this, process, pending](const EngineResult &result) {
        if (!pending->done)
            return;
        Done done = std::move(pending->done);
        pending->done = nullptr;
        process->disconnect(this);
        if (process->state() != QProcess::NotRunning) {
            process->kill();
            connect(process, &QProcess::finished, process, &QObject::deleteLater);
        } else {
            process->deleteLater();
        }
        --m_running;
        done(result);
        QTimer::singleShot(0, this, &ProcessEngine::startNext);
    };

    connect(process, &QProcess::readyReadStandardOutput, this, [process, output, finish] {
        output->append(process->readAllStandardOutput());
        if (output->size() > OutputLimit)
            finish({EngineResult::Outcome::Failed, {}, QStringLiteral("output too large")});
    });
    connect(process, &QProcess::errorOccurred, this, [finish](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            finish({EngineResult::Outcome::Failed,
                    {},
                    QStringLiteral("the engine cannot be started")});
    });
    connect(process, &QProcess::finished, this,
            [process, output, finish](int code, QProcess::ExitStatus status) {
                output->append(process->readAllStandardOutput());
                if (status != QProcess::NormalExit || code != 0) {
                    finish({EngineResult::Outcome::Failed,
                            {},
                            QStringLiteral("the engine ended with status %1").arg(code)});
                    return;
                }
                QString text = QString::fromUtf8(*output);
                while (text.endsWith(QLatin1Char('\n')))
                    text.chop(1);
                finish({EngineResult::Outcome::Translated, text, {}});
            });
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, [finish] {
        finish({EngineResult::Outcome::TimedOut, {}, QStringLiteral("the engine took too long")});
    });
    timer->start(int(qMax<qint64>(pending->deadline.remainingTime(), 1)));

    process->setProcessChannelMode(QProcess::SeparateChannels);
    process->setStandardErrorFile(QProcess::nullDevice());
    process->start(m_program, {QStringLiteral("-u"), pending->mode});
    process->write(pending->text.toUtf8());
    process->closeWriteChannel();
}
