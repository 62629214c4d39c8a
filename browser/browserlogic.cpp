#include "browser/browserlogic.h"
#include "platform/paths.h"

#include <QDir>
#include <QLocale>
#include <QStandardPaths>
#include <algorithm>

namespace Browser {

int AutoCloseInterval(int doubleClickMs) { return doubleClickMs + doubleClickMs / 4; }

int OpeningHeight(int browserHeight) { return std::max(browserHeight, MinBrowserHeight); }

QString FormatCounts(const QString& format, const TFolderCounts& counts) {
    const qint64 values[] = {counts.Folders, counts.Files, counts.Bytes / 1024};
    int next = 0;
    QString out;
    out.reserve(format.size() + 32);
    for (qsizetype i = 0; i < format.size(); ++i) {
        if (format[i] == u'%' && i + 1 < format.size()) {
            if (format[i + 1] == u'%') {
                out += u'%';
                ++i;
                continue;
            }
            if (format[i + 1] == u'd' && next < 3) {
                out += QString::number(values[next++]);
                ++i;
                continue;
            }
        }
        out += format[i];
    }
    return out;
}

QString FormatBindingFailed(const QString& format, const QString& name) {
    QString out = format;
    return out.replace(QStringLiteral("%1"), name);
}

namespace {

QString LastName(const QString& path) {
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash < 0 ? path : path.mid(slash + 1);
}

bool IsVolumeMount(const QString& mountPoint) {
    static const QString prefixes[] = {QStringLiteral("/media"), QStringLiteral("/run/media"),
                                       QStringLiteral("/mnt")};
    return std::any_of(std::begin(prefixes), std::end(prefixes), [&](const QString& p) {
        return mountPoint != p && IsSameOrWithin(mountPoint, p);
    });
}

} // namespace

std::vector<TBrowserRoot> MakeRoots(const TBrowserTexts& texts, const QString& desktop,
                                    const QString& home,
                                    const std::vector<Platform::TMountInfo>& mounts,
                                    const std::function<QString(const Platform::TMountInfo&)>& labelOf) {
    std::vector<TBrowserRoot> roots;
    const QString cleanHome = QDir::cleanPath(home);
    if (!desktop.isEmpty() && QDir::cleanPath(desktop) != cleanHome)
        roots.push_back({texts.Desktop, QDir::cleanPath(desktop), TNodeKind::Desktop});
    roots.push_back({texts.Home, cleanHome, TNodeKind::Home});
    const size_t firstVolume = roots.size();
    for (const Platform::TMountInfo& mount : mounts) {
        if (!IsVolumeMount(mount.MountPoint)) continue;
        const QString label = labelOf ? labelOf(mount) : QString();
        const bool disc = mount.FsType == u"iso9660" || mount.FsType == u"udf";
        TBrowserRoot root{label.isEmpty() ? LastName(mount.MountPoint) : label, mount.MountPoint,
                          disc ? TNodeKind::Disc : TNodeKind::Volume};
        // A mount on top of an earlier one at the same place replaces it there.
        auto same = std::find_if(roots.begin() + firstVolume, roots.end(),
                                 [&](const TBrowserRoot& r) { return r.Path == root.Path; });
        if (same != roots.end()) *same = root;
        else roots.push_back(root);
    }
    roots.push_back({texts.FileSystem, QStringLiteral("/"), TNodeKind::FileSystem});
    return roots;
}

std::vector<TBrowserRoot> SystemRoots(const TBrowserTexts& texts) {
    QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (!Platform::DirectoryExists(desktop)) desktop.clear();
    QByteArray table;
    std::vector<Platform::TMountInfo> mounts;
    if (Platform::ReadWholeFile(QStringLiteral("/proc/self/mountinfo"), table, qint64(16) << 20))
        mounts = Platform::ParseMountInfo(table);
    return MakeRoots(texts, desktop, QDir::homePath(), mounts,
                     [](const Platform::TMountInfo& m) { return Platform::MountTable().LabelOf(m); });
}

bool IsSameOrWithin(const QString& path, const QString& folder) {
    if (folder == u"/") return path.startsWith(u'/');
    return path == folder || (path.startsWith(folder) && path.size() > folder.size() &&
                              path[folder.size()] == u'/');
}

QString CleanBrowserPath(const QString& text, const QString& home) {
    QString path = text.trimmed();
    if (path == u"~" || path.startsWith(QStringLiteral("~/"))) path = home + path.mid(1);
    if (!QDir::isAbsolutePath(path)) return {};
    return QDir::cleanPath(path);
}

std::optional<TPathWalk> WalkFromRoots(const QStringList& rootPaths, const QString& cleanPath) {
    if (!cleanPath.startsWith(u'/')) return std::nullopt;
    for (int i = 0; i < rootPaths.size(); ++i) {
        if (!IsSameOrWithin(cleanPath, rootPaths[i])) continue;
        return TPathWalk{i, cleanPath.mid(rootPaths[i].size()).split(u'/', Qt::SkipEmptyParts)};
    }
    return std::nullopt;
}

// The C locale's collation compares code points and knows no numbers, so a
// shell without a language still gets the English order.
TNaturalOrder::TNaturalOrder()
    : FCollator(QLocale().language() == QLocale::C ? QLocale(QLocale::English) : QLocale()) {
    FCollator.setNumericMode(true);
    FCollator.setCaseSensitivity(Qt::CaseInsensitive);
}

bool TNaturalOrder::operator()(const QString& a, const QString& b) const {
    const int c = FCollator.compare(a, b);
    return c != 0 ? c < 0 : a < b;
}

QRect PopupGeometry(const QRect& anchor, int height, const QRect& screen) {
    const int width = std::min(anchor.width(), screen.width());
    const int x = std::clamp(anchor.left(), screen.left(), screen.right() + 1 - width);
    const int below = screen.bottom() - anchor.bottom();
    const int above = anchor.top() - screen.top();
    if (height <= below) return QRect(x, anchor.bottom() + 1, width, height);
    if (height <= above) return QRect(x, anchor.top() - height, width, height);
    if (below >= above) return QRect(x, anchor.bottom() + 1, width, std::max(below, 0));
    return QRect(x, screen.top(), width, above);
}

TComboLayout ComboLayout(QSize size, int buttonWidth) {
    // The frame takes 2 pixels on each side; one more keeps the text off the
    // button.
    const QRect button(size.width() - 2 - buttonWidth, 2, buttonWidth, size.height() - 4);
    const QRect edit(3, 3, std::max(button.left() - 4, 0), std::max(size.height() - 6, 0));
    return {edit, button};
}

} // namespace Browser
