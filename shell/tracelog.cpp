#include "shell/tracelog.h"
#include "platform/errors.h"
#include "platform/paths.h"

#include <QCoreApplication>
#include <QHash>
#include <QThread>
#include <QTime>

#include <atomic>
#include <cstdio>
#include <memory>
#include <mutex>
#include <unistd.h>

namespace TraceLog {

namespace {

#ifdef LUMORA_TRACE_ON
constexpr bool BuiltOn = true;
#else
constexpr bool BuiltOn = false;
#endif

std::atomic<bool> Master{BuiltOn};
std::atomic<unsigned> Mask{0xE1};

// Per thread; no lock needed. The flag is kept apart so the quick exit with
// the switch off touches nothing but a plain bool.
thread_local bool TSuppressed = false;
struct TThreadTrace {
    QString Path;
    QString Detail;
};
thread_local TThreadTrace TThread;

struct TFileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// One lock for writing and for the error table.
struct TShared {
    std::mutex Lock;
    QString FileName;
    std::unique_ptr<std::FILE, TFileCloser> File;
    bool FileTried = false;
    QHash<QString, QHash<int, QString>> ErrorTexts;  // domain (case-folded) -> number -> text
};

TShared& Shared() {
    static TShared shared;
    return shared;
}

QString LevelName(int level) {
    static const char* const names[] = {"",       "Excessive", "Trace", "Info", "Warning",
                                        "Severe", "Exception", "Log",   "Fatal"};
    return (level >= 1 && level <= 8) ? QString::fromLatin1(names[level]) : QString();
}

bool OnMainThread() {
    if (const QCoreApplication* app = QCoreApplication::instance())
        return QThread::currentThread() == app->thread();
    // Without an application the process's first thread, which set the log up
    // during start-up, is the main one.
    return gettid() == getpid();
}

QString ThreadText() {
    return QString::asprintf("%08x", unsigned(gettid())) + (OnMainThread() ? u'*' : u' ');
}

// Local time goes through the C library's time-zone state; one caller at a
// time keeps race checkers from tripping over its internal lock.
QString TimeText() {
    static std::mutex lock;
    std::lock_guard<std::mutex> guard(lock);
    return QTime::currentTime().toString(QStringLiteral("hh:mm:ss"));
}

QString Head(int level, const QString& thread) {
    return LevelName(level).leftJustified(10) + QStringLiteral("Thd:") + thread;
}

QString Entry(int level, const QString& thread, const QString& time, const QString& message) {
    const TThreadTrace& t = TThread;
    QString entry = Head(level, thread) + time.rightJustified(20) + u' ' + t.Path +
                    QStringLiteral("\r\n") + message + QStringLiteral("\r\n");
    if (!t.Detail.isEmpty()) entry += t.Detail + QStringLiteral("\r\n");
    return entry + QStringLiteral("\r\n");
}

void OpenFile(TShared& shared) {
    if (shared.FileTried) return;
    shared.FileTried = true;
    QString name = qEnvironmentVariable("LUMORA_TRACE_FILE");
    if (name.isEmpty()) name = Platform::ConfigFolder() + "Lumora.log";
    shared.FileName = name;
    // A fresh log per run keeps the file from growing without end.
    shared.File.reset(std::fopen(name.toLocal8Bit().constData(), "w"));
}

bool Enabled(int level) {
    return level >= 0 && level <= 15 && (Mask.load(std::memory_order_relaxed) & (1u << level)) != 0;
}

} // namespace

bool MasterSwitch() { return Master.load(std::memory_order_relaxed); }
void SetMasterSwitch(bool on) { Master.store(on, std::memory_order_relaxed); }

unsigned LevelMask() { return Mask.load(std::memory_order_relaxed); }
void SetLevelMask(unsigned mask) { Mask.store(mask, std::memory_order_relaxed); }

void Enter(const char* name) {
    if (!MasterSwitch()) return;
    TThreadTrace& t = TThread;
    const QString n = QString::fromUtf8(name ? name : "");
    t.Path = t.Path.isEmpty() ? n : t.Path + u',' + n;
    if (Enabled(1)) Write(2, QStringLiteral("Push ") + t.Path);
}

void Leave() {
    if (!MasterSwitch()) return;
    TThreadTrace& t = TThread;
    if (t.Path.isEmpty()) throw EError(QStringLiteral("Can't pop from empty stack."));
    const qsizetype comma = t.Path.lastIndexOf(u',');
    t.Path.truncate(comma < 0 ? 0 : comma);
    if (Enabled(1)) Write(2, QStringLiteral("Pop ") + t.Path);
}

QString CallPath() { return TThread.Path; }

void SetDetail(const QString& detail) {
    if (!MasterSwitch()) return;
    TThread.Detail = detail;
}

bool Suppressed() { return TSuppressed; }

void TraceMsg(const QString& text) { Write(lvTrace, text); }
void InfoMsg(const QString& text) { Write(lvInfo, text); }
void WarningMsg(const QString& text) { Write(lvWarning, text); }
void SevereMsg(const QString& text) { Write(lvSevere, text); }

void Write(int level, const QString& message) {
    if (!MasterSwitch() || !Enabled(level)) {
        TSuppressed = true;
        return;
    }
    TSuppressed = false;
    TThreadTrace& t = TThread;
    const QString thread = ThreadText();
    const QString time = TimeText();

    TShared& shared = Shared();
    std::lock_guard<std::mutex> guard(shared.Lock);
    const QByteArray entry = Entry(level, thread, time, message).toUtf8();
    std::fwrite(entry.constData(), 1, size_t(entry.size()), stderr);
    std::fflush(stderr);

    OpenFile(shared);
    if (shared.File) {
        QString text = Head(level, thread) + time.rightJustified(20) + u' ' + t.Path + u'\n' +
                       message + u'\n';
        if (!t.Detail.isEmpty()) text += t.Detail + u'\n';
        const QByteArray bytes = text.toUtf8();
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), shared.File.get());
        std::fflush(shared.File.get());
    }
    t.Detail.clear();
}

void WriteContinuation(const QString& text) {
    if (!MasterSwitch()) return;
    const QByteArray bytes = (text + QStringLiteral("\r\n")).toUtf8();
    std::lock_guard<std::mutex> guard(Shared().Lock);
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

void RegisterErrorText(const QString& domain, int number, const QString& text) {
    if (!MasterSwitch()) return;
    TShared& shared = Shared();
    std::lock_guard<std::mutex> guard(shared.Lock);
    shared.ErrorTexts[domain.toCaseFolded()].insert(number, text);
}

QString ErrorText(const QString& domain, int number) {
    if (!MasterSwitch()) return {};
    TShared& shared = Shared();
    {
        std::lock_guard<std::mutex> guard(shared.Lock);
        const auto found = shared.ErrorTexts.constFind(domain.toCaseFolded());
        if (found != shared.ErrorTexts.constEnd()) {
            const auto text = found->constFind(number);
            if (text != found->constEnd()) return *text;
        }
    }
    return QStringLiteral("Unknown %1 error %2").arg(domain, QString::number(number));
}

QString WarningCode(const QString& domain, int number) {
    if (!MasterSwitch()) return {};
    const QString text = ErrorText(domain, number);
    Write(lvWarning, text);
    return text;
}

QString SevereCode(const QString& domain, int number) {
    if (!MasterSwitch()) return {};
    const QString text = ErrorText(domain, number);
    Write(lvSevere, text);
    return text;
}

QString LogFileName() {
    TShared& shared = Shared();
    std::lock_guard<std::mutex> guard(shared.Lock);
    return shared.FileName;
}

QString FormatEntry(int level, const QString& message) {
    return Entry(level, ThreadText(), TimeText(), message);
}

} // namespace TraceLog
