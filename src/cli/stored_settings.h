#pragma once

// The stored settings as the scan commands read them.

#include "core/shell/settings_catalogue.h"

namespace clarivex::cli {

// Loads every setting, with "ClarivexPath" naming the main program beside
// this one, and prints the notice of a damaged settings file on either way
// out. False, with the failure printed and its exit code set, when the store
// cannot be read.
[[nodiscard]] bool loadStoredSettings(SettingsCatalogue &settings, int &exitCode);

} // namespace clarivex::cli
