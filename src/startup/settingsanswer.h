#pragma once

#include "session/sessionsettings.h"

// What the settings service's answer amounts to.
struct SettingsVerdict
{
    enum Kind {
        Valid,           // the records are filled
        NotFound,        // "404 Not Found" somewhere in the body
        LoginError,      // message: the service's text
        FatalError,      // message: the service's text
        Invalid,         // not an answer this program understands
        VersionMismatch, // message: the version the answer carries
    };
    Kind kind = Invalid;
    QString message;
};

// Checks the answer and, once it is valid, applies its lines to the record in order. A version
// mismatch stops at its line: the lines before it are applied, the ones after it are not.
SettingsVerdict ApplySettingsAnswer(const QString &answer, SessionSettingsRecord &settings);
