#pragma once
#include "shell/tracelog.h"
#include "support/fixtures.h"
#include <QFile>
#include <QString>

// Collects what the trace log writes while it is alive (warnings included).
class TTraceCapture {
public:
    TTraceCapture() {
        if (TraceLog::LogFileName().isEmpty()) {
            static TTempFolder folder;
            qputenv("LUMORA_TRACE_FILE", QFile::encodeName(folder.Path() + "trace.log"));
        }
        TraceLog::SetMasterSwitch(true);
        TraceLog::SetLevelMask(0xFF);
        TraceLog::TraceMsg(QStringLiteral("capture"));  // fixes the log file
        FStart = ReadFileBytes(TraceLog::LogFileName()).size();
    }
    ~TTraceCapture() {
        TraceLog::SetLevelMask(0xE1);
        TraceLog::SetMasterSwitch(false);
    }
    TTraceCapture(const TTraceCapture&) = delete;
    TTraceCapture& operator=(const TTraceCapture&) = delete;
    QString Text() const { return QString::fromUtf8(ReadFileBytes(TraceLog::LogFileName()).mid(FStart)); }

private:
    qsizetype FStart = 0;
};
