#include "suite/email/transfer.h"
#include <curl/curl.h>
#include <cstring>
#include <memory>
#include <mutex>

namespace Email {
namespace {

struct TCurlDeleter {
    void operator()(CURL* c) const { curl_easy_cleanup(c); }
};
struct TListDeleter {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};

struct TTransferState {
    const std::string* Message = nullptr;
    size_t Offset = 0;
    TTransferEvents* Events = nullptr;
    TTransferOutcome* Outcome = nullptr;
    TSmtpReplyReader Reader;
    std::string Command;     // verb of the command the next reply answers
    std::string Recipient;
    bool SaidSecuring = false;
    bool SaidSigningIn = false;
    bool SaidSending = false;
};

std::string Verb(std::string_view line) {
    size_t end = 0;
    while (end < line.size() && line[end] != ' ' && line[end] != '\r' && line[end] != '\n') ++end;
    std::string verb(line.substr(0, end));
    for (char& c : verb)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return verb;
}

void Say(TTransferState& s, bool& said, const char* text) {
    if (said) return;
    said = true;
    if (s.Events->Status) s.Events->Status(text);
}

void SawCommand(TTransferState& s, std::string_view line) {
    const std::string verb = Verb(line);
    // Lines that are no command (the answers to an AUTH challenge) keep
    // the AUTH they belong to, and are never looked at further.
    static const char* const Known[] = {"EHLO", "HELO", "STARTTLS", "AUTH", "MAIL", "RCPT", "DATA", "QUIT", "RSET"};
    bool known = false;
    for (const char* k : Known) known = known || verb == k;
    if (!known) return;
    s.Command = verb;
    if (verb == "RCPT") {
        const size_t open = line.find('<'), close = line.find('>');
        s.Recipient = open != std::string_view::npos && close > open
                          ? std::string(line.substr(open + 1, close - open - 1))
                          : std::string();
    } else if (verb == "STARTTLS") {
        Say(s, s.SaidSecuring, "Securing the connection");
    } else if (verb == "AUTH") {
        Say(s, s.SaidSigningIn, "Signing in");
    } else if (verb == "MAIL") {
        Say(s, s.SaidSending, "Sending the message");
    }
}

void SawReply(TTransferState& s, TSmtpReply&& reply) {
    TTransferOutcome& o = *s.Outcome;
    // The goodbye after a failure must not hide the failure.
    if (s.Command == "QUIT") return;
    if (s.Command.empty()) o.Greeted = true;
    if (s.Command == "EHLO" && reply.Code == 250) o.Capabilities = ReadCapabilities(reply);
    if (reply.Code == 0 || reply.Code >= 400) {
        o.FailedCommand = s.Command.empty() ? "CONNECT" : s.Command;
        o.FailedRecipient = s.Command == "RCPT" ? s.Recipient : std::string();
        o.FailedReply = std::move(reply);
        return;
    }
    // A refusal that was got over (HELO after a refused EHLO) is no cause.
    o.FailedCommand.clear();
    o.FailedRecipient.clear();
    o.FailedReply = TSmtpReply();
    // The reply after the message itself answers no command line.
    if (s.Command == "DATA" && reply.Code == 354) s.Command = "BODY";
}

int OnDebug(CURL*, curl_infotype type, char* data, size_t size, void* user) {
    auto& s = *static_cast<TTransferState*>(user);
    if (type == CURLINFO_HEADER_OUT) {
        SawCommand(s, std::string_view(data, size));
    } else if (type == CURLINFO_HEADER_IN) {
        s.Reader.Feed(std::string_view(data, size));
        TSmtpReply reply;
        while (s.Reader.Next(reply)) SawReply(s, std::move(reply));
    }
    return 0;
}

size_t OnRead(char* buffer, size_t size, size_t count, void* user) {
    auto& s = *static_cast<TTransferState*>(user);
    const size_t n = std::min(size * count, s.Message->size() - s.Offset);
    std::memcpy(buffer, s.Message->data() + s.Offset, n);
    s.Offset += n;
    if (n > 0 && s.Events->Sent) s.Events->Sent(int64_t(s.Offset));
    return n;
}

int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto& s = *static_cast<TTransferState*>(user);
    if (s.Events->Cancelled && s.Events->Cancelled()) {
        s.Outcome->Cancelled = true;
        return 1;
    }
    return 0;
}

} // namespace

bool InitCurl() {
    static std::once_flag once;
    static bool ok = false;
    std::call_once(once, [] { ok = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
    return ok;
}

TTransferOutcome RunTransfer(const TTransferSettings& settings, const std::string& message, TTransferEvents& events) {
    TTransferOutcome outcome;
    std::unique_ptr<CURL, TCurlDeleter> curl(InitCurl() ? curl_easy_init() : nullptr);
    if (!curl) {
        outcome.Curl = CURLE_FAILED_INIT;
        return outcome;
    }
    std::unique_ptr<curl_slist, TListDeleter> recipients;
    for (const std::string& r : settings.Recipients) {
        curl_slist* next = curl_slist_append(recipients.get(), ('<' + r + '>').c_str());
        if (!next) {
            outcome.Curl = CURLE_OUT_OF_MEMORY;
            return outcome;
        }
        (void)recipients.release();
        recipients.reset(next);
    }
    TTransferState state;
    state.Message = &message;
    state.Events = &events;
    state.Outcome = &outcome;
    char error[CURL_ERROR_SIZE] = {};
    CURL* c = curl.get();

    curl_easy_setopt(c, CURLOPT_URL, settings.Url.c_str());
#if LIBCURL_VERSION_NUM >= 0x075500
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
#else
    curl_easy_setopt(c, CURLOPT_PROTOCOLS, long(CURLPROTO_SMTP | CURLPROTO_SMTPS));
#endif
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, error);
    curl_easy_setopt(c, CURLOPT_MAIL_FROM, ('<' + settings.MailFrom + '>').c_str());
    // Every recipient has to be accepted: a refused one fails the whole
    // send before DATA (the "allow fails" option stays off).
    curl_easy_setopt(c, CURLOPT_MAIL_RCPT, recipients.get());
    curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(c, CURLOPT_READFUNCTION, OnRead);
    curl_easy_setopt(c, CURLOPT_READDATA, &state);
    curl_easy_setopt(c, CURLOPT_INFILESIZE_LARGE, curl_off_t(message.size()));
    curl_easy_setopt(c, CURLOPT_UPLOAD_BUFFERSIZE, 256L * 1024);
    curl_easy_setopt(c, CURLOPT_USE_SSL, long(settings.RequireTls ? CURLUSESSL_ALL : CURLUSESSL_TRY));
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!settings.CaFile.empty()) curl_easy_setopt(c, CURLOPT_CAINFO, settings.CaFile.c_str());
    if (!settings.Account.empty()) {
        curl_easy_setopt(c, CURLOPT_USERNAME, settings.Account.c_str());
        curl_easy_setopt(c, CURLOPT_PASSWORD, settings.Password.c_str());
    }
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, long(settings.ConnectSeconds));
    curl_easy_setopt(c, CURLOPT_SERVER_RESPONSE_TIMEOUT, long(settings.IdleSeconds));
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, long(settings.IdleSeconds));
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &state);
    // The dialogue is read through the debug hook; VERBOSE switches it on.
    curl_easy_setopt(c, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(c, CURLOPT_DEBUGFUNCTION, OnDebug);
    curl_easy_setopt(c, CURLOPT_DEBUGDATA, &state);

    outcome.Curl = curl_easy_perform(c);
    outcome.CurlError = error[0] ? error : curl_easy_strerror(CURLcode(outcome.Curl));
    return outcome;
}

} // namespace Email
