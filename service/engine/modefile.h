#pragma once

#include <QString>

// What an installed mode's pipeline names that is not there: the first program not on the path or
// file that does not exist, or nothing when all are. Reading the mode file costs no engine start,
// and a package may ship a mode without the data it names (Debian's apertium-eo-es and es-eo).
QString missingForMode(const QString &modeFile);
