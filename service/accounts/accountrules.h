#pragma once

#include <QString>

// What a new account must satisfy; each returns an empty text when all is well, else the reason.
// Beyond the usual rules, the program sends the address and the password unescaped in a query, so
// characters that would cut or change it there ('&', '#', '%') cannot be used.
QString emailProblem(const QString &email);
QString passwordProblem(const QString &password);

inline constexpr int MinimumPasswordLength = 8;
inline constexpr int MaximumPasswordLength = 256;
