#pragma once

// The values of the web update check in "Settings\Update", loaded and saved
// as part of the settings catalogue. No control shows them; a user or a
// script sets them with `clarivex-cli reg set`:
//   AutoCheck  flag, default true: the check a few seconds after start
//   InfoURL    text: the address of the update information. Its default is
//              the build's CLARIVEX_UPDATE_URL, which the environment
//              variable of the same name replaces when set (tests point it
//              at a local server, or at nothing). Empty: no check at all.
// InfoURL is only read, never written, so that a new release's default
// reaches everyone who has not set one.

#include "core/base/settings_types.h"

namespace clarivex {

class TRegIniFile;

// The address a release was built to ask, or the environment's replacement.
[[nodiscard]] QString defaultUpdateInfoUrl();

void loadUpdateSettings(TRegIniFile &ini, UpdateSettings &settings);
void saveUpdateSettings(TRegIniFile &ini, const UpdateSettings &settings);

} // namespace clarivex
