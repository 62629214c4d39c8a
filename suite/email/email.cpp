#include "suite/email/email.h"
#include "suite/email/addresses.h"
#include "suite/email/message.h"
#include "suite/email/mimetext.h"
#include "suite/email/prepare.h"
#include "suite/email/transfer.h"
#include <arpa/inet.h>
#include <curl/curl.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace Email {
namespace {

struct TSettings {
    std::string From, To, Cc, Bcc, Subject, Body, Server, Account, Password, CaFile;
    int32_t Port = 0;
    std::vector<std::string> Attachments;
    TEmailProgressCallback Progress = nullptr;
    void* ProgressData = nullptr;
    TEmailStatusCallback Status = nullptr;
    void* StatusData = nullptr;
    bool PlainAuth = false;
    bool TrustLoopback = true;
    int ConnectSeconds = EMAIL_DEFAULT_TIMEOUT;
    int IdleSeconds = EMAIL_DEFAULT_TIMEOUT;
};

struct TSession {
    std::mutex Lock;
    TSettings Settings;
    std::atomic<bool> Cancelled{false};
    std::atomic<bool> Sending{false};
};

// Handles are numbers looked up under one lock, never pointers: a late
// EmailCancel from the user-interface thread after the worker destroyed
// the handle finds nothing instead of freed memory. A send holds its own
// reference, so EmailDestroy during the send is safe as well.
std::mutex RegistryLock;
std::unordered_map<EMAILHANDLE, std::shared_ptr<TSession>> Registry;
EMAILHANDLE LastHandle = 0;

std::shared_ptr<TSession> Find(EMAILHANDLE h) {
    std::lock_guard<std::mutex> lock(RegistryLock);
    const auto it = Registry.find(h);
    return it == Registry.end() ? nullptr : it->second;
}

template <class F>
int32_t Update(EMAILHANDLE h, F change) {
    const std::shared_ptr<TSession> session = Find(h);
    if (!session) return EMAIL_E_BAD_HANDLE;
    std::lock_guard<std::mutex> lock(session->Lock);
    change(session->Settings);
    return EMAIL_OK;
}

std::string Text(const char* s) { return s ? std::string(s) : std::string(); }

std::string Trimmed(std::string s) {
    const size_t start = s.find_first_not_of(" \t");
    const size_t end = s.find_last_not_of(" \t");
    return start == std::string::npos ? std::string() : s.substr(start, end - start + 1);
}

// Text quoted in a status line, with nothing that could break the line.
std::string Shown(std::string_view s) {
    std::string out;
    for (unsigned char c : s.substr(0, 120)) out += c < 0x20 || c == 0x7F ? ' ' : char(c);
    return out;
}

std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool ReadWholeFile(const std::string& path, std::string& data, int& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return false;
    }
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0;
    if (ok && !S_ISREG(st.st_mode)) errno = EISDIR, ok = false;
    if (ok && st.st_size > INT32_MAX) errno = EFBIG, ok = false;
    if (ok) {
        data.resize(size_t(st.st_size));
        size_t done = 0;
        while (ok && done < data.size()) {
            const ssize_t n = ::read(fd, data.data() + done, data.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                if (n == 0) errno = EIO;  // shrank while being read
                ok = false;
            } else {
                done += size_t(n);
            }
        }
    }
    error = ok ? 0 : errno;
    ::close(fd);
    return ok;
}

bool ParseList(const std::string& list, std::vector<TMailbox>& out, std::string& bad) {
    for (const std::string& item : SplitAddressList(list)) {
        TMailbox box;
        if (!ParseMailbox(item, box)) {
            bad = item;
            return false;
        }
        out.push_back(std::move(box));
    }
    return true;
}

// The host as it goes into the URL; empty when it can't be one.
std::string UrlHost(const std::string& server) {
    std::string host = server;
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
    in6_addr v6{};
    if (inet_pton(AF_INET6, host.c_str(), &v6) == 1) return '[' + host + ']';
    if (host.empty() || host.size() > 253 || host.front() == '-' || host.front() == '.') return {};
    for (char c : host)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.'))
            return {};
    return host;
}

bool IsLoopback(const std::string& urlHost) {
    std::string host = urlHost;
    if (host.size() > 2 && host.front() == '[') host = host.substr(1, host.size() - 2);
    std::string lower;
    for (char c : host) lower += char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (lower == "localhost" || lower == "localhost.") return true;
    in_addr v4{};
    if (inet_pton(AF_INET, host.c_str(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6{};
    return inet_pton(AF_INET6, host.c_str(), &v6) == 1 && IN6_IS_ADDR_LOOPBACK(&v6);
}

struct TPrepared {
    std::string Message;
    std::string MailFrom;
    std::vector<std::string> Recipients;
    std::string UrlHost;
    int Port = EMAIL_DEFAULT_PORT;
};

int32_t Prepare(const TSettings& st, TPrepared& out, std::string& why) {
    std::vector<TMailbox> from;
    std::string bad;
    const std::string fromText = Trimmed(st.From);
    if (fromText.empty()) {
        why = "There is no sender address.";
        return EMAIL_E_BAD_FROM;
    }
    if (!ParseList(fromText, from, bad) || from.size() != 1) {
        why = "The sender address \"" + Shown(fromText) + "\" is not a valid e-mail address.";
        return EMAIL_E_BAD_FROM;
    }
    TMessage message;
    message.From = from.front();
    std::vector<TMailbox> bcc;
    if (!ParseList(st.To, message.To, bad) || !ParseList(st.Cc, message.Cc, bad) || !ParseList(st.Bcc, bcc, bad)) {
        why = "The recipient \"" + Shown(bad) + "\" is not a valid e-mail address.";
        return EMAIL_E_BAD_RECIPIENT;
    }
    for (const auto* list : {&message.To, &message.Cc, &bcc})
        for (const TMailbox& box : *list)
            if (std::find(out.Recipients.begin(), out.Recipients.end(), box.Address) == out.Recipients.end())
                out.Recipients.push_back(box.Address);
    if (out.Recipients.empty()) {
        why = "There is no recipient.";
        return EMAIL_E_NO_RECIPIENT;
    }
    const std::string server = Trimmed(st.Server).empty() ? std::string(EMAIL_DEFAULT_SERVER) : Trimmed(st.Server);
    out.UrlHost = UrlHost(server);
    out.Port = st.Port == 0 ? EMAIL_DEFAULT_PORT : st.Port;
    if (out.UrlHost.empty() || out.Port < 0 || out.Port > 65535) {
        why = "The mail server \"" + Shown(server) + "\" port " + std::to_string(st.Port) + " can't be used.";
        return EMAIL_E_BAD_SERVER;
    }

    // Every file is read before a connection is made, so a missing one
    // never leaves a message half sent.
    size_t total = 0;
    for (const std::string& path : st.Attachments) {
        TAttachment a;
        a.Name = BaseName(path);
        int error = 0;
        if (!ReadWholeFile(path, a.Data, error)) {
            if (error == EFBIG) {
                why = "The picture \"" + Shown(a.Name) + "\" is too large for a message.";
                return EMAIL_E_TOO_LARGE;
            }
            why = "The picture \"" + Shown(a.Name) + "\" could not be read: " + std::strerror(error) + '.';
            return EMAIL_E_ATTACHMENT;
        }
        total += Base64LinesSize(a.Data.size());
        if (total > size_t(INT32_MAX)) {
            why = "The pictures are too large for one message.";
            return EMAIL_E_TOO_LARGE;
        }
        message.Attachments.push_back(std::move(a));
    }
    message.Subject = st.Subject;
    message.Body = st.Body;
    message.Date = std::time(nullptr);
    message.MessageId = RandomHex(32) + '@' + message.From.Address.substr(message.From.Address.find('@') + 1);
    message.Boundary = NewBoundary();
    out.Message = ComposeMessage(message);
    out.MailFrom = message.From.Address;
    return EMAIL_OK;
}

std::string Seconds(int n) { return std::to_string(n) + (n == 1 ? " second" : " seconds"); }

bool TlsFailure(int curl) {
    switch (curl) {
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_USE_SSL_FAILED:
        return true;
    default:
        return false;
    }
}

// The result and the status line for a failed transfer.
int32_t Classify(const TTransferOutcome& o, const TPrepared& p, const TSettings& st, bool withheld,
                 std::string& why) {
    const std::string server = p.UrlHost + " port " + std::to_string(p.Port);
    const std::string said = ReplyText(o.FailedReply);
    int32_t code;
    if (o.Cancelled) {
        why = "The send was cancelled.";
        return EMAIL_E_CANCELLED;
    }
    if (o.Curl == CURLE_FAILED_INIT || o.Curl == CURLE_OUT_OF_MEMORY) {
        why = "The mail library could not start: " + o.CurlError;
        return EMAIL_E_INTERNAL;
    }
    if (o.Curl == CURLE_COULDNT_RESOLVE_HOST) {
        why = "The mail server " + p.UrlHost + " was not found.";
        return EMAIL_E_HOST_NOT_FOUND;
    }
    if (o.Curl == CURLE_COULDNT_CONNECT) {
        why = "Could not connect to the mail server " + server + '.';
        return EMAIL_E_CONNECT;
    }
    if (o.Curl == CURLE_OPERATION_TIMEDOUT) {
        why = o.Greeted ? "The mail server stopped answering for " + Seconds(st.IdleSeconds) + '.'
                        : "The mail server " + server + " did not answer within " + Seconds(st.ConnectSeconds) + '.';
        return EMAIL_E_TIMEOUT;
    }
    if (o.Curl == CURLE_USE_SSL_FAILED && !o.Capabilities.StartTls && o.Capabilities.Auth) {
        why = "The mail server asks for the password without encryption, so it was not sent. "
              "Allow this with MailPlainAuth=1 in the [Email] settings.";
        return EMAIL_E_PLAIN_AUTH;
    }
    if (o.FailedCommand.empty() && TlsFailure(o.Curl)) {
        why = "The secure connection to the mail server failed: " + o.CurlError;
        return EMAIL_E_TLS;
    }
    if (o.Curl == CURLE_LOGIN_DENIED && o.FailedCommand.empty()) {
        why = "The mail server accepts none of the sign-in methods Lumora knows.";
        return EMAIL_E_AUTH_FAILED;
    }
    const std::string& c = o.FailedCommand;
    if (c.empty()) {
        why = o.Greeted ? "The connection to the mail server was lost: " + o.CurlError
                        : "The mail server " + server + " closed the connection without a greeting.";
        return o.Greeted ? EMAIL_E_CONNECTION_LOST : EMAIL_E_CONNECT;
    }
    if (c == "CONNECT" || c == "EHLO" || c == "HELO") {
        why = "The mail server turned the connection away: " + said;
        code = EMAIL_E_CONNECT;
    } else if (c == "STARTTLS") {
        why = "The mail server offered encryption but refused to start it: " + said;
        code = EMAIL_E_TLS;
    } else if (c == "AUTH") {
        why = "The mail server refused the account or password: " + said;
        code = EMAIL_E_AUTH_FAILED;
    } else if (c == "MAIL" && withheld && o.FailedReply.Code == 530) {
        why = "The mail server asks for the password without encryption, so it was not sent. "
              "Allow this with MailPlainAuth=1 in the [Email] settings.";
        code = EMAIL_E_PLAIN_AUTH;
    } else if (c == "MAIL") {
        why = "The mail server refused the sender " + p.MailFrom + ": " + said;
        code = EMAIL_E_SENDER_REFUSED;
    } else if (c == "RCPT") {
        why = "The mail server refused the recipient " + Shown(o.FailedRecipient) + ": " + said;
        code = EMAIL_E_RECIPIENT_REFUSED;
    } else if (c == "DATA" || c == "BODY") {
        why = "The mail server refused the message: " + said;
        code = EMAIL_E_MESSAGE_REFUSED;
    } else {
        why = "The connection to the mail server was lost: " + said;
        code = EMAIL_E_CONNECTION_LOST;
    }
    return code | (int32_t(o.FailedReply.Code & 0x3FF) << 16);
}

class TSender {
public:
    TSender(const TSettings& settings, const std::atomic<bool>& cancelled) : St(settings), Cancelled(cancelled) {}

    int32_t Run() {
        if (Cancelled) return Fail(EMAIL_E_CANCELLED, "The send was cancelled.");
        Status("Preparing the message");
        TPrepared p;
        std::string why;
        if (const int32_t code = Prepare(St, p, why)) return Fail(code, why);
        if (p.Message.size() > size_t(INT32_MAX)) return Fail(EMAIL_E_TOO_LARGE, "The pictures are too large for one message.");
        Total = int32_t(p.Message.size());
        Progress(EMAIL_PROGRESS_SIZE, Total);
        if (Cancelled) return Fail(EMAIL_E_CANCELLED, "The send was cancelled.");

        TTransferSettings t;
        t.Url = std::string(p.Port == 465 ? "smtps://" : "smtp://") + p.UrlHost + ':' + std::to_string(p.Port);
        t.MailFrom = p.MailFrom;
        t.Recipients = p.Recipients;
        t.Account = St.Account;
        t.Password = St.Password;
        t.CaFile = St.CaFile;
        t.ConnectSeconds = St.ConnectSeconds;
        t.IdleSeconds = St.IdleSeconds;
        // Without TLS the password may only go to this machine, or where
        // the settings allow it; elsewhere libcurl must get TLS before AUTH
        // or give up.
        const bool plainOk = p.Port == 465 || St.PlainAuth || (St.TrustLoopback && IsLoopback(p.UrlHost));
        t.RequireTls = !St.Account.empty() && !plainOk;

        TTransferEvents events;
        events.Status = [this](const char* text) { Status(text); };
        events.Sent = [this](int64_t sent) { Sent(int32_t(sent)); };
        events.Cancelled = [this] { return Cancelled.load(); };
        Status(("Connecting to " + p.UrlHost).c_str());
        TTransferOutcome o = RunTransfer(t, p.Message, events);
        bool withheld = false;
        if (o.Curl == CURLE_USE_SSL_FAILED && t.RequireTls && !o.Capabilities.StartTls && !o.Capabilities.Auth) {
            // No TLS, and no AUTH offered either: the server may not want a
            // password at all. Try again without one, so it can't be asked for.
            t.Account.clear();
            t.Password.clear();
            t.RequireTls = false;
            withheld = true;
            o = RunTransfer(t, p.Message, events);
        }
        if (o.Curl != CURLE_OK) {
            const int32_t code = Classify(o, p, St, withheld, why);
            return Fail(code, why);
        }
        Sent(Total);
        Progress(EMAIL_PROGRESS_ACCEPTED, Total);
        Status("The message was sent.");
        return EMAIL_OK;
    }

private:
    void Status(const char* text) {
        if (St.Status) St.Status(text, St.StatusData);
    }
    void Progress(uint8_t kind, int32_t value) {
        if (St.Progress) St.Progress(kind, value, St.ProgressData);
    }
    // Reports sent bytes when a 64 KiB mark is passed, and the last count once.
    void Sent(int32_t sent) {
        if (sent == Reported || (sent / 65536 == Reported / 65536 && sent != Total)) return;
        Reported = sent;
        Progress(EMAIL_PROGRESS_SENT, sent);
    }
    int32_t Fail(int32_t code, const std::string& why) {
        Status(why.c_str());
        return code;
    }

    const TSettings& St;
    const std::atomic<bool>& Cancelled;
    int32_t Total = 0;
    int32_t Reported = 0;
};

} // namespace

int32_t MessageBytes(EMAILHANDLE h, std::string& message, std::string* why) {
    const std::shared_ptr<TSession> session = Find(h);
    if (!session) return EMAIL_E_BAD_HANDLE;
    TSettings settings;
    {
        std::lock_guard<std::mutex> lock(session->Lock);
        settings = session->Settings;
    }
    TPrepared p;
    std::string text;
    const int32_t code = Prepare(settings, p, text);
    message = std::move(p.Message);
    if (why) *why = text;
    return code;
}

} // namespace Email

using namespace Email;

const char* EmailResultText(int32_t result) {
    switch (EmailResultCode(result)) {
    case EMAIL_OK: return "The message was sent.";
    case EMAIL_E_BAD_HANDLE: return "The message no longer exists.";
    case EMAIL_E_BAD_FROM: return "The sender address is not a valid e-mail address.";
    case EMAIL_E_BAD_RECIPIENT: return "A recipient address is not a valid e-mail address.";
    case EMAIL_E_NO_RECIPIENT: return "There is no recipient.";
    case EMAIL_E_BAD_SERVER: return "The mail server's name or port can't be used.";
    case EMAIL_E_ATTACHMENT: return "A picture could not be read.";
    case EMAIL_E_TOO_LARGE: return "The pictures are too large for one message.";
    case EMAIL_E_HOST_NOT_FOUND: return "The mail server was not found.";
    case EMAIL_E_CONNECT: return "Could not connect to the mail server.";
    case EMAIL_E_TIMEOUT: return "The mail server did not answer in time.";
    case EMAIL_E_TLS: return "The secure connection to the mail server failed.";
    case EMAIL_E_PLAIN_AUTH: return "The mail server asks for the password without encryption.";
    case EMAIL_E_AUTH_FAILED: return "The mail server refused the account or password.";
    case EMAIL_E_SENDER_REFUSED: return "The mail server refused the sender.";
    case EMAIL_E_RECIPIENT_REFUSED: return "The mail server refused a recipient.";
    case EMAIL_E_MESSAGE_REFUSED: return "The mail server refused the message.";
    case EMAIL_E_CONNECTION_LOST: return "The connection to the mail server was lost.";
    case EMAIL_E_CANCELLED: return "The send was cancelled.";
    case EMAIL_E_BUSY: return "The message is being sent already.";
    case EMAIL_E_INTERNAL: return "The mail library could not start.";
    default: return "The message could not be sent.";
    }
}

EMAILHANDLE EmailCreate() {
    auto session = std::make_shared<TSession>();
    std::lock_guard<std::mutex> lock(RegistryLock);
    // Numbers are not reused while the process lives, short of wrapping.
    do {
        LastHandle = LastHandle == INT32_MAX ? 1 : LastHandle + 1;
    } while (Registry.count(LastHandle));
    Registry.emplace(LastHandle, std::move(session));
    return LastHandle;
}

int32_t EmailSetFromAddress(EMAILHANDLE h, const char* from) {
    return Update(h, [&](TSettings& s) { s.From = Text(from); });
}
int32_t EmailSetToAddress(EMAILHANDLE h, const char* toList) {
    return Update(h, [&](TSettings& s) { s.To = Text(toList); });
}
int32_t EmailSetCCAddress(EMAILHANDLE h, const char* ccList) {
    return Update(h, [&](TSettings& s) { s.Cc = Text(ccList); });
}
int32_t EmailSetBCCAddress(EMAILHANDLE h, const char* bccList) {
    return Update(h, [&](TSettings& s) { s.Bcc = Text(bccList); });
}
int32_t EmailSetSubject(EMAILHANDLE h, const char* subject) {
    return Update(h, [&](TSettings& s) { s.Subject = Text(subject); });
}
int32_t EmailSetBody(EMAILHANDLE h, const char* body) {
    return Update(h, [&](TSettings& s) { s.Body = Text(body); });
}
int32_t EmailSetServer(EMAILHANDLE h, const char* server) {
    return Update(h, [&](TSettings& s) { s.Server = Text(server); });
}
int32_t EmailSetAccount(EMAILHANDLE h, const char* account) {
    return Update(h, [&](TSettings& s) { s.Account = Text(account); });
}
int32_t EmailSetPassword(EMAILHANDLE h, const char* password) {
    return Update(h, [&](TSettings& s) { s.Password = Text(password); });
}
int32_t EmailSetPort(EMAILHANDLE h, int32_t port) {
    return Update(h, [&](TSettings& s) { s.Port = port; });
}
int32_t EmailAddAttachment(EMAILHANDLE h, const char* path) {
    return Update(h, [&](TSettings& s) { s.Attachments.push_back(Text(path)); });
}
int32_t EmailSetProgressCallback(EMAILHANDLE h, TEmailProgressCallback callback, void* userData) {
    return Update(h, [&](TSettings& s) {
        s.Progress = callback;
        s.ProgressData = userData;
    });
}
int32_t EmailSetStatusCallback(EMAILHANDLE h, TEmailStatusCallback callback, void* userData) {
    return Update(h, [&](TSettings& s) {
        s.Status = callback;
        s.StatusData = userData;
    });
}
int32_t EmailSetPlainAuth(EMAILHANDLE h, int32_t allow) {
    return Update(h, [&](TSettings& s) { s.PlainAuth = allow != 0; });
}
int32_t EmailSetTimeouts(EMAILHANDLE h, int32_t connectSeconds, int32_t idleSeconds) {
    return Update(h, [&](TSettings& s) {
        s.ConnectSeconds = connectSeconds > 0 ? connectSeconds : EMAIL_DEFAULT_TIMEOUT;
        s.IdleSeconds = idleSeconds > 0 ? idleSeconds : EMAIL_DEFAULT_TIMEOUT;
    });
}
int32_t EmailSetCAFile(EMAILHANDLE h, const char* path) {
    return Update(h, [&](TSettings& s) { s.CaFile = Text(path); });
}
int32_t EmailSetTrustLoopback(EMAILHANDLE h, int32_t trust) {
    return Update(h, [&](TSettings& s) { s.TrustLoopback = trust != 0; });
}

int32_t EmailGetAttachmentNumber(EMAILHANDLE h) {
    const std::shared_ptr<TSession> session = Find(h);
    if (!session) return 0;
    std::lock_guard<std::mutex> lock(session->Lock);
    return int32_t(session->Settings.Attachments.size());
}

int32_t EmailSend(EMAILHANDLE h) {
    const std::shared_ptr<TSession> session = Find(h);
    if (!session) return EMAIL_E_BAD_HANDLE;
    if (session->Sending.exchange(true)) return EMAIL_E_BUSY;
    TSettings settings;
    {
        std::lock_guard<std::mutex> lock(session->Lock);
        settings = session->Settings;
    }
    int32_t result;
    // Nothing may escape into a caller that only expects a number.
    try {
        result = TSender(settings, session->Cancelled).Run();
    } catch (const std::exception&) {
        result = EMAIL_E_INTERNAL;
    }
    session->Sending = false;
    return result;
}

int32_t EmailCancel(EMAILHANDLE h) {
    const std::shared_ptr<TSession> session = Find(h);
    if (!session) return EMAIL_E_BAD_HANDLE;
    session->Cancelled = true;
    return EMAIL_OK;
}

int32_t EmailDestroy(EMAILHANDLE h) {
    std::shared_ptr<TSession> session;
    {
        std::lock_guard<std::mutex> lock(RegistryLock);
        const auto it = Registry.find(h);
        if (it == Registry.end()) return EMAIL_E_BAD_HANDLE;
        session = std::move(it->second);
        Registry.erase(it);
    }
    session->Cancelled = true;
    return EMAIL_OK;
}
