// photo-service: the reference photo service of the upload wizard.
//
//   photo-service --root DIR --add-user LABGROUP USER PASSWORD
//       adds an account and prints its customer ID (PASSWORD "-": read from
//       the first line of standard input, so it shows in no process list)
//   photo-service --root DIR --port N [--cert FILE --key FILE]
//       serves on 127.0.0.1:N (0: a free port) until stopped by SIGINT or
//       SIGTERM; HTTPS with the certificate chain and key given. The first
//       line out is "serving URL"; then one line per request on stderr.
#include "tools/photo-service/photoservice.h"

#include <QString>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: photo-service --root DIR --add-user LABGROUP USER PASSWORD\n"
                 "       photo-service --root DIR --port N [--cert FILE --key FILE]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    TPhotoServiceOptions options;
    QString root;
    int port = -1;
    std::string labGroup, user, password;
    bool addUser = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto next = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        const char* value = nullptr;
        if (arg == "--root" && (value = next())) options.Root = QString::fromLocal8Bit(value);
        else if (arg == "--port" && (value = next())) port = std::atoi(value);
        else if (arg == "--cert" && (value = next())) options.CertFile = QString::fromLocal8Bit(value);
        else if (arg == "--key" && (value = next())) options.KeyFile = QString::fromLocal8Bit(value);
        else if (arg == "--add-user" && i + 3 < argc) {
            addUser = true;
            labGroup = argv[++i];
            user = argv[++i];
            password = argv[++i];
        } else return Usage();
    }
    if (options.Root.isEmpty() || (addUser == (port >= 0)) || port > 65535 ||
        options.CertFile.isEmpty() != options.KeyFile.isEmpty())
        return Usage();

    TPhotoService service(options);
    QString error;
    if (!service.Open(error)) {
        std::fprintf(stderr, "photo-service: %s\n", qPrintable(error));
        return 1;
    }
    if (addUser) {
        if (password == "-" && !std::getline(std::cin, password)) return Usage();
        const std::string customerID = service.Store().AddUser(labGroup, user, password, error);
        if (customerID.empty()) {
            std::fprintf(stderr, "photo-service: %s\n", qPrintable(error));
            return 1;
        }
        std::printf("%s\n", customerID.c_str());
        return 0;
    }

    // The signals are waited for here, not handled at any point of the serving threads.
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);
    service.SetRequestLog([](const TRequestRecord& r) {
        std::fprintf(stderr, "%s %s %d\n", r.Method.c_str(), r.Path.c_str(), r.Status);
    });
    if (service.Start(port, error) == 0) {
        std::fprintf(stderr, "photo-service: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("serving %s/\n", qPrintable(service.BaseUrl()));
    std::fflush(stdout);
    int signal = 0;
    sigwait(&stop, &signal);
    service.Stop();
    return 0;
}
