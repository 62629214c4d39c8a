#pragma once
// The e-mail library: one message with photos attached, sent over SMTP.
// It keeps the entry names, argument order and result rule the program
// expects of it; texts are UTF-8.
//
// Use: EmailCreate, the setters and EmailAddAttachment (once per photo),
// then on the sending thread EmailSetProgressCallback,
// EmailSetStatusCallback, EmailGetAttachmentNumber, EmailSend and
// EmailDestroy. Every entry may be called from any thread; a handle that was
// destroyed or never made is ignored (EMAIL_E_BAD_HANDLE). EmailCancel from
// another thread makes a running EmailSend return EMAIL_E_CANCELLED soon
// after, and a later one at once.
//
// EmailSend builds the whole message first: an unreadable attachment, a bad
// address or a missing recipient fails it before any connection is made.
// It then sends MAIL FROM the From address, RCPT TO every To, Cc and Bcc
// address, and the message; Bcc addresses appear in no header. TLS:
// port 465 speaks TLS at once; on any other port STARTTLS is used whenever
// the server offers it, and certificates are always verified. The account
// and password go only over TLS, unless the server is this machine
// (loopback) or plain sign-in was allowed (EmailSetPlainAuth); a server
// that asks for them without TLS fails the send with EMAIL_E_PLAIN_AUTH
// and never sees them.
#include <cstdint>

using EMAILHANDLE = int32_t;  // 0 is no handle

// The [Email] defaults; the library itself falls back on the server name
// and port when they are left empty or 0.
constexpr const char* EMAIL_DEFAULT_SERVER = "localhost";
constexpr const char* EMAIL_DEFAULT_ACCOUNT = "lumora@localhost";
constexpr int32_t EMAIL_DEFAULT_PORT = 25;
constexpr int32_t EMAIL_DEFAULT_TIMEOUT = 60;  // seconds, see EmailSetTimeouts

// Results. EmailSend returns 0 only when every recipient and the message
// were accepted. A failure has its code in the low 16 bits and, when the
// server's reply decided it, the SMTP reply code (e.g. 550) in bits 16..25;
// the program tests the low 16 bits alone.
enum : int32_t {
    EMAIL_OK = 0,
    EMAIL_E_BAD_HANDLE = 1,         // no such handle
    EMAIL_E_BAD_FROM = 2,           // From empty, or not an address / "Name <address>"
    EMAIL_E_BAD_RECIPIENT = 3,      // a To, Cc or Bcc item is not an address / "Name <address>"
    EMAIL_E_NO_RECIPIENT = 4,       // To, Cc and Bcc all empty
    EMAIL_E_BAD_SERVER = 5,         // server name or port unusable
    EMAIL_E_ATTACHMENT = 6,         // an attachment could not be read
    EMAIL_E_TOO_LARGE = 7,          // the message would exceed 2 GiB
    EMAIL_E_HOST_NOT_FOUND = 8,     // the server's name did not resolve
    EMAIL_E_CONNECT = 9,            // no connection, or the server turned it away at once
    EMAIL_E_TIMEOUT = 10,           // not connected in time, or no progress for the idle time
    EMAIL_E_TLS = 11,               // TLS failed: handshake, certificate, or STARTTLS refused
    EMAIL_E_PLAIN_AUTH = 12,        // the server wants the password but offers no TLS
    EMAIL_E_AUTH_FAILED = 13,       // account or password refused
    EMAIL_E_SENDER_REFUSED = 14,    // MAIL FROM refused
    EMAIL_E_RECIPIENT_REFUSED = 15, // a RCPT TO refused; nothing was sent
    EMAIL_E_MESSAGE_REFUSED = 16,   // DATA or the message refused
    EMAIL_E_CONNECTION_LOST = 17,   // the connection broke off before the message was accepted
    EMAIL_E_CANCELLED = 18,         // EmailCancel
    EMAIL_E_BUSY = 19,              // a send on this handle is already running
    EMAIL_E_INTERNAL = 20,          // out of memory, or libcurl could not start
};

inline int32_t EmailResultCode(int32_t result) { return result & 0xFFFF; }
inline int32_t EmailResultReply(int32_t result) { return (result >> 16) & 0x3FF; }
// What a result means, in plain words.
const char* EmailResultText(int32_t result);

// Progress kinds: 1 with the message's size in bytes before the transfer,
// 2 with the bytes sent so far (at most once per 64 KiB, and at the end),
// 3 when the server accepted the message.
enum : uint8_t { EMAIL_PROGRESS_SIZE = 1, EMAIL_PROGRESS_SENT = 2, EMAIL_PROGRESS_ACCEPTED = 3 };
using TEmailProgressCallback = void (*)(uint8_t kind, int32_t value, void* userData);
// A status line in plain words ("Connecting to mail.example.org", "The
// server refused the recipient bob@example.org: No such user (550)").
using TEmailStatusCallback = void (*)(const char* text, void* userData);
// Both callbacks run on the thread in EmailSend, which waits for them; the
// text is valid during the call only.

EMAILHANDLE EmailCreate();
// From: an address or "Name <address>".
int32_t EmailSetFromAddress(EMAILHANDLE h, const char* from);
// Lists of addresses or "Name <address>" items, split at commas outside
// quotes and angle brackets; empty items are skipped.
int32_t EmailSetToAddress(EMAILHANDLE h, const char* toList);
int32_t EmailSetCCAddress(EMAILHANDLE h, const char* ccList);
int32_t EmailSetBCCAddress(EMAILHANDLE h, const char* bccList);
int32_t EmailSetSubject(EMAILHANDLE h, const char* subject);
int32_t EmailSetBody(EMAILHANDLE h, const char* body);
// Empty: EMAIL_DEFAULT_SERVER.
int32_t EmailSetServer(EMAILHANDLE h, const char* server);
// Empty: no sign-in.
int32_t EmailSetAccount(EMAILHANDLE h, const char* account);
int32_t EmailSetPassword(EMAILHANDLE h, const char* password);
// 0: EMAIL_DEFAULT_PORT; 465: TLS from the start.
int32_t EmailSetPort(EMAILHANDLE h, int32_t port);
// The file is read by EmailSend; it is attached as image/jpeg under its own name.
int32_t EmailAddAttachment(EMAILHANDLE h, const char* path);
int32_t EmailSetProgressCallback(EMAILHANDLE h, TEmailProgressCallback callback, void* userData);
int32_t EmailSetStatusCallback(EMAILHANDLE h, TEmailStatusCallback callback, void* userData);
// Number of EmailAddAttachment calls; 0 for an unknown handle.
int32_t EmailGetAttachmentNumber(EMAILHANDLE h);
// Blocks until the message was accepted or the send failed.
int32_t EmailSend(EMAILHANDLE h);
// Frees the handle; a send still running on it is cancelled and finishes
// on its own thread.
int32_t EmailDestroy(EMAILHANDLE h);
int32_t EmailCancel(EMAILHANDLE h);

// Settings beyond the program's entries.
// The [Email] "MailPlainAuth" key: 1 lets the password go without TLS.
int32_t EmailSetPlainAuth(EMAILHANDLE h, int32_t allow);
// Seconds to connect (up to the server's readiness) and seconds without any
// progress before a send fails; 0 keeps EMAIL_DEFAULT_TIMEOUT.
int32_t EmailSetTimeouts(EMAILHANDLE h, int32_t connectSeconds, int32_t idleSeconds);
// A PEM file of certificate authorities trusted instead of the system's.
int32_t EmailSetCAFile(EMAILHANDLE h, const char* path);
// 0 treats a loopback server like any other for the password rule (tests).
int32_t EmailSetTrustLoopback(EMAILHANDLE h, int32_t trust);
