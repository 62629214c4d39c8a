#pragma once
// The one message a second copy sends to the first over the instance socket:
//   "LUMORA-INSTANCE 1 SHOW\n"          bring the window to the front
//   "LUMORA-INSTANCE 1 ROLL <name>\n"   the same, then open that roll
// The number is the protocol version. The name is UTF-8 and names a roll
// folder, so it holds no "/" and no control character and is not "." or "..".
// Anything else (another version, a second line, bad UTF-8, more than
// MaxGuardMessageBytes) is refused with a reason, never guessed at.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

constexpr int GuardProtocolVersion = 1;
// Whole message, newline included.
constexpr qsizetype MaxGuardMessageBytes = 512;
// A folder name on Linux is at most 255 bytes.
constexpr qsizetype MaxGuardRollBytes = 255;

struct TGuardMessage {
    enum class TKind { Invalid, Show, Roll };
    TKind Kind = TKind::Invalid;
    QString Roll;    // Roll only
    QString Error;   // Invalid only: why
    bool Valid() const { return Kind != TKind::Invalid; }
};

TGuardMessage ParseGuardMessage(QByteArrayView bytes);

// The message for Roll (empty: SHOW). Empty when Roll cannot be sent (a name
// no roll folder can have, or too long); the caller then sends SHOW alone.
QByteArray MakeGuardMessage(const QString& roll);

// Why Roll cannot travel in a message; empty when it can.
QString GuardRollProblem(QByteArrayView utf8);

// Collects a message from a stream socket in whatever pieces it arrives. A
// connection carries one message and the sender closes it after that, so the
// message is all the bytes up to the end of the stream; beyond
// MaxGuardMessageBytes it is refused without reading further.
class TGuardMessageReader {
public:
    enum class TState { NeedMore, TooLong };
    TState Feed(QByteArrayView piece);
    TState State() const { return FState; }
    const QByteArray& Bytes() const { return FBytes; }
    // The result at the end of the stream.
    TGuardMessage Finish() const;

private:
    QByteArray FBytes;
    TState FState = TState::NeedMore;
};
