#include "SmtpSocket.h"

#include "EventPump.h"
#include "WSKSOCK.h"

#include <QSocketNotifier>

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tarv {

namespace {

// The winsock number reported for a connection that TLS has given up on.
constexpr int kConnectionAborted = 10053;

// The last error OpenSSL queued, in its own words (empty when there is none).
QString openSslReason() {
    const unsigned long code = ERR_peek_last_error();
    ERR_clear_error();
    if (code == 0)
        return QString();
    const char* reason = ERR_reason_error_string(code);
    return reason ? QString::fromLatin1(reason) : QStringLiteral("errore %1").arg(code);
}

QString certificateReason(long result, const QString& serverName) {
    switch (result) {
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
        return QStringLiteral("il certificato non è intestato a %1").arg(serverName);
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
        return QStringLiteral("l'autorità che lo ha emesso non è tra quelle riconosciute");
    case X509_V_ERR_CERT_HAS_EXPIRED:
        return QStringLiteral("il certificato è scaduto");
    case X509_V_ERR_CERT_NOT_YET_VALID:
        return QStringLiteral("il certificato non è ancora valido");
    default:
        return QStringLiteral("verifica non riuscita (%1)")
            .arg(QString::fromLatin1(X509_verify_cert_error_string(result)));
    }
}

} // namespace

SmtpSocket::SmtpSocket(QObject* parent) : QObject(parent) {}

SmtpSocket::~SmtpSocket() {
    close();
}

void SmtpSocket::setError(int posixErrno) {
    m_lastError = WSKSOCK::winsockError(posixErrno);
}

bool SmtpSocket::create() {
    close();
    m_tlsError.clear();
    m_certificateRefused = false;
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_fd < 0) {
        setError(errno);
        return false;
    }
    m_lastError = 0;
    return true;
}

bool SmtpSocket::connectTo(std::uint32_t address, quint16 port, EventPump& pump) {
    if (m_fd < 0) {
        m_lastError = 10038;
        return false;
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = address;
    if (::connect(m_fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0)
        return true;
    if (errno != EINPROGRESS) {
        setError(errno);
        return false;
    }
    // The kernel bounds the attempt (SYN retries); meanwhile the window stays alive.
    for (;;) {
        pollfd p{m_fd, POLLOUT, 0};
        const int ready = ::poll(&p, 1, 5);
        if (ready < 0 && errno != EINTR) {
            setError(errno);
            return false;
        }
        if (ready > 0)
            break;
        pump.pump();
        if (m_fd < 0) { // closed while the events ran
            m_lastError = 10004;
            return false;
        }
    }
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        error = errno;
    if (error != 0) {
        setError(error);
        return false;
    }
    return true;
}

bool SmtpSocket::startNotifications() {
    if (m_fd < 0)
        return false;
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SmtpSocket::readyRead);
    return m_notifier->isValid() && m_notifier->isEnabled();
}

int SmtpSocket::receive(QByteArray& data) {
    data.clear();
    if (m_fd < 0) {
        m_lastError = 10038;
        return -1;
    }
    char buffer[kReceiveBuffer];
    if (m_ssl) {
        const int n = SSL_read(m_ssl, buffer, sizeof buffer);
        if (n > 0) {
            data = QByteArray(buffer, n);
            return n;
        }
        switch (SSL_get_error(m_ssl, n)) {
        case SSL_ERROR_WANT_READ:
        case SSL_ERROR_WANT_WRITE:
            m_lastError = 10035;
            return -1;
        case SSL_ERROR_ZERO_RETURN:
            m_lastError = 0;
            close();
            return 0;
        case SSL_ERROR_SYSCALL: {
            const int error = errno;
            m_tlsBroken = true;
            close();
            if (error == 0) {
                m_lastError = 0; // the peer went away without a word
                return 0;
            }
            setError(error);
            return -1;
        }
        default:
            tlsFailed(openSslReason());
            return -1;
        }
    }
    ssize_t n;
    do {
        n = ::recv(m_fd, buffer, sizeof buffer, 0);
    } while (n < 0 && errno == EINTR);
    if (n > 0) {
        data = QByteArray(buffer, n);
        return int(n);
    }
    if (n < 0) {
        setError(errno);
        if (m_lastError == 10035)
            return -1;
    } else {
        m_lastError = 0;
    }
    close();
    return n < 0 ? -1 : 0;
}

bool SmtpSocket::sendAll(const QByteArray& data, EventPump& pump, Clock& clock, qint64 timeoutMs) {
    qsizetype done = 0;
    qint64 waitingSince = -1;
    while (done < data.size()) {
        if (m_fd < 0) {
            m_lastError = 0;
            return false;
        }
        if (m_ssl) {
            const int n = SSL_write(m_ssl, data.constData() + done,
                                    int(std::min<qsizetype>(data.size() - done, 1 << 30)));
            if (n > 0) {
                done += n;
                waitingSince = -1;
                continue;
            }
            const int error = SSL_get_error(m_ssl, n);
            if (error == SSL_ERROR_SYSCALL) {
                setError(errno);
                m_tlsBroken = true;
                return false;
            }
            if (error != SSL_ERROR_WANT_READ && error != SSL_ERROR_WANT_WRITE) {
                m_tlsBroken = true;
                m_tlsError = openSslReason();
                m_lastError = kConnectionAborted;
                return false;
            }
            if (!waitForTls(error, pump, clock, timeoutMs, &waitingSince)) {
                if (m_fd >= 0)
                    m_lastError = 10060;
                else
                    m_lastError = 0;
                return false;
            }
            continue;
        }
        const ssize_t n =
            ::send(m_fd, data.constData() + done, size_t(data.size() - done), MSG_NOSIGNAL);
        if (n > 0) {
            done += n;
            waitingSince = -1;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN) {
            setError(errno);
            return false;
        }
        // The peer is not taking data as fast as we give it: wait for room.
        const qint64 now = clock.milliseconds();
        if (waitingSince < 0)
            waitingSince = now;
        else if (now - waitingSince > timeoutMs) {
            m_lastError = 10060;
            return false;
        }
        pollfd p{m_fd, POLLOUT, 0};
        ::poll(&p, 1, 5);
        pump.pump();
    }
    return true;
}

void SmtpSocket::waitReadable(int timeoutMs) {
    if (m_fd < 0 || hasBufferedData())
        return;
    pollfd p{m_fd, POLLIN, 0};
    ::poll(&p, 1, timeoutMs);
}

bool SmtpSocket::hasBufferedData() const {
    return m_ssl && SSL_pending(m_ssl) > 0;
}

QString SmtpSocket::errorText() const {
    return m_tlsError.isEmpty() ? WSKSOCK::SocketErrorText(m_lastError) : m_tlsError;
}

void SmtpSocket::tlsFailed(const QString& why) {
    m_tlsBroken = true;
    m_tlsError = why.isEmpty() ? QStringLiteral("errore del protocollo TLS") : why;
    m_lastError = kConnectionAborted;
    close();
}

bool SmtpSocket::waitForTls(int sslError, EventPump& pump, Clock& clock, qint64 timeoutMs,
                            qint64* waitingSince) {
    const qint64 now = clock.milliseconds();
    if (*waitingSince < 0)
        *waitingSince = now;
    else if (now - *waitingSince > timeoutMs)
        return false;
    pollfd p{m_fd, short(sslError == SSL_ERROR_WANT_WRITE ? POLLOUT : POLLIN), 0};
    ::poll(&p, 1, 5);
    pump.pump();
    return m_fd >= 0;
}

bool SmtpSocket::startTls(const QString& serverName, EventPump& pump, Clock& clock,
                          qint64 timeoutMs) {
    m_tlsError.clear();
    m_certificateRefused = false;
    m_tlsBroken = false;
    if (m_fd < 0 || m_ssl) {
        m_lastError = 10038;
        return false;
    }
    // OpenSSL writes with write(), not send(MSG_NOSIGNAL): a server that goes away mid-message
    // must give an error, not end the program.
    static const bool pipeIgnored = [] {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        return ::sigaction(SIGPIPE, &ignore, nullptr) == 0;
    }();
    Q_UNUSED(pipeIgnored);
    // Made for each connection, so that the certificate authorities are read as they are now
    // (SSL_CERT_FILE, SSL_CERT_DIR, the system's store).
    m_context = SSL_CTX_new(TLS_client_method());
    if (!m_context) {
        tlsFailed(openSslReason());
        return false;
    }
    SSL_CTX_set_min_proto_version(m_context, TLS1_2_VERSION);
    SSL_CTX_set_default_verify_paths(m_context);
    SSL_CTX_set_verify(m_context, SSL_VERIFY_PEER, nullptr);
    // Servers that close after "221" without a TLS goodbye end the connection normally:
    // every reply is framed by its own line end, so nothing can be cut unnoticed.
    SSL_CTX_set_options(m_context, SSL_OP_IGNORE_UNEXPECTED_EOF);
    SSL_CTX_set_mode(m_context,
                     SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    m_ssl = SSL_new(m_context);
    if (!m_ssl || SSL_set_fd(m_ssl, m_fd) != 1) {
        tlsFailed(openSslReason());
        return false;
    }
    QByteArray name = serverName.toUtf8();
    // A name written with its final dot ("smtp.example.com.") is the same absolute name;
    // certificates and the name sent to the server (SNI) carry it without the dot.
    if (name.endsWith('.'))
        name.chop(1);
    in_addr probe{};
    bool named = false;
    if (::inet_pton(AF_INET, name.constData(), &probe) == 1) {
        named = X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(m_ssl), name.constData()) == 1;
    } else {
        // RFC 9525: a wildcard stands for one whole label ("*.example.com", never
        // "m*.example.com"), and the subject's CN names nothing: only the DNS names count.
        SSL_set_hostflags(m_ssl, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS |
                                     X509_CHECK_FLAG_NEVER_CHECK_SUBJECT);
        named = !name.isEmpty() && SSL_set1_host(m_ssl, name.constData()) == 1;
        SSL_set_tlsext_host_name(m_ssl, name.constData());
    }
    if (!named) {
        // Without the name to check, any valid certificate would pass.
        m_certificateRefused = true;
        tlsFailed(QStringLiteral("il certificato non può essere verificato per il nome \"%1\"")
                      .arg(serverName));
        return false;
    }

    // The handshake reads the socket itself: no notification may take its bytes meanwhile.
    if (m_notifier)
        m_notifier->setEnabled(false);
    qint64 waitingSince = -1;
    for (;;) {
        ERR_clear_error();
        const int r = SSL_connect(m_ssl);
        if (r == 1)
            break;
        const int error = SSL_get_error(m_ssl, r);
        if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) {
            if (!waitForTls(error, pump, clock, timeoutMs, &waitingSince)) {
                if (m_fd >= 0) {
                    tlsFailed(QStringLiteral("il server non ha completato la negoziazione"));
                } else {
                    m_lastError = 0;
                }
                return false;
            }
            continue;
        }
        const long verify = SSL_get_verify_result(m_ssl);
        if (verify != X509_V_OK) {
            m_certificateRefused = true;
            tlsFailed(certificateReason(verify, serverName));
        } else if (error == SSL_ERROR_SYSCALL || error == SSL_ERROR_ZERO_RETURN) {
            tlsFailed(QStringLiteral("il server ha chiuso la connessione"));
        } else {
            tlsFailed(openSslReason());
        }
        return false;
    }
    if (m_notifier)
        m_notifier->setEnabled(true);
    return true;
}

void SmtpSocket::close() {
    if (m_notifier) {
        // Closed sockets read as readable for ever: the notifier must go before the
        // descriptor does. It may be the one whose signal is running, so it is deleted later.
        m_notifier->setEnabled(false);
        m_notifier->disconnect(this);
        m_notifier->deleteLater();
        m_notifier = nullptr;
    }
    if (m_ssl) {
        // A TLS goodbye, as far as the socket takes it at once; never after a fatal error.
        if (!m_tlsBroken && SSL_is_init_finished(m_ssl))
            SSL_shutdown(m_ssl);
        SSL_free(m_ssl);
        m_ssl = nullptr;
        ERR_clear_error();
    }
    if (m_context) {
        SSL_CTX_free(m_context);
        m_context = nullptr;
    }
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

} // namespace tarv
