#pragma once
// A thin hold on SQLite: one connection, statements prepared with bound
// values only (never text pasted into SQL).
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

class TStatement {
public:
    TStatement(sqlite3* db, const char* sql);
    ~TStatement();
    TStatement(const TStatement&) = delete;
    TStatement& operator=(const TStatement&) = delete;

    bool Ok() const { return FStmt != nullptr; }
    TStatement& Bind(int index, int64_t value);
    TStatement& Bind(int index, const std::string& text);
    TStatement& Bind(int index, const QByteArray& blob);
    // True while a row is there; false at the end or on an error (Failed).
    bool Step();
    bool Failed() const { return FFailed; }
    // Runs a statement that returns no rows; true when it did.
    bool Run();
    int64_t Int(int column) const;
    std::string Text(int column) const;
    QByteArray Blob(int column) const;

private:
    sqlite3_stmt* FStmt = nullptr;
    bool FFailed = false;
};

class TDatabase {
public:
    TDatabase() = default;
    ~TDatabase();
    TDatabase(const TDatabase&) = delete;
    TDatabase& operator=(const TDatabase&) = delete;

    // Opens (or makes) the file; a link in its place is refused.
    bool Open(const QString& path, QString& error);
    bool Exec(const char* sql);
    sqlite3* Handle() const { return FDb; }
    int64_t LastInsertId() const;
    QString LastError() const;

private:
    sqlite3* FDb = nullptr;
};

// BEGIN IMMEDIATE .. COMMIT, rolled back unless committed.
class TTransaction {
public:
    explicit TTransaction(TDatabase& db);
    ~TTransaction();
    bool Began() const { return FBegan; }
    bool Commit();

private:
    TDatabase& FDb;
    bool FBegan = false;
    bool FDone = false;
};
