#pragma once

#include "session/sessionsettings.h"

#include <QString>

namespace platform {
class Inet;
} // namespace platform

// The translation engine: one provider request, built and read with the text helpers.
namespace modTranslate {

// Tells the user that a text is longer than limit units and is cut to them.
void SayTooLong(int limit);

struct Translation
{
    QString sent;   // the text as requested: cut to the session's Cap when longer
    QString result; // the translation, or one of the "<< nTranslation unavailable >>" texts
};

// One request to the provider through the transfer, for the provider's own pair. A text over the
// session's Cap is cut to it once the user has been told.
Translation ProviderTranslate(const Provider &provider, platform::Inet &transfer, QString text);

} // namespace modTranslate
