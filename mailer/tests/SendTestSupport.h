#pragma once

#include "SendView.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <map>
#include <vector>

class QTcpServer;
class QTcpSocket;

namespace tarv {

// A compose window as far as the send sees it: a job to hand out and a record of what the
// send showed on it.
class RecordingSendView : public SendView {
public:
    SendJob jobFields;
    QStringList statuses, percents;
    std::vector<int> widths;
    QString echo;
    QString everyEcho; // all that was ever shown, clearing or not
    int echoAppends = 0;
    std::vector<bool> sendEnabled;
    std::vector<int> exits;         // Chiudi_Programma calls
    QStringList unattendedFailures; // failUnattended calls
    int dialUps = 0;
    std::function<void(const QString&)> onStatus;

    SendJob job() const override { return jobFields; }
    void setStatus(const QString& text) override {
        statuses << text;
        if (onStatus)
            onStatus(text);
    }
    void setPercent(const QString& text) override { percents << text; }
    void setProgressWidth(int twips) override { widths.push_back(twips); }
    void appendEcho(const QString& received) override {
        echo += received;
        everyEcho += received;
        ++echoAppends;
    }
    void clearEcho() override { echo.clear(); }
    void setSendEnabled(bool enabled) override { sendEnabled.push_back(enabled); }
    QObject* owner() override { return nullptr; }
    void Chiudi_Programma(int exitStatus) override { exits.push_back(exitStatus); }
    void offerDialUp() override { ++dialUps; }
    void failUnattended(const QString& statusText) override { unattendedFailures << statusText; }

    QString lastStatus() const { return statuses.isEmpty() ? QString() : statuses.last(); }
};

// Puts the calling thread (the test's main thread, which makes every socket of the send and
// starts the servers) into a network namespace of its own with loopback up, so the tests
// can use port 25 of 127.0.0.1 whatever else runs on the machine. Needs root; false when
// it cannot be had.
bool enterOwnNetwork();

// The real SMTP server: aiosmtpd (smtp_sink.py) on 127.0.0.1, saving every message.
class SinkServer {
public:
    // Port 25 (in a network namespace of our own when possible), else a free port chosen by
    // the system (the send is then pointed at it).
    bool start();
    // A free port, with the options of smtp_sink.py (--starttls, --tls, --login, ...). Every
    // byte it receives is written to receivedLog().
    bool startWith(const QStringList& options);
    QString receivedLog() const { return m_dir.filePath(QStringLiteral("received.log")); }
    void stop();
    ~SinkServer() { stop(); }

    quint16 port() const { return m_port; }
    int messageCount() const;
    QByteArray raw(int n) const;
    QJsonObject summary(int n) const;
    QString error() const { return m_error; }

private:
    bool launch(quint16 port, const QStringList& options = {});

    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
    QString m_error;
};

// A certificate authority made for the test (openssl), and server certificates it signs.
class TestAuthority {
public:
    explicit TestAuthority(const QString& name);
    bool ok() const { return m_ok; }
    QString certificate() const { return m_dir.filePath(QStringLiteral("ca.pem")); }
    // A server certificate for hostName; its certificate file and key file.
    std::pair<QString, QString> serverCertificate(const QString& hostName);
    // A server certificate with this subject CN and these DNS names (none: no
    // subjectAltName), filed under `file`.
    std::pair<QString, QString> serverCertificate(const QString& file, const QString& commonName,
                                                  const QStringList& dnsNames);

private:
    bool run(const QStringList& arguments);
    QTemporaryDir m_dir;
    bool m_ok = false;
};

// Sets an environment variable until the end of the scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value);
    ~ScopedEnv();

private:
    const char* m_name;
    QByteArray m_saved;
    bool m_had;
};

// A scripted SMTP server in this process for what no real server does on demand. It runs
// whenever the send lets events run.
class ScriptedServer : public QObject {
    Q_OBJECT
public:
    enum class Act { Reply, Close, Silence, Reset };
    struct Response {
        Act act = Act::Reply;
        QByteArray text; // for Reply
    };

    ScriptedServer();
    ~ScriptedServer() override;
    quint16 port() const;

    // Keyed by "GREETING", "HELO", "MAIL", "RCPT", "DATA", "END" (after the final "."),
    // "QUIT"; the defaults are the usual good replies.
    std::map<QByteArray, Response> script;
    // Replies go out in pieces of this many bytes, one write per piece (0 = whole).
    int pieceSize = 0;
    // Reset the connection once this many bytes of message content have arrived (0 = never).
    qsizetype resetAfterContent = 0;
    // Reads nothing for this many milliseconds after accepting DATA, so that the client's
    // writes meet a full connection.
    int holdContentMs = 0;
    // Bytes of "250 ..." lines written, unasked, while the message content is held.
    qsizetype floodDuringContent = 0;

    QList<QByteArray> commands; // every command line received, all connections
    QList<QByteArray> messages; // every message content received (transparency undone)
    int connections = 0;
    bool clientClosed = false;

private:
    void accept();
    void onData(QTcpSocket* socket);
    void respond(QTcpSocket* socket, const QByteArray& key);
    void writePieces(QTcpSocket* socket, const QByteArray& text);

    QTcpServer* m_server;
    std::map<QTcpSocket*, QByteArray> m_buffers;
    std::map<QTcpSocket*, bool> m_inData;
    std::map<QTcpSocket*, QByteArray> m_content;
    std::map<QTcpSocket*, qint64> m_holdUntil;
};

} // namespace tarv
