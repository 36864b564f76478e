#pragma once

// The instance marker of the main program: a lock file named after the
// program title in the runtime folder (runtime_folder.h). The first instance
// holds it until the process ends; a lock left by a crashed instance is
// recognised as stale (its process is gone) and taken over.
//
// CheckPreviousInstance(activate): true when another instance runs. With
// activate, it also asks that instance, over the main window's copy-data
// socket, to come forward (copy_data.h). Whether it answers does not matter:
// a second start ends with exit code 0 either way.

#include <QString>

#include <memory>

class QLockFile;

namespace clarivex::platform {

inline constexpr char kProgramTitle[] = "Clarivex 2000";

class InstanceMarker
{
public:
    explicit InstanceMarker(const QString &title = QString::fromLatin1(kProgramTitle));
    ~InstanceMarker();
    InstanceMarker(const InstanceMarker &) = delete;
    InstanceMarker &operator=(const InstanceMarker &) = delete;

    // True when another process holds the marker. Otherwise this object now
    // holds it (also when the runtime folder cannot be used: then nobody can
    // be detected, and the program starts).
    [[nodiscard]] bool CheckPreviousInstance(bool activate);

    bool holdsMarker() const;
    QString lockPath() const;

private:
    QString m_title;
    std::unique_ptr<QLockFile> m_lock;
};

// The process-wide marker of the running program, kept until it ends.
[[nodiscard]] bool CheckPreviousInstance(bool activate);

// Asks the running main program to come forward; true when it answered.
bool requestComeForward(int timeoutMs = 5000);

} // namespace clarivex::platform
