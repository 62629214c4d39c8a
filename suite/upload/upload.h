#pragma once
// The upload library: logs in to an online photo service, lists and creates
// its shoeboxes (albums) and uploads photos into one, over HTTPS (libcurl).
// The wire protocol is in PROTOCOL.md beside this file.
//
// Every entry returns a one-byte code: 0 is success, 1 to 10 are the codes
// the program has always known, above 10 are this library's own. Their texts
// are UploadErrorTexts (uploaderrors.h). Strings are zero-terminated UTF-8.
// The calls are synchronous and meant for one thread; the upload callback
// runs inside VantuUpload on the calling thread and must not call back into
// the library (such a call returns UploadBusy).
//
// Call order, as the upload wizard makes it:
//   VantuInitSocket                       once
//   VantuSetTrustedCA, VantuAllowPlainHTTP   optional, before VantuInitServer
//   VantuInitServer                       before each login
//   VantuGetCustomerID                    the login; keeps a session token
//   VantuGetShoeboxes / VantuFreeShoeboxes
//   VantuCreateUpload                     starts a fresh list of photos
//   VantuAddImage                         once per photo, in order
//   VantuUpload                           sends them, one request per photo
//
// Transport rules (checked by VantuInitServer, before anything is sent):
// Server is a host name ("photos.example.com", HTTPS), or an https:// or
// http:// address with an optional port (which wins over Port) and path
// prefix. Certificates and host names are always checked. Plain http:// is
// accepted for a loopback host (localhost, 127.0.0.0/8, ::1) only, unless
// plain HTTP was allowed; the addresses a loopback name resolves to are
// checked again before connecting. No redirect is followed, no proxy used.
#include <cstdint>

// Result codes.
enum TUploadCode : uint8_t {
    UploadOK = 0,
    UploadSocketInitFailed = 1,   // libcurl could not be initialised
    UploadSocketFailed = 2,       // a connection handle could not be made
    UploadConnectFailed = 3,      // name not resolved, connection refused
    UploadConnectTimeout = 4,     // no connection (TLS included) within TimeoutMs
    UploadNotConnected = 5,       // no server set, or the connection broke
    UploadTimedOut = 6,           // a transfer stalled for TimeoutMs
    UploadInvalidPacket = 7,      // a reply malformed, oversized or unexpected
    UploadAccountNotFound = 8,    // wrong lab group, user name or password
    UploadFileNotFound = 9,       // a photo file cannot be read
    UploadCancelled = 10,         // the callback answered false
    UploadBadServer = 11,         // Server is no valid address
    UploadBadScheme = 12,         // a scheme other than https or http
    UploadPlainHTTPRefused = 13,  // http:// to a host that is not loopback
    UploadCertificate = 14,       // the server's certificate failed the checks
    UploadRedirected = 15,        // the server answered with a redirect
    UploadNotLoggedIn = 16,       // no login, another customer ID, or the session expired
    UploadNoShoebox = 17,         // the shoebox does not exist (any more)
    UploadBadShoeboxName = 18,    // empty, too long or with control characters
    UploadNotJpeg = 19,           // the server takes JPEG photos only
    UploadTooLarge = 20,          // the photo is larger than the server takes
    UploadLimitReached = 21,      // too many shoeboxes, or photos in the shoebox
    UploadRefused = 22,           // any other refusal of the request
    UploadServerFailed = 23,      // the server failed or is busy
    UploadNotStarted = 24,        // VantuAddImage or VantuUpload without VantuCreateUpload
    UploadBusy = 25,              // called from inside the upload callback
    UploadBadArgument = 26,       // a missing argument or a buffer too small
    UploadLastCode = UploadBadArgument,
};

// Limits of what a reply may hold.
constexpr int UploadMaxReplyBytes = 64 * 1024;
constexpr int UploadMaxShoeboxes = 1000;
constexpr int UploadMaxNameChars = 255;
constexpr int UploadMaxCustomerIDChars = 254;
constexpr int UploadMaxResultTextChars = 100;

// The shoebox list of VantuGetShoeboxes: Count entries; Ids[i] and Names[i]
// belong together. Owned by the library until VantuFreeShoeboxes.
struct TVantuShoeboxList {
    int32_t Count;
    char** Ids;
    char** Names;
};

// Upload progress: Code -n while picture n (from 1, in the order added) is
// sent, Percent its share sent (0 when it starts, 100 once the server has
// stored it). Answering false stops the upload with UploadCancelled.
using TVantuUploadCallback = bool (*)(int32_t code, int32_t percent, void* userData);

extern "C" {
// Initialises libcurl; later calls do nothing.
uint8_t VantuInitSocket();
// Trust only the CA certificates in the PEM file CAFile for later
// connections; null or empty goes back to the system's store. Takes effect
// at the next VantuInitServer.
uint8_t VantuSetTrustedCA(const char* caFile);
// Nonzero lets Server be http:// on a host that is not loopback (the disc's
// [Upload] AllowPlainHTTP=1). Takes effect at the next VantuInitServer.
uint8_t VantuAllowPlainHTTP(int32_t allow);
// Sets the server, drops any login and upload. TimeoutMs bounds the
// connection (TLS included) and any stall of a transfer.
uint8_t VantuInitServer(const char* server, int32_t port, int32_t timeoutMs);
// Logs in. Buffer must hold BufferSize + 1 bytes; the customer ID comes back
// zero-terminated (at most BufferSize and UploadMaxCustomerIDChars bytes).
uint8_t VantuGetCustomerID(const char* labGroup, const char* userName, const char* password, char* buffer,
                           int32_t bufferSize);
// The account's shoeboxes, oldest first; *List stays null when there are none.
uint8_t VantuGetShoeboxes(const char* customerID, TVantuShoeboxList** list);
uint8_t VantuFreeShoeboxes(TVantuShoeboxList* list);
// Starts a fresh photo list for a shoebox: ShoeboxID of an existing one, or
// empty for the shoebox named ShoeboxName, made when the account has none of
// that name.
uint8_t VantuCreateUpload(const char* customerID, const char* shoeboxName, const char* shoeboxID);
// Adds a photo file to the list; it must exist and be readable.
uint8_t VantuAddImage(const char* fileName);
// Sends the listed photos, one request each over one kept connection, and
// puts the shoebox's page token in Buffer (BufferSize + 1 bytes; at most
// UploadMaxResultTextChars). A photo the server has already in that shoebox
// is not stored twice. On failure the photos sent before it stay stored.
uint8_t VantuUpload(TVantuUploadCallback callback, void* userData, char* buffer, int32_t bufferSize);
}
