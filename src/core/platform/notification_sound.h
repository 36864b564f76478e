#pragma once

// The two sound requests the program makes: play a WAV file without waiting,
// and play the desktop's information sound. Through libcanberra; where no
// sound server runs, a request does nothing.

#include <QString>

#include <memory>

namespace clarivex::platform {

// The WAV file a path names: as given when absolute, else in the current
// folder or beside the program. Empty when there is no such file.
[[nodiscard]] QString findWavFile(const QString &path);

class NotificationSound
{
public:
    virtual ~NotificationSound() = default;
    virtual void playFile(const QString &path) = 0;
    virtual void playInformation() = 0;

    // The options' request: the theme sound, or the WAV file, which falls
    // back to the theme sound when it cannot be found. Neither: silence.
    void play(bool themeSound, bool wavFile, const QString &path);

    // The sound in use by the program (libcanberra unless replaced).
    static NotificationSound &instance();
    // Replaces it (tests record the requests); null restores the default.
    static void setInstance(std::unique_ptr<NotificationSound> sound);
};

} // namespace clarivex::platform
