#include "ExitStatus.h"

#include <netdb.h>
#include <sys/socket.h>

namespace tarv::ExitStatus {

int ofReply(int code) {
    if (code >= 400 && code < 500)
        return EX_TEMPFAIL;
    if (code >= 500 && code < 600)
        return EX_UNAVAILABLE;
    return EX_PROTOCOL;
}

int ofUnresolvedHost(const QString& host) {
    const QByteArray name = host.trimmed().toUtf8();
    if (name.isEmpty() || name.contains('\0'))
        return EX_NOHOST;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int error = getaddrinfo(name.constData(), nullptr, &hints, &found);
    if (found)
        freeaddrinfo(found);
    switch (error) {
    case EAI_NONAME:
#ifdef EAI_NODATA
    case EAI_NODATA:
#endif
    case EAI_ADDRFAMILY:
    case 0: // it has an address after all, but none the send could use
        return EX_NOHOST;
    default:
        return EX_TEMPFAIL;
    }
}

int worse(int a, int b) {
    if (a == EX_OK)
        return b;
    if (b == EX_OK)
        return a;
    if (a == EX_TEMPFAIL && b != EX_TEMPFAIL)
        return b;
    return a;
}

QString recipientSummary(const QStringList& served, const QStringList& notServed) {
    const QString none = QStringLiteral("nessuno");
    return QStringLiteral("spedito a: %1; non spedito a: %2")
        .arg(served.isEmpty() ? none : served.join(QStringLiteral(", ")),
             notServed.isEmpty() ? none : notServed.join(QStringLiteral(", ")));
}

} // namespace tarv::ExitStatus
