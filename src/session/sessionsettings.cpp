#include "session/sessionsettings.h"

SessionSettingsRecord SessionSettings;
