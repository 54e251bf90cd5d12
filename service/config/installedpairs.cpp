#include "config/installedpairs.h"

#include "config/languagenames.h"

#include <QMap>
#include <QRegularExpression>

namespace {

// A translation mode joins two languages, each a code with perhaps variants (cat_valencia,
// por_BR); a third part (ca-eo-translit) or a script (Cyrl-Latn) marks a debugging or
// alternative pipeline.
struct Mode
{
    QString name;
    QString side[2]; // "cat_valencia"
};

bool translationMode(const QString &name, Mode &mode)
{
    static const QRegularExpression pattern(
        QStringLiteral("^([a-z]{2,3}(?:_[A-Za-z0-9]+)*)-([a-z]{2,3}(?:_[A-Za-z0-9]+)*)$"));
    const QRegularExpressionMatch match = pattern.match(name);
    if (!match.hasMatch())
        return false;
    mode = {name, {match.captured(1), match.captured(2)}};
    return true;
}

bool isConfigured(const ServiceConfig &config, const QString &source, const QString &target)
{
    return std::any_of(
        config.apertiumPairs.cbegin(), config.apertiumPairs.cend(),
        [&](const ApertiumPair &pair) { return pair.source == source && pair.target == target; });
}

} // namespace

void addInstalledPairs(ServiceConfig &config, const QStringList &modes, const LanguageNames &names)
{
    if (!config.installedPairs)
        return;
    QList<Mode> found;
    QStringList sides;
    for (const QString &name : modes) {
        Mode mode;
        if (!translationMode(name, mode))
            continue;
        found.append(mode);
        sides << mode.side[0] << mode.side[1];
    }
    sides.removeDuplicates();
    const QHash<QString, LanguageNames::Language> languages = names.languages(sides);

    QMap<QString, QString> added; // code to name, in the order of their codes
    for (const Mode &mode : std::as_const(found)) {
        const LanguageNames::Language side[2] = {languages.value(mode.side[0]),
                                                 languages.value(mode.side[1])};
        if (!isLanguageCode(side[0].code) || !isLanguageCode(side[1].code)) {
            qWarning("Apertium mode %s is not offered: %s -> %s is no language code of at most "
                     "16 characters",
                     qPrintable(mode.name), qPrintable(side[0].code), qPrintable(side[1].code));
            continue;
        }
        if (isConfigured(config, side[0].code, side[1].code))
            continue;
        config.apertiumPairs.append({side[0].code, side[1].code, mode.name});
        for (const LanguageNames::Language &language : side) {
            if (!config.language(language.code))
                added.insert(language.code, language.name);
        }
    }
    // The client wants the k-th language at an index of at most k: the next ones follow on.
    int index = config.languages.isEmpty() ? 1 : config.languages.constLast().index + 1;
    for (auto it = added.cbegin(); it != added.cend(); ++it)
        config.languages.append({index++, it.key(), it.value()});
}
