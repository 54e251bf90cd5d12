#pragma once

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

struct EngineResult
{
    // Withdrawn: the mode's engines fail at start, and it is offered no more until a restart.
    enum class Outcome { Translated, Failed, TimedOut, Busy, Withdrawn };
    Outcome outcome = Outcome::Failed;
    QString text;
    QString detail; // for the log and the error page, never the text itself
};

// A machine-translation engine. A request is answered once, later, on the caller's thread, by its
// deadline at the latest; the service never waits for it.
class TranslationEngine : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(TranslationEngine)

public:
    using Done = std::function<void(const EngineResult &)>;

    explicit TranslationEngine(QObject *parent = nullptr) : QObject(parent) {}

    // The modes that can be used, e.g. "eng-spa".
    virtual QStringList installedModes() = 0;
    // A client gets a share of the waiting room, not all of it.
    virtual void translate(const QString &mode, const QString &text, const QHostAddress &client,
                           QDeadlineTimer deadline, Done done) = 0;
    // Has an engine of each of these modes loading or loaded, so that a request soon finds it.
    virtual void warmUp(const QStringList &modes) = 0;

Q_SIGNALS:
    // The mode's engines failed at start twice in a row: its requests fail from now on.
    void withdrawn(const QString &mode);
};
