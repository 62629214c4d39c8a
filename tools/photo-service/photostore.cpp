#include "tools/photo-service/photostore.h"
#include "suite/upload/replies.h"
#include "suite/upload/upload.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStringList>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using Platform::TSafeFolder;

namespace {

const char* const Schema = R"(
CREATE TABLE IF NOT EXISTS accounts (
  id INTEGER PRIMARY KEY,
  customer_id TEXT NOT NULL UNIQUE,
  labgroup TEXT NOT NULL,
  user TEXT NOT NULL,
  salt BLOB NOT NULL,
  hash BLOB NOT NULL,
  rounds INTEGER NOT NULL,
  UNIQUE (labgroup, user));
CREATE TABLE IF NOT EXISTS sessions (
  token_hash BLOB PRIMARY KEY,
  account INTEGER NOT NULL REFERENCES accounts(id),
  expires INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS shoeboxes (
  id INTEGER PRIMARY KEY,
  account INTEGER NOT NULL REFERENCES accounts(id),
  name TEXT NOT NULL,
  page TEXT NOT NULL UNIQUE,
  UNIQUE (account, name));
CREATE TABLE IF NOT EXISTS photos (
  shoebox INTEGER NOT NULL REFERENCES shoeboxes(id),
  seq INTEGER NOT NULL,
  name TEXT NOT NULL,
  file TEXT NOT NULL,
  size INTEGER NOT NULL,
  sha256 BLOB NOT NULL,
  PRIMARY KEY (shoebox, seq),
  UNIQUE (shoebox, sha256));
)";

int64_t Now() { return QDateTime::currentSecsSinceEpoch(); }

// The photo's file name: its place, then its name in letters that need no
// quoting anywhere, so that a listing of the folder reads in upload order.
QString FileNameFor(int seq, const std::string& name) {
    QString safe;
    for (char c : name) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                           c == '-' || c == '_';
        safe += plain ? QChar(c) : QChar('_');
        if (safe.size() >= 80) break;
    }
    while (safe.startsWith('.')) safe.remove(0, 1);
    if (!safe.endsWith(QLatin1String(".jpg"), Qt::CaseInsensitive) &&
        !safe.endsWith(QLatin1String(".jpeg"), Qt::CaseInsensitive))
        safe += QLatin1String(".jpg");
    return QStringLiteral("%1-%2").arg(seq, 4, 10, QChar('0')).arg(safe);
}

TShoebox ShoeboxFrom(const TStatement& s) {
    TShoebox box;
    box.Id = s.Int(0);
    box.Account = s.Int(1);
    box.Name = s.Text(2);
    box.Page = s.Text(3);
    return box;
}

} // namespace

TPhotoStore::~TPhotoStore() {
    if (FLockFd >= 0) close(FLockFd);
}

std::string TPhotoStore::PhotoName(const std::string& raw) {
    const size_t cut = raw.find_last_of("/\\");
    QString name = QString::fromUtf8(cut == std::string::npos ? raw : raw.substr(cut + 1));
    QString clean;
    for (const uint c : name.toUcs4()) {
        if (c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0xFFFD || (c >= 0xD800 && c <= 0xDFFF)) continue;
        clean += QString::fromUcs4(reinterpret_cast<const char32_t*>(&c), 1);
    }
    clean = clean.trimmed();
    const QList<uint> chars = clean.toUcs4();
    if (chars.size() > UploadMaxNameChars)
        clean = QString::fromUcs4(reinterpret_cast<const char32_t*>(chars.constData()), UploadMaxNameChars);
    if (clean.isEmpty() || clean == QLatin1String(".") || clean == QLatin1String("..")) return "photo.jpg";
    return clean.toStdString();
}

bool TPhotoStore::Open(const QString& root, QString& error) {
    QDir().mkpath(QFileInfo(root).absolutePath());
    TSafeFolder folder = TSafeFolder::Open(root, true, 0700);
    if (!folder.IsOpen()) {
        error = QStringLiteral("cannot open %1: %2").arg(root, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    // One server per root: the clean-up below would take another's
    // uploads in progress for leftovers.
    const QByteArray lockPath = QFile::encodeName(folder.Path() + QStringLiteral("photo-service.lock"));
    FLockFd = open(lockPath.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (FLockFd < 0 || flock(FLockFd, LOCK_EX | LOCK_NB) != 0) {
        error = QStringLiteral("%1 is in use by another photo-service").arg(root);
        return false;
    }
    FPhotos = folder.OpenFolder(QStringLiteral("photos"), true, 0700);
    if (!FPhotos.IsOpen()) {
        error = QStringLiteral("cannot open %1photos: %2").arg(folder.Path(), QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    if (!FDb.Open(folder.Path() + QStringLiteral("photo-service.db"), error)) return false;
    if (!FDb.Exec(Schema)) {
        error = FDb.LastError();
        return false;
    }
    Sweep();
    return true;
}

TSafeFolder TPhotoStore::OpenShoeboxFolder(int64_t id, bool create) {
    return FPhotos.OpenFolder(QString::number(id), create, 0700);
}

// What a killed upload leaves: temporary files, and files whose row was
// never committed. Neither was ever on a page.
void TPhotoStore::Sweep() {
    std::lock_guard lock(FLock);
    TStatement boxes(FDb.Handle(), "SELECT id FROM shoeboxes");
    while (boxes.Step()) {
        const int64_t id = boxes.Int(0);
        TSafeFolder folder = OpenShoeboxFolder(id, false);
        if (!folder.IsOpen()) continue;
        QSet<QString> indexed;
        TStatement files(FDb.Handle(), "SELECT file FROM photos WHERE shoebox = ?");
        files.Bind(1, id);
        while (files.Step()) indexed.insert(QString::fromStdString(files.Text(0)));
        for (const TSafeFolder::TEntry& entry : folder.List()) {
            if (entry.Kind == TSafeFolder::TKind::File && !indexed.contains(entry.Name)) folder.RemoveFile(entry.Name);
        }
    }
}

std::string TPhotoStore::AddUser(const std::string& labGroup, const std::string& user, const std::string& password,
                                 QString& error) {
    if (labGroup.empty() || labGroup.size() > 64 || !IsValidName(QByteArray::fromStdString(labGroup)) ||
        !IsValidName(QByteArray::fromStdString(user)) || password.empty() || password.size() > 1024) {
        error = QStringLiteral("lab group (1 to 64 bytes), user (1 to 255 characters) and password (1 to 1024 bytes) are needed");
        return {};
    }
    const QByteArray salt = RandomBytes(PasswordSaltBytes);
    const QByteArray hash = HashPassword(QByteArray::fromStdString(password), salt, FLimits.PasswordRounds);
    std::lock_guard lock(FLock);
    for (int tries = 0; tries < 20; ++tries) {
        const QByteArray r = RandomBytes(4);
        uint32_t n = 0;
        std::memcpy(&n, r.constData(), 4);
        const std::string customerID = std::to_string(100000000 + n % 900000000);
        TStatement taken(FDb.Handle(), "SELECT 1 FROM accounts WHERE customer_id = ?");
        taken.Bind(1, customerID);
        if (taken.Step()) continue;
        TStatement insert(FDb.Handle(),
                          "INSERT INTO accounts (customer_id, labgroup, user, salt, hash, rounds) VALUES (?, ?, ?, ?, ?, ?)");
        insert.Bind(1, customerID).Bind(2, labGroup).Bind(3, user).Bind(4, salt).Bind(5, hash).Bind(6, int64_t(FLimits.PasswordRounds));
        if (!insert.Run()) {
            error = QStringLiteral("cannot add the account: %1").arg(FDb.LastError());
            return {};
        }
        return customerID;
    }
    error = QStringLiteral("no free customer ID");
    return {};
}

bool TPhotoStore::Login(const std::string& labGroup, const std::string& user, const std::string& password,
                        std::string& customerID, std::string& token) {
    int64_t account = 0;
    QByteArray salt, hash;
    int rounds = FLimits.PasswordRounds;
    {
        std::lock_guard lock(FLock);
        TStatement find(FDb.Handle(), "SELECT id, customer_id, salt, hash, rounds FROM accounts WHERE labgroup = ? AND user = ?");
        find.Bind(1, labGroup).Bind(2, user);
        if (find.Step()) {
            account = find.Int(0);
            customerID = find.Text(1);
            salt = find.Blob(2);
            hash = find.Blob(3);
            rounds = int(find.Int(4));
        }
    }
    // An unknown name costs as much as a wrong password, so the time of a
    // refusal does not tell which names exist. The hash runs unlocked.
    const QByteArray tried =
        HashPassword(QByteArray::fromStdString(password), account ? salt : QByteArray(PasswordSaltBytes, 'x'), rounds);
    if (!account || !SameSecret(tried, hash)) {
        customerID.clear();
        return false;
    }
    token = RandomToken(32);
    std::lock_guard lock(FLock);
    TTransaction tx(FDb);
    TStatement expired(FDb.Handle(), "DELETE FROM sessions WHERE expires < ?");
    expired.Bind(1, Now()).Run();
    // The oldest sessions of the account go when it has too many.
    TStatement trim(FDb.Handle(),
                    "DELETE FROM sessions WHERE account = ? AND token_hash NOT IN "
                    "(SELECT token_hash FROM sessions WHERE account = ? ORDER BY expires DESC LIMIT ?)");
    trim.Bind(1, account).Bind(2, account).Bind(3, int64_t(FLimits.MaxSessionsPerAccount - 1)).Run();
    TStatement insert(FDb.Handle(), "INSERT INTO sessions (token_hash, account, expires) VALUES (?, ?, ?)");
    insert.Bind(1, Sha256(QByteArray::fromStdString(token))).Bind(2, account).Bind(3, Now() + FLimits.SessionSeconds);
    return insert.Run() && tx.Commit();
}

std::optional<TAccount> TPhotoStore::Authenticate(const std::string& token) {
    if (!IsTokenText(token, 128)) return std::nullopt;
    std::lock_guard lock(FLock);
    TStatement find(FDb.Handle(),
                    "SELECT a.id, a.customer_id, a.labgroup, a.user FROM sessions s JOIN accounts a ON a.id = s.account "
                    "WHERE s.token_hash = ? AND s.expires >= ?");
    find.Bind(1, Sha256(QByteArray::fromStdString(token))).Bind(2, Now());
    if (!find.Step()) return std::nullopt;
    TAccount account;
    account.Id = find.Int(0);
    account.CustomerID = find.Text(1);
    account.LabGroup = find.Text(2);
    account.User = find.Text(3);
    return account;
}

std::vector<TShoebox> TPhotoStore::Shoeboxes(int64_t account) {
    std::lock_guard lock(FLock);
    std::vector<TShoebox> out;
    TStatement list(FDb.Handle(), "SELECT id, account, name, page FROM shoeboxes WHERE account = ? ORDER BY id LIMIT ?");
    list.Bind(1, account).Bind(2, int64_t(FLimits.MaxShoeboxesPerAccount));
    while (list.Step()) out.push_back(ShoeboxFrom(list));
    return out;
}

TStoreResult TPhotoStore::FindOrCreateShoebox(int64_t account, const std::string& name, TShoebox& shoebox) {
    if (!IsValidName(QByteArray::fromStdString(name)) || QString::fromStdString(name).trimmed().toStdString() != name)
        return TStoreResult::BadName;
    std::lock_guard lock(FLock);
    TTransaction tx(FDb);
    if (!tx.Began()) return TStoreResult::Failed;
    TStatement find(FDb.Handle(), "SELECT id, account, name, page FROM shoeboxes WHERE account = ? AND name = ?");
    find.Bind(1, account).Bind(2, name);
    if (find.Step()) {
        shoebox = ShoeboxFrom(find);
        return TStoreResult::Ok;
    }
    TStatement count(FDb.Handle(), "SELECT COUNT(*) FROM shoeboxes WHERE account = ?");
    count.Bind(1, account);
    if (!count.Step()) return TStoreResult::Failed;
    if (count.Int(0) >= FLimits.MaxShoeboxesPerAccount) return TStoreResult::Limit;
    TStatement insert(FDb.Handle(), "INSERT INTO shoeboxes (account, name, page) VALUES (?, ?, ?)");
    const std::string page = RandomToken(24);
    insert.Bind(1, account).Bind(2, name).Bind(3, page);
    if (!insert.Run()) return TStoreResult::Failed;
    shoebox.Id = FDb.LastInsertId();
    shoebox.Account = account;
    shoebox.Name = name;
    shoebox.Page = page;
    return tx.Commit() ? TStoreResult::Ok : TStoreResult::Failed;
}

TStoreResult TPhotoStore::Shoebox(int64_t account, int64_t id, TShoebox& shoebox) {
    std::lock_guard lock(FLock);
    TStatement find(FDb.Handle(), "SELECT id, account, name, page FROM shoeboxes WHERE id = ? AND account = ?");
    find.Bind(1, id).Bind(2, account);
    if (!find.Step()) return find.Failed() ? TStoreResult::Failed : TStoreResult::NotFound;
    shoebox = ShoeboxFrom(find);
    return TStoreResult::Ok;
}

TSafeFolder::TNewFile TPhotoStore::NewPhotoFile(const TShoebox& shoebox) {
    TSafeFolder folder = OpenShoeboxFolder(shoebox.Id, true);
    return folder.IsOpen() ? folder.CreateNewFile(0600) : TSafeFolder::TNewFile();
}

TStoreResult TPhotoStore::AddPhoto(const TShoebox& shoebox, const std::string& name, TSafeFolder::TNewFile& file,
                                   const QByteArray& sha256, int64_t size, int& seq) {
    std::lock_guard lock(FLock);
    TTransaction tx(FDb);
    if (!tx.Began()) return TStoreResult::Failed;
    TStatement same(FDb.Handle(), "SELECT seq FROM photos WHERE shoebox = ? AND sha256 = ?");
    same.Bind(1, shoebox.Id).Bind(2, sha256);
    if (same.Step()) {
        seq = int(same.Int(0));
        file = {};
        return TStoreResult::Ok;
    }
    TStatement last(FDb.Handle(), "SELECT COUNT(*), COALESCE(MAX(seq), 0) FROM photos WHERE shoebox = ?");
    last.Bind(1, shoebox.Id);
    if (!last.Step()) return TStoreResult::Failed;
    if (last.Int(0) >= FLimits.MaxPhotosPerShoebox) return TStoreResult::Limit;
    seq = int(last.Int(1)) + 1;
    const QString fileName = FileNameFor(seq, name);
    // The file is whole and in place before its row exists.
    if (!file.Commit(fileName)) return TStoreResult::Failed;
    TStatement insert(FDb.Handle(), "INSERT INTO photos (shoebox, seq, name, file, size, sha256) VALUES (?, ?, ?, ?, ?, ?)");
    insert.Bind(1, shoebox.Id).Bind(2, int64_t(seq)).Bind(3, name).Bind(4, fileName.toStdString()).Bind(5, size).Bind(6, sha256);
    if (insert.Run() && tx.Commit()) return TStoreResult::Ok;
    OpenShoeboxFolder(shoebox.Id, false).RemoveFile(fileName);
    return TStoreResult::Failed;
}

bool TPhotoStore::ShoeboxByPage(const std::string& page, TShoebox& shoebox, TAccount& owner) {
    if (!IsTokenText(page, UploadMaxResultTextChars)) return false;
    std::lock_guard lock(FLock);
    TStatement find(FDb.Handle(),
                    "SELECT s.id, s.account, s.name, s.page, a.customer_id, a.labgroup FROM shoeboxes s "
                    "JOIN accounts a ON a.id = s.account WHERE s.page = ?");
    find.Bind(1, page);
    if (!find.Step()) return false;
    shoebox = ShoeboxFrom(find);
    owner.Id = shoebox.Account;
    owner.CustomerID = find.Text(4);
    owner.LabGroup = find.Text(5);
    return true;
}

std::vector<TStoredPhoto> TPhotoStore::Photos(int64_t shoebox) {
    std::lock_guard lock(FLock);
    std::vector<TStoredPhoto> out;
    TStatement list(FDb.Handle(), "SELECT seq, name, file, size FROM photos WHERE shoebox = ? ORDER BY seq");
    list.Bind(1, shoebox);
    while (list.Step()) {
        TStoredPhoto photo;
        photo.Seq = int(list.Int(0));
        photo.Name = list.Text(1);
        photo.File = list.Text(2);
        photo.Size = list.Int(3);
        out.push_back(std::move(photo));
    }
    return out;
}

bool TPhotoStore::ReadPhoto(const TShoebox& shoebox, int seq, QByteArray& data, int64_t maxBytes) {
    std::string file;
    {
        std::lock_guard lock(FLock);
        TStatement find(FDb.Handle(), "SELECT file FROM photos WHERE shoebox = ? AND seq = ?");
        find.Bind(1, shoebox.Id).Bind(2, int64_t(seq));
        if (!find.Step()) return false;
        file = find.Text(0);
    }
    TSafeFolder folder = OpenShoeboxFolder(shoebox.Id, false);
    return folder.IsOpen() && folder.ReadFile(QString::fromStdString(file), data, maxBytes);
}
