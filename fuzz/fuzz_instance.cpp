// The single-instance guard's message reader: bytes a stranger may write to
// the first copy's socket. Besides not crashing, every message taken must be
// exactly what MakeGuardMessage makes of it, and reading the same bytes in
// pieces must give the same answer.
#include "shell/instancemessage.h"
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const TGuardMessage message = ParseGuardMessage(bytes);
    switch (message.Kind) {
    case TGuardMessage::TKind::Show:
        if (bytes != MakeGuardMessage(QString())) std::abort();
        break;
    case TGuardMessage::TKind::Roll:
        if (message.Roll.isEmpty() || bytes != MakeGuardMessage(message.Roll)) std::abort();
        break;
    case TGuardMessage::TKind::Invalid:
        if (message.Error.isEmpty() || !message.Roll.isEmpty()) std::abort();
        break;
    }

    // The same bytes as a stream, in pieces of a size the first byte chooses.
    const qsizetype step = size > 0 ? data[0] % 23 + 1 : 1;
    TGuardMessageReader reader;
    for (qsizetype at = 0; at < bytes.size(); at += step)
        reader.Feed(bytes.sliced(at, std::min(step, bytes.size() - at)));
    const TGuardMessage read = reader.Finish();
    if (read.Kind != message.Kind || read.Roll != message.Roll) std::abort();
    if (reader.Bytes().size() > MaxGuardMessageBytes + 1) std::abort();

    // The bytes as a roll name: a name that may travel comes back unchanged.
    if (GuardRollProblem(bytes).isEmpty()) {
        const QString roll = QString::fromUtf8(bytes);
        const TGuardMessage back = ParseGuardMessage(MakeGuardMessage(roll));
        if (back.Kind != TGuardMessage::TKind::Roll || back.Roll != roll) std::abort();
    }
    return 0;
}
