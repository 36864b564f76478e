#include "core/utilities/system_tools.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace clarivex {

const QList<SystemTool> &systemTools()
{
    // Linux file systems need no defragmenting; the disk utility is where a
    // desktop user checks, repairs and tunes drives, and dconf-editor is the
    // desktop's settings tree.
    static const QList<SystemTool> tools = {
        {10,
         QStringLiteral("Disk Defragmenter"),
         {QStringLiteral("gnome-disks"), QStringLiteral("partitionmanager"),
          QStringLiteral("gparted")},
         QStringLiteral("Disk Defragmenter is not available for Windows NT/2000."),
         QStringLiteral("You do not have Disk Defragmenter installed.")},
        {11,
         QStringLiteral("ScanDisk"),
         {QStringLiteral("gnome-disks"), QStringLiteral("partitionmanager"),
          QStringLiteral("gparted")},
         QStringLiteral("ScanDisk is not available for Windows NT/2000."),
         QStringLiteral("You do not have ScanDisk installed.")},
        {12,
         QStringLiteral("Registry  Editor"),
         {QStringLiteral("dconf-editor")},
         QStringLiteral("You do not have Registry Editor installed."),
         QStringLiteral("You do not have Registry Editor installed.")},
    };
    return tools;
}

const SystemTool *systemToolForTag(int tag)
{
    for (const SystemTool &tool : systemTools())
        if (tool.tag == tag) return &tool;
    return nullptr;
}

QString programPathForTag(int tag)
{
    const SystemTool *tool = systemToolForTag(tag);
    if (!tool) return {};
    for (const QString &program : tool->programs) {
        const QString path = QStandardPaths::findExecutable(program);
        if (!path.isEmpty()) return path;
    }
    return {};
}

bool RunProgram(const QString &path)
{
    if (path.isEmpty() || !QFileInfo(path).isExecutable()) return false;
    return QProcess::startDetached(path, {});
}

QString failureMessageForTag(int tag, bool windowsNT)
{
    const SystemTool *tool = systemToolForTag(tag);
    if (!tool) return {};
    return windowsNT ? tool->messageNT : tool->message;
}

} // namespace clarivex
