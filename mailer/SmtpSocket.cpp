#include "SmtpSocket.h"

#include "EventPump.h"
#include "WSKSOCK.h"

#include <QSocketNotifier>

#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tarv {

SmtpSocket::SmtpSocket(QObject* parent) : QObject(parent) {}

SmtpSocket::~SmtpSocket() {
    close();
}

void SmtpSocket::setError(int posixErrno) {
    m_lastError = WSKSOCK::winsockError(posixErrno);
}

bool SmtpSocket::create() {
    close();
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
    if (m_fd < 0)
        return;
    pollfd p{m_fd, POLLIN, 0};
    ::poll(&p, 1, timeoutMs);
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
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

} // namespace tarv
