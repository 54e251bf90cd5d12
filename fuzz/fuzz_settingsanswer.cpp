// The settings answer as the download hands it over: one unit per byte received.
#include "fuzzsupport.h"
#include "platform/strings.h"
#include "startup/settingsanswer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString answer = QString::fromLatin1(fuzz::bytes(data, size));
    SessionSettingsRecord before;
    before.UserId = QStringLiteral("kept");
    before.Languages = {Language{QStringLiteral("xx"), QStringLiteral("Kept")}};
    SessionSettingsRecord settings = before;

    const SettingsVerdict verdict = ApplySettingsAnswer(answer, settings);

    FUZZ_CHECK((verdict.kind == SettingsVerdict::NotFound) ==
               answer.contains(QLatin1String("404 Not Found")));
    switch (verdict.kind) {
    case SettingsVerdict::Valid:
        FUZZ_CHECK(answer.startsWith(QLatin1String("valid:")));
        FUZZ_CHECK(!settings.Languages.isEmpty());
        // Every provider names language slots that exist, so the pair list can show it.
        for (const Provider &provider : std::as_const(settings.Providers)) {
            for (const QString &index : {provider.SourceLanguage, provider.TargetLanguage}) {
                qint64 slot = -1;
                FUZZ_CHECK(platform::ParseDecimal(index, 0, settings.Languages.size() - 1, slot));
            }
        }
        break;
    case SettingsVerdict::LoginError:
    case SettingsVerdict::FatalError:
        FUZZ_CHECK(answer.startsWith(QLatin1String("error:\t")));
        FUZZ_CHECK(answer.section(QLatin1Char('\n'), 0, 0).section(QLatin1Char('\t'), 2, 2) ==
                   verdict.message);
        [[fallthrough]];
    case SettingsVerdict::NotFound:
    case SettingsVerdict::Invalid:
        // Only a valid answer (or one cut short by its version line) touches the records.
        if (!answer.startsWith(QLatin1String("valid:"))) {
            FUZZ_CHECK(settings.UserId == before.UserId);
            FUZZ_CHECK(settings.Languages.size() == 1);
        }
        break;
    case SettingsVerdict::VersionMismatch:
        FUZZ_CHECK(verdict.message != DataVersion);
        break;
    }
    return 0;
}
