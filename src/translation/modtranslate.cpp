#include "translation/modtranslate.h"

#include "platform/inet.h"
#include "platform/messagebox.h"
#include "session/languagepairs.h"
#include "translation/textcodecs.h"

namespace modTranslate {

void SayTooLong(int limit)
{
    platform::MsgBox(QStringLiteral("You are attemping to translate more than ") +
                         QString::number(limit) + QStringLiteral(" bytes! This is not permitted."),
                     platform::vbOKOnly);
}

Translation ProviderTranslate(const Provider &provider, platform::Inet &transfer, QString text)
{
    QString address = provider.UrlTemplate;
    address.replace(QStringLiteral("%src_lang%"), codeOf(provider.SourceLanguage));
    address.replace(QStringLiteral("%dest_lang%"), codeOf(provider.TargetLanguage));

    const int cap = SessionSettings.Cap;
    if (cap >= 1 && text.size() > cap) {
        SayTooLong(cap);
        text.truncate(cap);
    }
    address.replace(QStringLiteral("%text_encode%"), UrlEncode(Utf8Encode(text)));

    // A provider that cannot be reached has nothing to say, like one that answers with nothing.
    const platform::TransferResult fetched = transfer.OpenURL(address, platform::Inet::icString);
    const QByteArray answer = fetched.ok ? fetched.body : QByteArray();

    if (answer.isEmpty())
        return {text, QStringLiteral("<< 1Translation unavailable >>")};
    if (answer.contains("ERROR: Translation failed"))
        return {text, QStringLiteral("<< 2Translation unavailable >>")};
    // The markers came from the settings answer one unit per byte, so they go back to those bytes.
    const QString translation = Utf8Decode(
        TextBetween(answer, provider.ResultStart.toLatin1(), provider.ResultEnd.toLatin1()));
    if (translation.isEmpty())
        return {text, QStringLiteral("<< 3Translation unavailable >>")};
    return {text, translation};
}

} // namespace modTranslate
