#pragma once

#include <QString>

// A session with English (slot 1, "en") and German (slot 2, "de") and one provider for that pair
// at the given address template, whose translation stands between "[b]" and "[/b]".
void useProviderSession(const QString &urlTemplate);
