#include "engine/modefile.h"

#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QStandardPaths>
#include <QStringList>

#include <utility>

namespace {

// The words of a pipeline as a shell splits them, without their quotes, stage by stage.
QList<QStringList> stages(const QString &pipeline)
{
    QList<QStringList> stages(1);
    QString word;
    bool inWord = false;
    QChar quote;
    for (const QChar c : pipeline) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            else
                word += c;
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            quote = c;
            inWord = true;
        } else if (c.isSpace() || c == QLatin1Char('|')) {
            if (std::exchange(inWord, false))
                stages.last().append(std::exchange(word, {}));
            if (c == QLatin1Char('|'))
                stages.append(QStringList());
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        stages.last().append(word);
    return stages;
}

} // namespace

QString missingForMode(const QString &modeFile)
{
    QFile file(modeFile);
    if (!file.open(QIODevice::ReadOnly))
        return modeFile;
    const QList<QStringList> pipeline = stages(QString::fromUtf8(file.readAll()));
    for (const QStringList &stage : pipeline) {
        if (stage.isEmpty())
            continue;
        const QString &program = stage.first();
        if (program.contains(QLatin1Char('/')) ? !QFileInfo(program).isExecutable()
                                               : QStandardPaths::findExecutable(program).isEmpty())
            return program;
        for (qsizetype i = 1; i < stage.size(); ++i) {
            if (stage.at(i).startsWith(QLatin1Char('/')) && !QFileInfo::exists(stage.at(i)))
                return stage.at(i);
        }
    }
    return {};
}
