#include "shell/settings.h"
#include "shell/startup.h"

#include <memory>
#include <mutex>

namespace {

struct TSettingsSlot {
    std::mutex Lock;
    std::unique_ptr<TIniFile> File;
};

TSettingsSlot& Slot() {
    static TSettingsSlot slot;
    return slot;
}

} // namespace

TIniFile& SettingsFile() {
    TSettingsSlot& slot = Slot();
    std::lock_guard<std::mutex> guard(slot.Lock);
    if (!slot.File) slot.File = std::make_unique<TIniFile>(AppState().AppDir + "Lumora.ini");
    return *slot.File;
}

void ResetSettingsFile() {
    TSettingsSlot& slot = Slot();
    std::lock_guard<std::mutex> guard(slot.Lock);
    slot.File.reset();
}
