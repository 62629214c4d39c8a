#pragma once
// The run's private temporary folder: made on first use with mode 0700 under
// the system's temporary folder (a fresh random name, never a predictable
// one), removed with everything in it when the program ends. The index
// print's template, the rotated copies of photos and links with safe names
// live there.
#include <QString>

// With a trailing "/"; empty when it cannot be made.
QString RunTempFolder();
// Removes the folder now; the next RunTempFolder makes a new one (tests,
// and the end of the program).
void RemoveRunTempFolder();
