#include "platform/drives.h"

#include <QDir>
#include <QStorageInfo>

#include <algorithm>

namespace kolva {

namespace {

bool isCardCandidate(const QStorageInfo& info)
{
    if (!info.isValid() || !info.isReady())
        return false;
#ifdef Q_OS_WIN
    return true;
#else
    const QString root = info.rootPath();
    if (root == QLatin1String("/"))
        return true;
    // Pseudo file systems, loop-mounted packages and boot partitions never hold a card.
    const QByteArray device = info.device();
    const QByteArray type = info.fileSystemType();
    if (!device.startsWith("/dev/") || device.startsWith("/dev/loop"))
        return false;
    if (type == "squashfs" || type == "overlay" || type == "tmpfs")
        return false;
    if (root.startsWith(QLatin1String("/boot")) || root.startsWith(QLatin1String("/snap")))
        return false;
    return true;
#endif
}

} // namespace

QList<Volume> SystemDrives::volumes() const
{
    const QString systemRoot = QStorageInfo::root().rootPath();
    QList<Volume> result;
    for (const QStorageInfo& info : QStorageInfo::mountedVolumes()) {
        if (!isCardCandidate(info))
            continue;
        Volume volume;
        volume.rootPath = info.rootPath();
        volume.name = info.name();
        volume.isSystem = QDir(volume.rootPath) == QDir(systemRoot);
        result.append(volume);
    }
    std::stable_sort(result.begin(), result.end(), [](const Volume& a, const Volume& b) {
        if (a.isSystem != b.isSystem)
            return a.isSystem;
        return a.rootPath < b.rootPath;
    });
    return result;
}

} // namespace kolva
