#pragma once
// The texts of the upload library's result codes, indexed by code. Codes 0
// to 10 keep the wording the program has always shown; above 10 are ours.
#include <cstdint>

extern const char* const UploadErrorTexts[];
extern const int UploadErrorTextCount;

// The text of Code; a code without one reads "Upload failed (code N)." into
// a static buffer of the caller's thread.
const char* UploadErrorText(int code);
