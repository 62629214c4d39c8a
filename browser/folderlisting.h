#pragma once
// Reading folders for the browser. Only reads: links to folders are shown as
// the folders they name. Names starting with "." are left out, as a file
// manager does by default, and so are names no path could spell.
#include "browser/browserlogic.h"
#include <optional>
#include <vector>

namespace Browser {

struct TSubFolder {
    QString Name;
    bool HasSubFolders = false;
};

// The visible sub-folders of Path in natural order; none when it cannot be opened.
std::optional<std::vector<TSubFolder>> ListSubFolders(const QString& path, const TNaturalOrder& order);
// Whether Path holds a visible sub-folder (a very large folder of files is
// taken to have one, so that it is not read whole only to find out).
bool HasSubFolders(const QString& path);
// The visible sub-folders, the other visible entries and the bytes of the
// regular files among them; none when Path cannot be opened.
std::optional<TFolderCounts> CountFolder(const QString& path);

} // namespace Browser
