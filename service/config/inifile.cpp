#include "config/inifile.h"

#include <QFile>

bool IniFile::load(const QString &path, QString &error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    return parse(QString::fromUtf8(file.readAll()), error);
}

bool IniFile::parse(const QString &text, QString &error)
{
    sections.clear();
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines.at(i).trimmed();
        const int number = i + 1;
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) ||
            line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            if (!line.endsWith(QLatin1Char(']')) || line.size() < 3) {
                error = QStringLiteral("line %1: malformed section header").arg(number);
                return false;
            }
            sections.append({line.mid(1, line.size() - 2).simplified(), {}, number});
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals <= 0) {
            error = QStringLiteral("line %1: expected key = value").arg(number);
            return false;
        }
        if (sections.isEmpty()) {
            error = QStringLiteral("line %1: key outside of any [section]").arg(number);
            return false;
        }
        sections.last().entries.append(
            {line.left(equals).trimmed(), line.mid(equals + 1).trimmed(), number});
    }
    return true;
}
