#pragma once
// The folder browser's arithmetic and path rules, kept out of the widgets:
// roots, path walks, the natural order of names, the status text, the timing
// guards and where the pop-up goes.
#include "platform/mounts.h"
#include <QCollator>
#include <QRect>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

namespace Browser {

// A press on the drop button this soon after a close does not reopen the tree,
// so the press that closed it (outside the pop-up) is not taken as a new one.
constexpr int CloseGuardMs = 250;
// While the tree works or a key is down in it, the auto-close timer is held off.
constexpr int HoldMs = 10000;
constexpr int MinBrowserHeight = 50;
constexpr int DefaultBrowserHeight = 200;

// A click on a folder closes the tree after the double-click time and a
// quarter, so a double-click is never cut short by it.
int AutoCloseInterval(int doubleClickMs);
int OpeningHeight(int browserHeight);

// The texts the owner hands in (its string table has them).
struct TBrowserTexts {
    QString Counts = QStringLiteral("%d folder(s).  %d file(s).  %d K.");
    QString BindingFailed = QStringLiteral("Cannot create binding for object \"%1\"");
    QString Desktop = QStringLiteral("Desktop");
    QString Home = QStringLiteral("Home");
    QString FileSystem = QStringLiteral("File System");
};

// What a folder holds, as the status line shows it; Folders is -1 until counted.
struct TFolderCounts {
    int Folders = -1;
    int Files = 0;
    qint64 Bytes = 0;
};

// Format with each "%d" taken by the folders, the files and the kilobytes in
// turn (64-bit), "%%" as "%"; nothing else of the text is interpreted.
QString FormatCounts(const QString& format, const TFolderCounts& counts);
QString FormatBindingFailed(const QString& format, const QString& name);

// What a node of the tree is, for its icon and its name.
enum class TNodeKind { Folder, Desktop, Home, Volume, Disc, FileSystem };

struct TBrowserRoot {
    QString Name;
    QString Path;
    TNodeKind Kind;
};

// Desktop (when given), Home, the volumes mounted under /media, /run/media and
// /mnt in mount-table order (label, else the mount point's last name), "/".
std::vector<TBrowserRoot> MakeRoots(const TBrowserTexts& texts, const QString& desktop,
                                    const QString& home,
                                    const std::vector<Platform::TMountInfo>& mounts,
                                    const std::function<QString(const Platform::TMountInfo&)>& labelOf);
// The roots of this machine, read now.
std::vector<TBrowserRoot> SystemRoots(const TBrowserTexts& texts);

// True when Path is Folder or lies inside it, compared by whole components.
bool IsSameOrWithin(const QString& path, const QString& folder);
// A typed path made absolute and clean ("~" is Home); empty when relative.
QString CleanBrowserPath(const QString& text, const QString& home);

// Where a path is in the tree: the first root holding it and the names below it.
struct TPathWalk {
    int Root = -1;
    QStringList Components;
    bool operator==(const TPathWalk&) const = default;
};
std::optional<TPathWalk> WalkFromRoots(const QStringList& rootPaths, const QString& cleanPath);

// Names in the order a person expects: digits by value, case ignored; names
// equal that way keep a fixed order.
class TNaturalOrder {
public:
    TNaturalOrder();
    bool operator()(const QString& a, const QString& b) const;

private:
    QCollator FCollator;
};

// The pop-up under Anchor (global), kept on Screen: above when it does not fit
// below but fits there, else on the side with more room, cut to it.
QRect PopupGeometry(const QRect& anchor, int height, const QRect& screen);

struct TComboLayout {
    QRect Edit;
    QRect Button;
};
// The edit at (3, 3) and the drop button inside the combo's right edge.
TComboLayout ComboLayout(QSize size, int buttonWidth);

} // namespace Browser
