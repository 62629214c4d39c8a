#include "suite/upload/uploaderrors.h"
#include "suite/upload/upload.h"

#include <cstdio>

const char* const UploadErrorTexts[] = {
    "OK",
    "Socket initialization failed.",
    "Socket creation failed.",
    "Failed to connect to server.",
    "Timed out waiting to connect.",
    "Not connected.",
    "Timed out.",
    "A invalidPacket was recieved.",
    "User account was not found.",
    "File Not Found",
    "Upload was cancelled",
    "The upload server address is not valid.",
    "The upload server address must start with https:// (or http://).",
    "Plain HTTP is only used with a server on this computer. Use an https:// address.",
    "The upload server's certificate could not be verified.",
    "The upload server sent the request elsewhere, which is not followed.",
    "Please log in again.",
    "The shoebox was not found.",
    "The shoebox name is not valid.",
    "The photo service accepts JPEG photos only.",
    "The photo is larger than the photo service accepts.",
    "The account or the shoebox is full.",
    "The photo service refused the request.",
    "The photo service could not finish the request. Please try again later.",
    "No upload was started.",
    "Another upload call is still running.",
    "The upload call was given no valid argument.",
};

const int UploadErrorTextCount = int(sizeof(UploadErrorTexts) / sizeof(UploadErrorTexts[0]));
static_assert(sizeof(UploadErrorTexts) / sizeof(UploadErrorTexts[0]) == UploadLastCode + 1);

const char* UploadErrorText(int code) {
    if (code >= 0 && code < UploadErrorTextCount) return UploadErrorTexts[code];
    thread_local char text[48];
    std::snprintf(text, sizeof text, "Upload failed (code %d).", code);
    return text;
}
