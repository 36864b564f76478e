#pragma once

// The window's side of the update check: the server's question through the
// notice service, the download's progress dialog with its Cancel button, the
// browser for a release page, and the hand-over of a downloaded release to
// the desktop (its package opened by the installer, or its folder shown).

#include <QString>

#include <functional>

class QWidget;

namespace clarivex {

class TAutoUpgrade;

struct AutoUpgradeWindowActions
{
    // Saves the settings before the program ends; false when that failed.
    std::function<bool()> saveSettings;
    // Ends the program (its event loop) once the release is handed over.
    std::function<void()> endProgram;
    // The application's error display, for an error of the automatic check.
    std::function<void(const QString &)> showError;
};

void attachAutoUpgradeToWindow(TAutoUpgrade &upgrade, QWidget *window,
                               AutoUpgradeWindowActions actions);

} // namespace clarivex
