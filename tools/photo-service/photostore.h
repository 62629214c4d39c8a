#pragma once
// The photo service's data: accounts, sessions, shoeboxes and the photo
// index in one SQLite database, the photos as files in a folder per shoebox,
// both under one root folder:
//   ROOT/photo-service.db       (with its -wal and -shm files)
//   ROOT/photos/<shoebox id>/<seq>-<name>.jpg
// A photo counts once its file is synced and renamed into place and its row
// committed, in that order: a crash leaves at most a file without a row (or
// a temporary file), which the next Open removes; never a row without its
// whole file. These two, the database and the photo folder, are what moves
// to a database server and an object store when one machine is outgrown.
#include "platform/safefolder.h"
#include "tools/photo-service/crypto.h"
#include "tools/photo-service/sqlite.h"

#include <QString>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct TStoreLimits {
    int PasswordRounds = DefaultPasswordRounds;
    int MaxShoeboxesPerAccount = 1000;
    int MaxPhotosPerShoebox = 2000;
    int SessionSeconds = 24 * 3600;
    int MaxSessionsPerAccount = 20;
};

struct TAccount {
    int64_t Id = 0;
    std::string CustomerID, LabGroup, User;
};

struct TShoebox {
    int64_t Id = 0;
    int64_t Account = 0;
    std::string Name;
    std::string Page;   // the page token
};

struct TStoredPhoto {
    int Seq = 0;
    std::string Name;   // as the uploader named it, without a folder
    std::string File;   // its file in the shoebox folder
    int64_t Size = 0;
};

enum class TStoreResult { Ok, BadName, NotFound, Limit, Failed };

class TPhotoStore {
public:
    explicit TPhotoStore(TStoreLimits limits = {}) : FLimits(limits) {}
    ~TPhotoStore();
    TPhotoStore(const TPhotoStore&) = delete;
    TPhotoStore& operator=(const TPhotoStore&) = delete;

    // Opens ROOT (made with mode 0700 when missing), its database and photo
    // folder, and removes what an interrupted upload left.
    bool Open(const QString& root, QString& error);
    const TStoreLimits& Limits() const { return FLimits; }

    // A new account; its customer ID, or empty with Error.
    std::string AddUser(const std::string& labGroup, const std::string& user, const std::string& password,
                        QString& error);
    // A new session's token and the account's customer ID; false when no
    // account has these three.
    bool Login(const std::string& labGroup, const std::string& user, const std::string& password,
               std::string& customerID, std::string& token);
    std::optional<TAccount> Authenticate(const std::string& token);

    std::vector<TShoebox> Shoeboxes(int64_t account);
    // The account's shoebox of that name, made when it has none.
    TStoreResult FindOrCreateShoebox(int64_t account, const std::string& name, TShoebox& shoebox);
    TStoreResult Shoebox(int64_t account, int64_t id, TShoebox& shoebox);

    // A new file in the shoebox's folder for a photo being received.
    Platform::TSafeFolder::TNewFile NewPhotoFile(const TShoebox& shoebox);
    // Puts the received file in place and indexes it as the shoebox's next
    // photo; a photo with the same bytes already there is kept once (File is
    // dropped) and its place returned.
    TStoreResult AddPhoto(const TShoebox& shoebox, const std::string& name, Platform::TSafeFolder::TNewFile& file,
                          const QByteArray& sha256, int64_t size, int& seq);

    bool ShoeboxByPage(const std::string& page, TShoebox& shoebox, TAccount& owner);
    std::vector<TStoredPhoto> Photos(int64_t shoebox);
    bool ReadPhoto(const TShoebox& shoebox, int seq, QByteArray& data, int64_t maxBytes);

    // The name a photo is shown by: the last part of Raw after any "/" or
    // "\", without control characters, at most 255 characters; "photo.jpg"
    // when nothing is left.
    static std::string PhotoName(const std::string& raw);

private:
    Platform::TSafeFolder OpenShoeboxFolder(int64_t id, bool create);
    void Sweep();

    TStoreLimits FLimits;
    std::mutex FLock;
    TDatabase FDb;
    Platform::TSafeFolder FPhotos;
    int FLockFd = -1;
};
