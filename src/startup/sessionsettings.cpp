#include "startup/sessionsettings.h"

SessionSettingsRecord SessionSettings;
