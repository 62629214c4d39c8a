#include "tools/photo-service/sqlite.h"

#include <QFile>
#include <sqlite3.h>

TStatement::TStatement(sqlite3* db, const char* sql) {
    if (sqlite3_prepare_v2(db, sql, -1, &FStmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(FStmt);
        FStmt = nullptr;
        FFailed = true;
    }
}

TStatement::~TStatement() { sqlite3_finalize(FStmt); }

TStatement& TStatement::Bind(int index, int64_t value) {
    if (FStmt && sqlite3_bind_int64(FStmt, index, value) != SQLITE_OK) FFailed = true;
    return *this;
}

TStatement& TStatement::Bind(int index, const std::string& text) {
    if (FStmt && sqlite3_bind_text(FStmt, index, text.data(), int(text.size()), SQLITE_TRANSIENT) != SQLITE_OK)
        FFailed = true;
    return *this;
}

TStatement& TStatement::Bind(int index, const QByteArray& blob) {
    if (FStmt && sqlite3_bind_blob(FStmt, index, blob.constData(), int(blob.size()), SQLITE_TRANSIENT) != SQLITE_OK)
        FFailed = true;
    return *this;
}

bool TStatement::Step() {
    if (!FStmt || FFailed) return false;
    const int rc = sqlite3_step(FStmt);
    if (rc == SQLITE_ROW) return true;
    if (rc != SQLITE_DONE) FFailed = true;
    return false;
}

bool TStatement::Run() {
    while (Step()) {
    }
    return FStmt && !FFailed;
}

int64_t TStatement::Int(int column) const { return sqlite3_column_int64(FStmt, column); }

std::string TStatement::Text(int column) const {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(FStmt, column));
    return text ? std::string(text, size_t(sqlite3_column_bytes(FStmt, column))) : std::string();
}

QByteArray TStatement::Blob(int column) const {
    const void* data = sqlite3_column_blob(FStmt, column);
    return data ? QByteArray(static_cast<const char*>(data), sqlite3_column_bytes(FStmt, column)) : QByteArray();
}

TDatabase::~TDatabase() { sqlite3_close_v2(FDb); }

bool TDatabase::Open(const QString& path, QString& error) {
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOFOLLOW | SQLITE_OPEN_FULLMUTEX;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &FDb, flags, nullptr) != SQLITE_OK) {
        error = LastError();
        return false;
    }
    sqlite3_busy_timeout(FDb, 5000);
    // WAL: readers (the shoebox page) never wait for an upload's commit;
    // FULL sync: a committed photo survives a power cut.
    if (!Exec("PRAGMA journal_mode=WAL") || !Exec("PRAGMA synchronous=FULL") || !Exec("PRAGMA foreign_keys=ON")) {
        error = LastError();
        return false;
    }
    return true;
}

bool TDatabase::Exec(const char* sql) { return sqlite3_exec(FDb, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

int64_t TDatabase::LastInsertId() const { return sqlite3_last_insert_rowid(FDb); }

QString TDatabase::LastError() const { return FDb ? QString::fromUtf8(sqlite3_errmsg(FDb)) : QStringLiteral("no database"); }

TTransaction::TTransaction(TDatabase& db) : FDb(db) { FBegan = FDb.Exec("BEGIN IMMEDIATE"); }

TTransaction::~TTransaction() {
    if (FBegan && !FDone) FDb.Exec("ROLLBACK");
}

bool TTransaction::Commit() {
    if (!FBegan || FDone) return false;
    FDone = FDb.Exec("COMMIT");
    return FDone;
}
