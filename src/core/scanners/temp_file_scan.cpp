#include "core/scanners/temp_file_scan.h"

#include "core/base/formats.h"
#include "core/search/kv_find_file.h"
#include "core/search/kv_mask.h"

#include <QFile>

#include <utility>

namespace clarivex {

TempScanOptions TempScanOptions::fromSettings(const TempFileSettings &settings,
                                              const QString &sizeText)
{
    TempScanOptions options;
    options.groups = settings.FilesGroup;
    options.foldersToSkip = settings.FilesToSkip;
    options.takeSettings(settings, sizeText);
    return options;
}

bool TempFileScan::configure(TKvFindFile &finder, const TempScanOptions &options)
{
    options.applyTo(finder);

    const QString masks = scanMaskText(options.groups);
    if (masks.isEmpty()) return false;
    finder.SetFileMask(masks);

    m_skipFolders.clear();
    for (const CheckEntry &entry : options.foldersToSkip) {
        if (entry.checked && !entry.text.isEmpty()) // an empty entry occurs nowhere
            m_skipFolders << lowerName(entry.text.toUtf8());
    }
    return true;
}

QString TempFileScan::searchingText(const ScanDrive &drive)
{
    const QString root = QFile::decodeName(drive.root);
    if (!drive.label.isEmpty())
        return QStringLiteral("Searching Files on %1 (%2) ...").arg(drive.label, root);
    return QStringLiteral("Searching Files on %1 ...")
        .arg(drive.caption.isEmpty() ? root : drive.caption);
}

void TempFileScan::setStatus(int panel, const QString &text) const
{
    if (status) status(panel, text);
}

void TempFileScan::run(TKvFindFile &finder, const QList<ScanDrive> &drives)
{
    FoundFileCount = 0;
    FoundByteTotal = 0;
    CandidateKeys.clear();
    SkipCurrentFolder = false;
    ProtectedFoldersSkipped = 0;
    Stopped = false;
    m_protectedTop.clear();
    m_drives = drives;
    m_next = 0;
    finder.OnChDir = [this](const QByteArray &name, bool &) { ChDir(name); };
    finder.OnAddFile = [this](const QByteArray &path, const TFindData &data, bool &) {
        AddFile(path, data);
    };
    finder.AfterExecute = [this](TKvFindFile &sender) { AfterExecute(sender); };
    // Each drive's walk stays on its volume: a nested volume is a drive of its own.
    const bool stay = std::exchange(finder.StayOnFileSystem, true);
    if (!m_drives.isEmpty()) startDrive(finder, 0);
    finder.StayOnFileSystem = stay;
    finder.OnChDir = nullptr;
    finder.OnAddFile = nullptr;
    finder.AfterExecute = nullptr;
}

void TempFileScan::startDrive(TKvFindFile &finder, qsizetype index)
{
    m_next = index + 1;
    setStatus(0, searchingText(m_drives[index]));
    setStatus(1, QString());
    (void)finder.Execute(m_drives[index].root);
}

bool TempFileScan::AfterExecute(TKvFindFile &finder)
{
    // A Stop ends the scan, not only the walk of the drive it came in.
    if (finder.Stopped()) Stopped = true;
    if (!Stopped && m_next < m_drives.size()) {
        startDrive(finder, m_next); // the next drive runs inside this end event
        return true;
    }
    return false;
}

void TempFileScan::ChDir(const QByteArray &name)
{
    const QByteArray lower = lowerName(name);
    SkipCurrentFolder = skipsAsProtected(name);
    for (const QByteArray &entry : m_skipFolders) {
        if (lower.contains(entry)) {
            SkipCurrentFolder = true;
            break;
        }
    }
    const QString shown = QFile::decodeName(name);
    setStatus(1, SkipCurrentFolder ? QStringLiteral("Skipping ") + shown : shown);
}

bool TempFileScan::skipsAsProtected(const QByteArray &folder)
{
    if (!protection.isProtectedFolder(folder)) return false;
    // The walk goes depth first: a folder below the last one counted is part
    // of the same protected branch ("/var/tmp" between them is not protected).
    if (m_protectedTop.isEmpty() || !folder.startsWith(m_protectedTop)) {
        m_protectedTop = folder.endsWith('/') ? folder : folder + '/';
        ++ProtectedFoldersSkipped;
    }
    return true;
}

void TempFileScan::AddFile(const QByteArray &path, const TFindData &data)
{
    if (SkipCurrentFolder || !addFile) return;
    qint64 size = 0;
    if (!addFile(path, data, size)) return; // vanished before it could be listed: not counted
    CandidateKeys.append(path + data.name + '/');
    FoundByteTotal += size;
    ++FoundFileCount;
    if (totalsChanged) totalsChanged();
    setStatus(1, QFile::decodeName(path));
}

} // namespace clarivex
