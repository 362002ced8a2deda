#include "SendTestSupport.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tarv {

bool enterOwnNetwork() {
    static const bool entered = [] {
        if (geteuid() != 0 || unshare(CLONE_NEWNET) != 0)
            return false;
        // Children inherit the namespace of the thread that starts them: this one.
        return QProcess::execute(QStringLiteral("ip"), {"link", "set", "lo", "up"}) == 0;
    }();
    return entered;
}

bool SinkServer::start() {
    // Port 25 in a namespace of our own; else port 25 of this machine when we may bind it and
    // it is free; else any free port (the send is then pointed at it).
    const bool own = enterOwnNetwork();
    if (own || geteuid() == 0) {
        if (launch(25) || own)
            return m_port != 0;
        stop();
    }
    return launch(0);
}

bool SinkServer::startWith(const QStringList& options) {
    enterOwnNetwork();
    return launch(0, options + QStringList{QStringLiteral("--log"), receivedLog()});
}

bool SinkServer::launch(quint16 wanted, const QStringList& options) {
    const QString script =
        QString::fromLocal8Bit(qgetenv("TARV_SOURCE_DIR")) + "/mailer/tests/smtp_sink.py";
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral("/usr/bin/python3"),
                    QStringList{script, "127.0.0.1", QString::number(wanted), m_dir.path()} +
                        options);
    if (!m_process.waitForStarted(60000)) {
        m_error = "cannot start " + script;
        return false;
    }
    QElapsedTimer timer;
    timer.start();
    QByteArray line;
    while (!line.contains('\n') && timer.elapsed() < 60000) {
        if (!m_process.waitForReadyRead(200) && m_process.state() != QProcess::Running)
            break;
        line += m_process.readAllStandardOutput();
    }
    if (!line.startsWith("READY ")) {
        m_error = "the SMTP server did not start: " + QString::fromUtf8(line);
        return false;
    }
    m_port = quint16(line.mid(6).trimmed().toUInt());
    return true;
}

void SinkServer::stop() {
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(30000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

int SinkServer::messageCount() const {
    return int(QDir(m_dir.path()).entryList({"*.json"}, QDir::Files).size());
}

QByteArray SinkServer::raw(int n) const {
    QFile f(m_dir.filePath(QString::number(n) + ".eml"));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QJsonObject SinkServer::summary(int n) const {
    QFile f(m_dir.filePath(QString::number(n) + ".json"));
    return f.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(f.readAll()).object()
                                       : QJsonObject();
}

TestAuthority::TestAuthority(const QString& name) {
    m_ok = run({"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                "-nodes", "-keyout", m_dir.filePath("ca.key"), "-out", certificate(), "-days", "2",
                "-subj", "/CN=" + name, "-addext", "basicConstraints=critical,CA:TRUE", "-addext",
                "keyUsage=critical,keyCertSign,cRLSign"});
}

bool TestAuthority::run(const QStringList& arguments) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("openssl"), arguments);
    if (!p.waitForFinished(60000) || p.exitCode() != 0) {
        qWarning("openssl %s: %s", qPrintable(arguments.join(' ')), p.readAll().constData());
        return false;
    }
    return true;
}

std::pair<QString, QString> TestAuthority::serverCertificate(const QString& hostName) {
    return serverCertificate(hostName, hostName, {hostName});
}

std::pair<QString, QString> TestAuthority::serverCertificate(const QString& file,
                                                             const QString& commonName,
                                                             const QStringList& dnsNames) {
    const QString base = m_dir.filePath(file);
    QFile ext(base + ".ext");
    if (ext.open(QIODevice::WriteOnly)) {
        if (!dnsNames.isEmpty())
            ext.write("subjectAltName=DNS:" + dnsNames.join(",DNS:").toUtf8() + "\n");
        ext.write("basicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n");
    }
    ext.close();
    const bool made =
        m_ok &&
        run({"req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
             "-keyout", base + ".key", "-out", base + ".csr", "-subj", "/CN=" + commonName}) &&
        run({"x509", "-req", "-in", base + ".csr", "-CA", certificate(), "-CAkey",
             m_dir.filePath("ca.key"), "-CAcreateserial", "-out", base + ".pem", "-days", "2",
             "-extfile", base + ".ext"});
    return made ? std::pair{base + ".pem", base + ".key"} : std::pair<QString, QString>{};
}

ScopedEnv::ScopedEnv(const char* name, const QByteArray& value)
    : m_name(name), m_saved(qgetenv(name)), m_had(qEnvironmentVariableIsSet(name)) {
    qputenv(name, value);
}

ScopedEnv::~ScopedEnv() {
    if (m_had)
        qputenv(m_name, m_saved);
    else
        qunsetenv(m_name);
}

ScriptedServer::ScriptedServer() : m_server(new QTcpServer(this)) {
    script["GREETING"] = {Act::Reply, "220 fake.test ESMTP ready\r\n"};
    script["HELO"] = {Act::Reply, "250 fake.test\r\n"};
    script["MAIL"] = {Act::Reply, "250 2.1.0 Ok\r\n"};
    script["RCPT"] = {Act::Reply, "250 2.1.5 Ok\r\n"};
    script["DATA"] = {Act::Reply, "354 End data with <CR><LF>.<CR><LF>\r\n"};
    script["END"] = {Act::Reply, "250 2.0.0 Ok: queued\r\n"};
    script["QUIT"] = {Act::Reply, "221 2.0.0 Bye\r\n"};
    script["RESET"] = {Act::Reset, {}};
    m_server->listen(QHostAddress::LocalHost, 0);
    connect(m_server, &QTcpServer::newConnection, this, &ScriptedServer::accept);
}

ScriptedServer::~ScriptedServer() = default;

quint16 ScriptedServer::port() const {
    return m_server->serverPort();
}

void ScriptedServer::accept() {
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        ++connections;
        socket->setParent(this);
        socket->setReadBufferSize(16 * 1024);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onData(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this] { clientClosed = true; });
        respond(socket, "GREETING");
    }
}

void ScriptedServer::writePieces(QTcpSocket* socket, const QByteArray& text) {
    if (pieceSize <= 0) {
        socket->write(text);
        socket->flush();
        return;
    }
    // One piece per pass of the event loop, so that the client reads them one by one.
    for (qsizetype i = 0; i < text.size(); i += pieceSize) {
        const QByteArray piece = text.mid(i, pieceSize);
        QTimer::singleShot(int(i / pieceSize) * 3, socket, [socket, piece] {
            socket->write(piece);
            socket->flush();
        });
    }
}

void ScriptedServer::respond(QTcpSocket* socket, const QByteArray& key) {
    const Response r = script[key];
    switch (r.act) {
    case Act::Reply:
        writePieces(socket, r.text);
        break;
    case Act::Close:
        socket->disconnectFromHost();
        break;
    case Act::Silence:
        break;
    case Act::Reset:
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        {
            struct linger l {
                1, 0
            };
            ::setsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &l, sizeof l);
        }
        socket->abort();
        break;
    }
}

void ScriptedServer::onData(QTcpSocket* socket) {
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (m_holdUntil[socket] > now) {
        QTimer::singleShot(int(m_holdUntil[socket] - now) + 1, socket,
                           [this, socket] { onData(socket); });
        return;
    }
    QByteArray& buffer = m_buffers[socket];
    buffer += socket->readAll();
    for (;;) {
        if (m_inData[socket]) {
            // Message content: complete lines only, until the line ".".
            const qsizetype end = buffer.indexOf("\r\n");
            if (end < 0)
                return;
            QByteArray line = buffer.left(end);
            buffer.remove(0, end + 2);
            if (line == ".") {
                m_inData[socket] = false;
                messages << m_content[socket];
                m_content[socket].clear();
                respond(socket, "END");
                continue;
            }
            if (line.startsWith('.'))
                line.remove(0, 1);
            m_content[socket] += line + "\r\n";
            if (resetAfterContent && m_content[socket].size() >= resetAfterContent) {
                respond(socket, "RESET");
                return;
            }
            continue;
        }
        const qsizetype end = buffer.indexOf("\r\n");
        if (end < 0)
            return;
        const QByteArray line = buffer.left(end);
        buffer.remove(0, end + 2);
        commands << line;
        const QByteArray verb = line.left(4).toUpper();
        if (verb == "DATA" && script["DATA"].act == Act::Reply &&
            script["DATA"].text.startsWith("354")) {
            m_inData[socket] = true;
            if (holdContentMs > 0) {
                m_holdUntil[socket] = QDateTime::currentMSecsSinceEpoch() + holdContentMs;
                respond(socket, verb);
                QByteArray flood;
                while (flood.size() < floodDuringContent)
                    flood += "250 2.0.0 Ok\r\n";
                writePieces(socket, flood);
                QTimer::singleShot(holdContentMs + 1, socket, [this, socket] { onData(socket); });
                return;
            }
        }
        respond(socket, verb);
        if (socket->state() != QAbstractSocket::ConnectedState)
            return;
    }
}

} // namespace tarv
