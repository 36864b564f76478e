#include "core/platform/notification_sound.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <canberra.h>

namespace clarivex::platform {

namespace {

class CanberraSound : public NotificationSound
{
public:
    ~CanberraSound() override
    {
        if (m_context) ca_context_destroy(m_context);
    }

    void playFile(const QString &path) override
    {
        if (ca_context *c = context())
            ca_context_play(c, 0, CA_PROP_MEDIA_FILENAME, QFile::encodeName(path).constData(),
                            CA_PROP_EVENT_DESCRIPTION, "Clarivex 2000 notification", nullptr);
    }

    void playInformation() override
    {
        if (ca_context *c = context())
            ca_context_play(c, 0, CA_PROP_EVENT_ID, "dialog-information", nullptr);
    }

private:
    // Opened on first use; a machine without a sound server stays silent.
    ca_context *context()
    {
        if (!m_tried) {
            m_tried = true;
            if (ca_context_create(&m_context) == CA_SUCCESS) {
                ca_context_change_props(m_context, CA_PROP_APPLICATION_NAME, "Clarivex 2000",
                                        nullptr);
                if (ca_context_open(m_context) != CA_SUCCESS) {
                    ca_context_destroy(m_context);
                    m_context = nullptr;
                }
            } else {
                m_context = nullptr;
            }
        }
        return m_context;
    }

    ca_context *m_context = nullptr;
    bool m_tried = false;
};

std::unique_ptr<NotificationSound> &current()
{
    static std::unique_ptr<NotificationSound> sound;
    return sound;
}

} // namespace

QString findWavFile(const QString &path)
{
    if (path.trimmed().isEmpty()) return {};
    QStringList candidates{path};
    if (QFileInfo(path).isRelative())
        candidates << QDir(QCoreApplication::applicationDirPath()).filePath(path);
    for (const QString &candidate : candidates) {
        if (QFileInfo(candidate).isFile()) return candidate;
    }
    return {};
}

void NotificationSound::play(bool themeSound, bool wavFile, const QString &path)
{
    if (themeSound) {
        playInformation();
    } else if (wavFile) {
        const QString found = findWavFile(path);
        if (found.isEmpty())
            playInformation(); // the chosen file is missing: a sound all the same
        else
            playFile(found);
    }
}

NotificationSound &NotificationSound::instance()
{
    if (!current()) current() = std::make_unique<CanberraSound>();
    return *current();
}

void NotificationSound::setInstance(std::unique_ptr<NotificationSound> sound)
{
    current() = std::move(sound);
}

} // namespace clarivex::platform
