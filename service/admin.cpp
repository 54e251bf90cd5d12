#include "admin.h"

#include "accounts/accountrules.h"
#include "accounts/passwords.h"
#include "accounts/storage.h"
#include "config/config.h"

#include <QCommandLineParser>
#include <QDebug>

#include <cstdio>
#include <iostream>
#include <string>

ExitCode addUser(const ServiceConfig &config, Storage &storage, const QString &email,
                 const QCommandLineParser &parser)
{
    std::string line;
    std::getline(std::cin, line);
    QString password = QString::fromStdString(line);
    if (password.endsWith(QLatin1Char('\r')))
        password.chop(1);
    QString problem = emailProblem(email.trimmed());
    if (problem.isEmpty())
        problem = passwordProblem(password);
    if (!problem.isEmpty()) {
        qWarning().noquote() << problem;
        return ExitCode::Failure;
    }
    bool levelOk = true, capOk = true;
    const qint32 level = parser.isSet(QStringLiteral("level"))
                             ? parser.value(QStringLiteral("level")).toInt(&levelOk)
                             : config.defaultLevel;
    const qint16 cap = parser.isSet(QStringLiteral("cap"))
                           ? parser.value(QStringLiteral("cap")).toShort(&capOk)
                           : config.defaultCap;
    if (!levelOk || !capOk) {
        qWarning().noquote() << QStringLiteral(
            "--level takes a 32-bit and --cap a 16-bit whole number");
        return ExitCode::BadUsage;
    }
    qint64 id = 0;
    switch (storage.addAccount(email, hashPassword(password, config.passwordIterations), level, cap,
                               &id)) {
    case Storage::Added::Yes:
        std::printf("%s\t%lld\n", qPrintable(Storage::accountKey(email)),
                    static_cast<long long>(id));
        return ExitCode::Success;
    case Storage::Added::Taken:
        qWarning().noquote() << QStringLiteral("%1 already has an account").arg(email);
        return ExitCode::Failure;
    case Storage::Added::Failed:
        break;
    }
    qWarning().noquote() << storage.lastError();
    return ExitCode::Failure;
}

ExitCode setDisabled(Storage &storage, const QString &email, bool disabled)
{
    if (storage.setDisabled(email, disabled))
        return ExitCode::Success;
    qWarning().noquote() << (storage.lastError().isEmpty()
                                 ? QStringLiteral("%1 has no account").arg(email)
                                 : storage.lastError());
    return ExitCode::Failure;
}

ExitCode listReports(Storage &storage)
{
    const auto reports = storage.reports();
    if (!reports) {
        qWarning().noquote() << storage.lastError();
        return ExitCode::Failure;
    }
    // Reports come from anyone: a stored escape sequence must not reach the operator's terminal.
    auto field = [](QString text) {
        for (QChar &c : text) {
            if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r'))
                c = QLatin1Char(' ');
            else if (c.category() == QChar::Other_Control)
                c = QChar::ReplacementCharacter;
        }
        return text;
    };
    for (const BannerReport &report : *reports) {
        std::printf(
            "%s\t%s\t%s\t%s\t%s\n", qPrintable(report.received.toString(Qt::ISODate)),
            qUtf8Printable(field(report.userId)), qUtf8Printable(field(report.sourceLanguage)),
            qUtf8Printable(field(report.targetLanguage)), qUtf8Printable(field(report.text)));
    }
    return ExitCode::Success;
}

bool ensureDemoAccount(const ServiceConfig &config, Storage &storage)
{
    if (config.demoEmail.isEmpty() || storage.findAccount(config.demoEmail))
        return true;
    if (!storage.lastError().isEmpty())
        return false;
    const auto added = storage.addAccount(
        config.demoEmail, hashPassword(config.demoPassword, config.passwordIterations),
        config.defaultLevel, config.defaultCap);
    return added != Storage::Added::Failed;
}
