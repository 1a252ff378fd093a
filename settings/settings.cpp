#include "settings/settings.h"

SettingsRecord Settings;
uint32_t (&colors)[10] = Settings.colors;
