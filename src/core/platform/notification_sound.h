#pragma once

// The two sound requests the program makes: play a WAV file without waiting,
// and play the desktop's information sound. Through libcanberra; where no
// sound server runs, a request does nothing.

#include <QString>

#include <memory>

namespace clarivex::platform {

class NotificationSound
{
public:
    virtual ~NotificationSound() = default;
    virtual void playFile(const QString &path) = 0;
    virtual void playInformation() = 0;

    // The sound in use by the program (libcanberra unless replaced).
    static NotificationSound &instance();
    // Replaces it (tests record the requests); null restores the default.
    static void setInstance(std::unique_ptr<NotificationSound> sound);
};

} // namespace clarivex::platform
