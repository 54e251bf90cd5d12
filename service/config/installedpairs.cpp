#include "config/installedpairs.h"

#include "config/isocodes.h"

#include <QMap>
#include <QRegularExpression>

namespace {

// A translation mode joins two languages, each a code with perhaps variants (cat_valencia,
// por_BR); a third part (ca-eo-translit) or a script (Cyrl-Latn) marks a debugging or
// alternative pipeline.
struct Mode
{
    QString name;
    QString base[2];
    QString variant[2]; // "_valencia"
};

bool translationMode(const QString &name, Mode &mode)
{
    static const QRegularExpression pattern(
        QStringLiteral("^([a-z]{2,3})((?:_[A-Za-z0-9]+)*)-([a-z]{2,3})((?:_[A-Za-z0-9]+)*)$"));
    const QRegularExpressionMatch match = pattern.match(name);
    if (!match.hasMatch())
        return false;
    mode = {name, {match.captured(1), match.captured(3)}, {match.captured(2), match.captured(4)}};
    return true;
}

bool isConfigured(const ServiceConfig &config, const QString &source, const QString &target)
{
    return std::any_of(
        config.apertiumPairs.cbegin(), config.apertiumPairs.cend(),
        [&](const ApertiumPair &pair) { return pair.source == source && pair.target == target; });
}

} // namespace

void addInstalledPairs(ServiceConfig &config, const QStringList &modes, const IsoCodes &iso)
{
    if (!config.installedPairs)
        return;
    QList<Mode> found;
    QStringList bases;
    for (const QString &name : modes) {
        Mode mode;
        if (!translationMode(name, mode))
            continue;
        found.append(mode);
        bases << mode.base[0] << mode.base[1];
    }
    bases.removeDuplicates();
    const QHash<QString, IsoCodes::Language> languages = iso.languages(bases);

    QMap<QString, QString> added; // code to name, in the order of their codes
    for (const Mode &mode : std::as_const(found)) {
        QString code[2], name[2];
        for (int side : {0, 1}) {
            const IsoCodes::Language language = languages.value(mode.base[side]);
            code[side] = language.code + mode.variant[side];
            name[side] = language.name;
            if (!mode.variant[side].isEmpty())
                name[side] += QStringLiteral(" (%1)").arg(
                    mode.variant[side].mid(1).replace(QLatin1Char('_'), QLatin1Char(' ')));
        }
        if (!isLanguageCode(code[0]) || !isLanguageCode(code[1])) {
            qWarning("Apertium mode %s is not offered: %s -> %s is no language code of at most "
                     "16 characters",
                     qPrintable(mode.name), qPrintable(code[0]), qPrintable(code[1]));
            continue;
        }
        if (isConfigured(config, code[0], code[1]))
            continue;
        config.apertiumPairs.append({code[0], code[1], mode.name});
        for (int side : {0, 1}) {
            if (!config.language(code[side]))
                added.insert(code[side], name[side]);
        }
    }
    // The client wants the k-th language at an index of at most k: the next ones follow on.
    int index = config.languages.isEmpty() ? 1 : config.languages.constLast().index + 1;
    for (auto it = added.cbegin(); it != added.cend(); ++it)
        config.languages.append({index++, it.key(), it.value()});
}
