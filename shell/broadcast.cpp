#include "shell/broadcast.h"

namespace {

TBroadcastListener& Listener() {
    static TBroadcastListener listener;
    return listener;
}

void Broadcast(const char* message) {
    if (const TBroadcastListener& listener = Listener()) listener(QString::fromLatin1(message));
}

} // namespace

void BroadcastHideSplash() { Broadcast(HideSplashMessage); }

void BroadcastTakeFocus() { Broadcast(TakeFocusMessage); }

void SetBroadcastListener(TBroadcastListener listener) { Listener() = std::move(listener); }
