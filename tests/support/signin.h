#pragma once

#include <QString>

// Stores the credentials the settings download sends.
void storeCredentials(const QString &user, const QString &password);

// Runs the program's LoadSettings: -1 when it returned (its result in *returned), else the exit
// status the program ended with.
int loadSettingsEnding(bool *returned = nullptr);
