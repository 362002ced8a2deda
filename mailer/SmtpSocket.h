#pragma once

#include <QByteArray>
#include <QObject>

#include <QString>

#include <cstdint>

class QSocketNotifier;
typedef struct ssl_st SSL;
typedef struct ssl_ctx_st SSL_CTX;

namespace tarv {

class Clock;
class EventPump;

// The one TCP connection of a send, on a non-blocking POSIX socket. Failures come back as
// Winsock error numbers (WSKSOCK::SocketErrorText describes them).
//
// Readiness reaches the window thread through a QSocketNotifier, which is level-triggered: a
// socket with unread data, or one the peer has closed, makes it fire again on every pass of
// the event loop. So every read drains what it was woken for, and every path that closes the
// socket disables the notifier at once (close()).
//
// startTls() turns the connection into a TLS client connection (OpenSSL) on the same
// descriptor; from then on receive() and sendAll() carry plain text through it. The TLS layer
// may hold decrypted bytes while the descriptor has nothing to read, and then no notification
// comes: whoever waits for a reply asks hasBufferedData() and reads on its own.
class SmtpSocket : public QObject {
    Q_OBJECT
public:
    static constexpr int kReceiveBuffer = 2048;

    explicit SmtpSocket(QObject* parent = nullptr);
    ~SmtpSocket() override;

    // socket(AF_INET, SOCK_STREAM). False (and lastError) when none can be created.
    bool create();
    // Connects to address:port (address and port in network byte order as the address
    // is kept; port given in host order), letting events run through the pump while the
    // connection is being set up. The outcome is that of a blocking connect.
    bool connectTo(std::uint32_t address, quint16 port, EventPump& pump);
    // Starts the readable/closed notifications (signal readyRead). False when they cannot
    // be had.
    bool startNotifications();

    // Reads at most 2048 bytes. Returns the count: above 0 with the bytes in `data`; 0 when
    // the peer closed the connection; -1 on error (lastError; 10035 = nothing to read yet).
    // Anything but "nothing to read yet" closes the socket.
    int receive(QByteArray& data);

    // Sends every byte of `data`. When the socket cannot take more, waits for it, letting
    // events run, for at most timeoutMs of `clock`. False on failure: lastError holds the
    // reason, or 0 when the socket was closed by someone else during the wait. Does not
    // close the socket itself.
    bool sendAll(const QByteArray& data, EventPump& pump, Clock& clock, qint64 timeoutMs);

    // Blocks for at most timeoutMs until the socket has something to read (or is closed).
    void waitReadable(int timeoutMs);

    // The TLS handshake as a client of serverName, letting events run while it waits for the
    // server, for at most timeoutMs of `clock`. The server's certificate must chain to a
    // certificate authority the system trusts (SSL_CERT_FILE and SSL_CERT_DIR name others) and
    // be made out to serverName (a host name, or an IPv4 address). False on failure, with
    // tlsError() saying why and certificateRefused() telling a refused certificate apart; the
    // socket is closed then.
    bool startTls(const QString& serverName, EventPump& pump, Clock& clock, qint64 timeoutMs);
    bool isEncrypted() const { return m_ssl != nullptr; }
    bool hasBufferedData() const;
    bool certificateRefused() const { return m_certificateRefused; }
    // Why the last TLS operation failed, in Italian; empty when none did.
    QString tlsError() const { return m_tlsError; }
    // The reason of the last failure in words: the TLS reason when there is one, else the
    // socket error's text.
    QString errorText() const;

    void close();
    bool isOpen() const { return m_fd >= 0; }
    int lastError() const { return m_lastError; }

signals:
    void readyRead();

private:
    void setError(int posixErrno);
    // Waits for the descriptor to allow what an OpenSSL call asked for, letting events run.
    // False when the socket was closed meanwhile or the wait went beyond timeoutMs since
    // *waitingSince (set on the first call of a wait).
    bool waitForTls(int sslError, EventPump& pump, Clock& clock, qint64 timeoutMs,
                    qint64* waitingSince);
    void tlsFailed(const QString& why);

    int m_fd = -1;
    SSL_CTX* m_context = nullptr;
    SSL* m_ssl = nullptr;
    bool m_tlsBroken = false;
    bool m_certificateRefused = false;
    QString m_tlsError;
    int m_lastError = 0;
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace tarv
