#pragma once

#include <QByteArray>
#include <QObject>

#include <cstdint>

class QSocketNotifier;

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

    void close();
    bool isOpen() const { return m_fd >= 0; }
    int lastError() const { return m_lastError; }

signals:
    void readyRead();

private:
    void setError(int posixErrno);

    int m_fd = -1;
    int m_lastError = 0;
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace tarv
