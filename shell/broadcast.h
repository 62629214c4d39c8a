#pragma once
// Registered messages the program broadcasts to every top-level window. They
// are signals to the disc's own viewer, which started this program; nothing
// here handles them, and on this platform no other program listens, so a
// broadcast reaches only the listener tests install.
#include <QString>
#include <functional>

inline constexpr const char* HideSplashMessage = "HalvornHideLmrSplash";
inline constexpr const char* TakeFocusMessage = "HalvornTakeFocus";

// When the main window is shown and whenever a second copy raised the first.
void BroadcastHideSplash();
// When the main window is destroyed: the disc's viewer may take the focus back.
void BroadcastTakeFocus();

// For tests: called with the message's name on every broadcast (main thread).
using TBroadcastListener = std::function<void(const QString& message)>;
void SetBroadcastListener(TBroadcastListener listener);
