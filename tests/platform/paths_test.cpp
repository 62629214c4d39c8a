#include "platform/paths.h"
#include "support/fixtures.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

using namespace Platform;

namespace {

int ModeOf(const QString& path) {
    struct stat st {};
    if (stat(QFile::encodeName(path).constData(), &st) != 0) return -1;
    return int(st.st_mode & 07777);
}

// Names in Folder other than Keep: a temporary file left behind shows here.
QStringList Leftovers(const QString& folder, const QString& keep) {
    QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    names.removeAll(keep);
    return names;
}

// Sets an environment variable for one scope and restores it.
class TEnvGuard {
public:
    TEnvGuard(const char* name, const QByteArray& value) : FName(name), FHad(qEnvironmentVariableIsSet(name)),
        FOld(qgetenv(name)) { qputenv(name, value); }
    ~TEnvGuard() { FHad ? qputenv(FName, FOld) : qunsetenv(FName); }

private:
    const char* FName;
    bool FHad;
    QByteArray FOld;
};

} // namespace

TEST(Paths, WithTrailingSlash) {
    const struct { const char* in; const char* out; } cases[] = {
        {"", ""}, {"/", "/"}, {"/a", "/a/"}, {"/a/", "/a/"}, {"a/b", "a/b/"}};
    for (const auto& c : cases) EXPECT_EQ(WithTrailingSlash(c.in), QString(c.out)) << c.in;
}

TEST(Paths, ExecutableFolderHoldsTheRunningProgram) {
    const QString folder = ExecutableFolder();
    ASSERT_TRUE(folder.endsWith('/'));
    EXPECT_EQ(folder, QCoreApplication::applicationDirPath() + "/");
}

TEST(Paths, PerUserFoldersFollowXdgAndArePrivate) {
    const struct { const char* variable; QString (*folder)(); } cases[] = {
        {"XDG_CONFIG_HOME", [] { return ConfigFolder(); }}, {"XDG_CACHE_HOME", [] { return CacheFolder(); }}};
    for (const auto& c : cases) {
        TTempFolder temp;
        const QString base = temp.Path() + "base";
        TEnvGuard env(c.variable, QFile::encodeName(base));
        const QString folder = c.folder();
        EXPECT_EQ(folder, base + "/lumora/") << c.variable;
        EXPECT_TRUE(DirectoryExists(folder)) << c.variable;
        EXPECT_EQ(ModeOf(folder), 0700) << c.variable;
    }
}

TEST(Paths, PerUserFoldersIgnoreRelativeXdgValues) {
    TTempFolder temp;
    TEnvGuard config("XDG_CONFIG_HOME", "relative/place");
    TEnvGuard cache("XDG_CACHE_HOME", "relative/other");
    TEnvGuard home("HOME", QFile::encodeName(temp.Path() + "home"));
    EXPECT_EQ(ConfigFolder(), temp.Path() + "home/.config/lumora/");
    EXPECT_EQ(CacheFolder(), temp.Path() + "home/.cache/lumora/");
}

TEST(Paths, CacheFolderCanBeNamedWithoutMakingIt) {
    TTempFolder temp;
    TEnvGuard cache("XDG_CACHE_HOME", QFile::encodeName(temp.Path() + "c"));
    EXPECT_EQ(CacheFolder(false), temp.Path() + "c/lumora/");
    EXPECT_FALSE(DirectoryExists(temp.Path() + "c"));
}

TEST(Paths, ExistenceChecksTellFilesFromFolders) {
    TTempFolder temp;
    const QString file = temp.Write("f.txt", "x");
    const QString folder = temp.Make("sub");
    EXPECT_TRUE(FileExists(file));
    EXPECT_FALSE(FileExists(folder));
    EXPECT_TRUE(DirectoryExists(folder));
    EXPECT_FALSE(DirectoryExists(file));
    EXPECT_FALSE(FileExists(temp.Path() + "missing"));
    EXPECT_FALSE(FileExists(""));
    EXPECT_FALSE(DirectoryExists(""));
}

TEST(Paths, ReadOnlyAttributeRoundTrip) {
    TTempFolder temp;
    const QString file = temp.Write("f.txt", "x");
    EXPECT_FALSE(IsReadOnlyFile(file));
    ASSERT_TRUE(SetReadOnly(file, true));
    EXPECT_TRUE(IsReadOnlyFile(file));  // also for root: the mode bits count
    ASSERT_TRUE(SetReadOnly(file, false));
    EXPECT_FALSE(IsReadOnlyFile(file));
    EXPECT_FALSE(SetReadOnly(temp.Path() + "missing", true));
}

TEST(Paths, AtomicWriteCreatesWithModeAndReplaces) {
    TTempFolder temp;
    const QString file = temp.Path() + "data.ini";
    ASSERT_TRUE(WriteFileAtomically(file, "first", 0600));
    EXPECT_EQ(ReadFileBytes(file), "first");
    EXPECT_EQ(ModeOf(file), 0600);
    ASSERT_TRUE(WriteFileAtomically(file, "second, longer", 0600));
    EXPECT_EQ(ReadFileBytes(file), "second, longer");
    EXPECT_TRUE(Leftovers(temp.Path(), "data.ini").isEmpty());

    const QString open = temp.Path() + "open.ini";
    ASSERT_TRUE(WriteFileAtomically(open, "", 0644));
    EXPECT_EQ(ModeOf(open), 0644);
}

TEST(Paths, AtomicWriteNeverWidensTheMode) {
    TTempFolder temp;
    const QString file = temp.Write("data.ini", "old");
    ASSERT_EQ(chmod(QFile::encodeName(file).constData(), 0600), 0);
    ASSERT_TRUE(WriteFileAtomically(file, "new", 0644));
    EXPECT_EQ(ModeOf(file), 0600);
}

TEST(Paths, AtomicWriteFollowsSymlink) {
    TTempFolder temp;
    const QString real = temp.Write("real.ini", "old");
    const QString link = temp.Path() + "link.ini";
    ASSERT_EQ(symlink(QFile::encodeName(real).constData(), QFile::encodeName(link).constData()), 0);
    ASSERT_TRUE(WriteFileAtomically(link, "new"));
    EXPECT_EQ(ReadFileBytes(real), "new");
    EXPECT_TRUE(QFileInfo(link).isSymLink());
}

TEST(Paths, AtomicWriteFailuresLeaveNothingBehind) {
    TTempFolder temp;
    const QString folder = temp.Make("target.ini");
    errno = 0;
    EXPECT_FALSE(WriteFileAtomically(temp.Path() + "target.ini", "x"));
    EXPECT_EQ(errno, EISDIR);
    EXPECT_TRUE(DirectoryExists(folder));
    EXPECT_FALSE(WriteFileAtomically(temp.Path() + "no/such/folder/f.ini", "x"));
    EXPECT_FALSE(WriteFileAtomically("", "x"));
    EXPECT_TRUE(QDir(temp.Path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

TEST(Paths, AtomicWriteInReadOnlyPlacesKeepsOldFile) {
    if (RunningAsRoot()) GTEST_SKIP() << "root writes regardless of permissions";
    TTempFolder temp;
    const QString file = temp.Write("ro/data.ini", "old");
    const QString folder = temp.Path() + "ro";
    ASSERT_EQ(chmod(QFile::encodeName(folder).constData(), 0500), 0);
    EXPECT_FALSE(WriteFileAtomically(file, "new"));
    EXPECT_EQ(ReadFileBytes(file), "old");
    chmod(QFile::encodeName(folder).constData(), 0700);
    EXPECT_TRUE(Leftovers(folder, "data.ini").isEmpty());

    ASSERT_TRUE(SetReadOnly(file, true));
    EXPECT_FALSE(WriteFileAtomically(file, "new"));
    EXPECT_EQ(ReadFileBytes(file), "old");
}

TEST(Paths, ReadWholeFileBoundsAndRefusals) {
    TTempFolder temp;
    QByteArray data;
    const QString file = temp.Write("f.bin", QByteArray("a\0b", 3));
    ASSERT_TRUE(ReadWholeFile(file, data));
    EXPECT_EQ(data, QByteArray("a\0b", 3));

    EXPECT_FALSE(ReadWholeFile(file, data, 2));
    EXPECT_EQ(errno, EFBIG);
    EXPECT_TRUE(data.isEmpty());
    EXPECT_FALSE(ReadWholeFile(temp.Path() + "missing", data));
    EXPECT_EQ(errno, ENOENT);
    EXPECT_FALSE(ReadWholeFile(temp.Make("dir"), data));

    // A FIFO would block a plain read for ever.
    const QString fifo = temp.Path() + "pipe";
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_FALSE(ReadWholeFile(fifo, data));
}
