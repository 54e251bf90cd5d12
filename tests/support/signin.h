#pragma once

#include <QString>

// Stores the credentials the settings download sends.
void storeCredentials(const QString &user, const QString &password);

// Runs the program's LoadSettings: -1 when it returned (its result in *returned), else the exit
// status the program ended with.
int loadSettingsEnding(bool *returned = nullptr);

// A session with English (slot 1, "en") and German (slot 2, "de") and one provider for that pair
// at the given address template, whose translation stands between "[b]" and "[/b]".
void useProviderSession(const QString &urlTemplate);
