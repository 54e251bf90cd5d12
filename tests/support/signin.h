#pragma once

#include <QString>

// Stores the credentials the settings download sends.
void storeCredentials(const QString &user, const QString &password);
