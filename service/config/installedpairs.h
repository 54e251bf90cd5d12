#pragma once

#include "config/config.h"

class LanguageNames;

// With [apertium] pairs = installed: every installed translation mode becomes a pair, and every
// language it needs a language, after the ones the configuration lists, which win.
void addInstalledPairs(ServiceConfig &config, const QStringList &modes, const LanguageNames &names);
