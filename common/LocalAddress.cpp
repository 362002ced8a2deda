#include "LocalAddress.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tarv::WSKSOCK {

std::uint32_t ResolveHost(const QString& host) {
    const QByteArray name = host.toUtf8();
    // A dotted address is used as it stands, without a look-up. "255.255.255.255" reads as
    // the not-found value, as inet_addr has always had it.
    in_addr direct{};
    if (inet_aton(name.constData(), &direct) != 0)
        return direct.s_addr;
    if (name.isEmpty() || name.contains('\0'))
        return kNoAddress;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(name.constData(), nullptr, &hints, &found) != 0 || !found)
        return kNoAddress;
    std::uint32_t address = kNoAddress;
    for (addrinfo* ai = found; ai; ai = ai->ai_next) {
        if (ai->ai_family == AF_INET && ai->ai_addr) {
            address = reinterpret_cast<const sockaddr_in*>(ai->ai_addr)->sin_addr.s_addr;
            break;
        }
    }
    freeaddrinfo(found);
    return address;
}

QString AddressToText(std::uint32_t address) {
    in_addr a{};
    a.s_addr = address;
    char text[INET_ADDRSTRLEN] = {};
    if (!inet_ntop(AF_INET, &a, text, sizeof text))
        return QStringLiteral("255.255.255.255");
    return QString::fromLatin1(text).left(32);
}

QString HostAddressText(const QString& host) {
    return AddressToText(ResolveHost(host));
}

QString LocalHostName() {
    char buffer[256] = {};
    if (gethostname(buffer, sizeof buffer - 1) != 0)
        buffer[0] = '\0';
    const QString name = QString::fromUtf8(buffer, qstrnlen(buffer, sizeof buffer));
    return name.isEmpty() ? QStringLiteral("Unknown") : name;
}

QString LocalAddress() {
    return HostAddressText(LocalHostName());
}

bool Connessione_Attiva() {
    const QString address = LocalAddress();
    return !(address == QLatin1String("127.0.0.1") || address.isEmpty());
}

} // namespace tarv::WSKSOCK
