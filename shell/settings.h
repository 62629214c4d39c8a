#pragma once
#include "shell/inifile.h"

// The access object for AppDir + "Lumora.ini", made on the first call and
// shared by every later one.
TIniFile& SettingsFile();
// For tests and module shutdown: the next SettingsFile() opens afresh.
void ResetSettingsFile();

// Keys of "Lumora.ini", section [Config], with their defaults.
namespace ConfigKeys {
inline const char* const Section = "Config";
inline const char* const SSInterval = "SSInterval";               // int, 1
inline const char* const Installed = "Installed";                 // bool, false
inline const char* const SlideshowCollage = "SlideshowCollage";   // bool, true
inline const char* const Fotavo = "Fotavo";                       // bool, false
inline const char* const PictureDirectory = "PictureDirectory";   // string, "Pictures"
} // namespace ConfigKeys
