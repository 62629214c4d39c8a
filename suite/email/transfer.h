#pragma once
// One SMTP transfer of a finished message through libcurl, watching the
// dialogue so that a failure can be told apart: which command the server
// refused, what it offered after EHLO, whether a reply ever came.
#include "suite/email/smtpreply.h"
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace Email {

struct TTransferSettings {
    std::string Url;                      // smtp://host:port or smtps://host:465
    std::string MailFrom;                 // bare address
    std::vector<std::string> Recipients;  // bare addresses, To, Cc and Bcc
    std::string Account;                  // empty: no AUTH
    std::string Password;
    std::string CaFile;                   // empty: the system's certificates
    bool RequireTls = false;              // STARTTLS or fail; else STARTTLS when offered
    int ConnectSeconds = 60;
    int IdleSeconds = 60;
};

struct TTransferEvents {
    std::function<void(const char* status)> Status;
    std::function<void(int64_t bytesSent)> Sent;
    std::function<bool()> Cancelled;
};

struct TTransferOutcome {
    int Curl = 0;                    // CURLcode
    std::string CurlError;
    bool Greeted = false;            // the server's greeting arrived
    TSmtpCapabilities Capabilities;  // from the last EHLO
    std::string FailedCommand;       // verb of the command a 4xx/5xx reply answered; "BODY" for the message
    std::string FailedRecipient;     // for RCPT
    TSmtpReply FailedReply;
    bool Cancelled = false;
};

TTransferOutcome RunTransfer(const TTransferSettings& settings, const std::string& message, TTransferEvents& events);

// libcurl's own start-up, once per process.
bool InitCurl();

} // namespace Email
