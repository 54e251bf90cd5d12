#include "startup/settingsanswer.h"

#include "platform/strings.h"

#include <limits>
#include <vector>

namespace {

using Fields = QList<QStringView>;

bool startsWithKey(QStringView line, QLatin1StringView key)
{
    return line.startsWith(key) && line.size() > key.size() &&
           line.at(key.size()) == QLatin1Char('\t');
}

template <typename Int> bool parseNumber(QStringView text, Int &out)
{
    qint64 value = 0;
    if (!platform::ParseDecimal(text, std::numeric_limits<Int>::min(),
                                std::numeric_limits<Int>::max(), value))
        return false;
    out = static_cast<Int>(value);
    return true;
}

// A language index that names one of `slots` slots.
bool parseIndex(QStringView text, qsizetype slots, qsizetype &out)
{
    qint64 value = 0;
    if (!platform::ParseDecimal(text, 0, slots - 1, value))
        return false;
    out = static_cast<qsizetype>(value);
    return true;
}

SettingsVerdict verdict(SettingsVerdict::Kind kind, QString message = {})
{
    return SettingsVerdict{kind, std::move(message)};
}

SettingsVerdict errorLine(QStringView line)
{
    const Fields fields = line.split(QLatin1Char('\t'));
    const QStringView kind = fields.size() > 1 ? fields.at(1) : QStringView();
    const bool known = kind == QLatin1StringView("login") || kind == QLatin1StringView("fatal");
    if (!known || fields.size() < 3)
        return verdict(SettingsVerdict::Invalid);
    return verdict(kind == QLatin1StringView("login") ? SettingsVerdict::LoginError
                                                      : SettingsVerdict::FatalError,
                   fields.at(2).toString());
}

} // namespace

SettingsVerdict ApplySettingsAnswer(const QString &answer, SessionSettingsRecord &settings)
{
    if (answer.contains(QLatin1StringView("404 Not Found")))
        return verdict(SettingsVerdict::NotFound);

    const Fields lines = QStringView(answer).split(QLatin1Char('\n'));
    const QStringView status = lines.first();
    if (startsWithKey(status, QLatin1StringView("error:")))
        return errorLine(status);
    if (!status.startsWith(QLatin1StringView("valid:")))
        return verdict(SettingsVerdict::Invalid);

    settings.Providers.clear();
    settings.Languages = {Language{}};
    std::vector<bool> filled{false}; // which language slots a line has named

    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QStringView line = lines.at(i);
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const Fields fields = line.split(QLatin1Char('\t'));
        if (startsWithKey(line, QLatin1StringView("about:"))) {
            if (fields.size() < 3)
                return verdict(SettingsVerdict::Invalid);
            const QStringView key = fields.at(1);
            const QStringView value = fields.at(2);
            if (key == QLatin1StringView("version")) {
                if (value != DataVersion)
                    return verdict(SettingsVerdict::VersionMismatch, value.toString());
            } else if (key == QLatin1StringView("userid")) {
                settings.UserId = value.toString();
            } else if (key == QLatin1StringView("level")) {
                if (!parseNumber(value, settings.Level))
                    return verdict(SettingsVerdict::Invalid);
            } else if (key == QLatin1StringView("cap")) {
                if (!parseNumber(value, settings.Cap))
                    return verdict(SettingsVerdict::Invalid);
            }
        } else if (startsWithKey(line, QLatin1StringView("link:"))) {
            if (fields.size() < 3)
                return verdict(SettingsVerdict::Invalid);
            const QStringView key = fields.at(1);
            const QString address = fields.at(2).toString();
            if (key == QLatin1StringView("translating"))
                settings.TranslatingLink = address;
            else if (key == QLatin1StringView("banner"))
                settings.BannerLink = address;
            else if (key == QLatin1StringView("welcome"))
                settings.WelcomeLink = address;
            else if (key == QLatin1StringView("findtran"))
                settings.FindTranLink = address;
        } else if (startsWithKey(line, QLatin1StringView("provider:"))) {
            continue;
        } else if (startsWithKey(line, QLatin1StringView("language:"))) {
            settings.Languages.append(Language{});
            filled.push_back(false);
            qsizetype index = 0;
            if (fields.size() < 4 || !parseIndex(fields.at(1), settings.Languages.size(), index))
                return verdict(SettingsVerdict::Invalid);
            settings.Languages[index] = Language{fields.at(2).toString(), fields.at(3).toString()};
            filled[index] = true;
        } else if (startsWithKey(line, QLatin1StringView("translation_url:"))) {
            Provider provider;
            qint32 unused = 0;
            if (fields.size() < 7 || !parseNumber(fields.at(1), provider.Id) ||
                !parseNumber(fields.at(2), unused) || !parseNumber(fields.at(3), unused))
                return verdict(SettingsVerdict::Invalid);
            const auto field = [&fields](qsizetype n) {
                return n < fields.size() ? fields.at(n).toString() : QString();
            };
            provider.SourceLanguage = field(2);
            provider.TargetLanguage = field(3);
            provider.ResultStart = field(4);
            provider.ResultEnd = field(5);
            provider.UrlTemplate = field(6);
            provider.Extra1 = field(7);
            provider.Extra2 = field(8);
            provider.Extra3 = field(9);
            settings.Providers.append(provider);
        }
    }

    const auto namesFilledSlot = [&filled](const QString &index) {
        const qsizetype slot = index.toLongLong();
        return slot >= 0 && slot < qsizetype(filled.size()) && filled[slot];
    };
    for (const Provider &provider : std::as_const(settings.Providers)) {
        if (!namesFilledSlot(provider.SourceLanguage) || !namesFilledSlot(provider.TargetLanguage))
            return verdict(SettingsVerdict::Invalid);
    }
    return verdict(SettingsVerdict::Valid);
}
