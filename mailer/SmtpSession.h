#pragma once

#include "SendView.h"
#include "SmtpReplyBuffer.h"
#include "Submission.h"

#include <QObject>
#include <QStringDecoder>

#include <functional>
#include <memory>

namespace tarv {

class Base64;
class ProgramSettings;
class SmtpSocket;
class SmtpTranscript;

// The SMTP client behind the compose window's send button: checks the job, opens one
// connection per recipient to port 25 of the server, and speaks HELO, MAIL FROM, RCPT TO,
// DATA, the message and QUIT, each command answered by one whole reply with the expected
// code. With a security or a user in the stored settings (Submission) the opening is EHLO,
// STARTTLS or TLS from the first byte, and AUTH PLAIN or LOGIN before MAIL FROM; a password
// never crosses a connection that is not encrypted with a verified certificate. The dialogue runs
// nested inside the reply waits, which let events run through the process-wide event pump; the
// reads come from the socket's notifications.
//
// The window owns one session, implements SendView, connects its send button's click to
// SendMimeConnect_Click, and calls closeConnection() from its exit routine.
class SmtpSession : public QObject {
    Q_OBJECT
public:
    // Waits without a reply: the warning shown after kReplyWarningMs, and the limits after
    // which the connection is given up (RFC 5321 4.5.3.2).
    static constexpr qint64 kReplyWarningMs = 20000;
    static constexpr qint64 kCommandLimitMs = 5 * 60 * 1000;
    static constexpr qint64 kDataLimitMs = 2 * 60 * 1000;
    static constexpr qint64 kMessageLimitMs = 10 * 60 * 1000;
    // How long one write may wait for the server to take data.
    static constexpr qint64 kSendLimitMs = 3 * 60 * 1000;

    SmtpSession(SendView& view, ProgramSettings& settings, QObject* parent = nullptr);
    ~SmtpSession() override;

    // The server's port, over the stored "Porta" (for tests; 0 gives the stored one back).
    void setPort(quint16 port) { m_port = port; }
    // Replaces the connectivity test (WSKSOCK::Connessione_Attiva).
    void setConnectivityTest(std::function<bool()> test) { m_connectivity = std::move(test); }

    // Where the dialogue is written as it happens (--verbose); null for nowhere. The stored
    // setting "Registro" adds a file of its own to every send.
    void setTranscript(SmtpTranscript* transcript) { m_transcript = transcript; }
    // The pause before each piece of an attachment when "PausaAllegati" is not set.
    void setDefaultPauseMs(qint64 ms) { m_defaultPauseMs = ms; }
    // How the last send ended, as an exit status (ExitStatus.h): 0 after a completed send.
    int exitStatus() const { return m_exitStatus; }

    bool isSending() const { return m_busy; }
    bool dialogueActive() const { return m_inDialogo; }
    int step() const { return m_step; }
    int recipientIndex() const { return m_recipientIndex; }

    // Step routine, reply wait and "another recipient follows".
    void Passo_Successivo(int step);
    void Attendi_Risposta();
    bool Ancora_Dest() const;
    // Sends one piece of text on the connection, all of it. On failure the status says why
    // and the connection is closed.
    bool Invia_Testo(const QByteArray& text);

public slots:
    // The send action. Ignored while a dialogue runs.
    void SendMimeConnect_Click();
    // The read handler, run once per readable or closed notification of the socket.
    void DataArrival_MouseUp();
    // Closes the connection, if any, at once (the program's exit routine).
    void closeConnection();
    // The window is going away: a send that runs ends unfinished, and an unattended run
    // reports the reason to its caller.
    void abandon(const QString& reason);

private:
    // Where the extended opening stands: the reply awaited now answers this command.
    // AuthPlainAsk: "AUTH PLAIN" without its token, which follows the server's 334.
    enum class Opening {
        None,
        Ehlo,
        StartTls,
        AuthPlainAsk,
        AuthPlain,
        AuthLogin,
        AuthUser,
        AuthPassword
    };

    void startConnection();
    bool readPassword();
    void continueOpening(const QByteArray& reply);
    void afterEhlo(const QByteArray& reply);
    // Sends one command of the opening and waits for its reply.
    // The command is wiped once sent.
    void openingCommand(Opening opening, int expected, QByteArray command);
    // Sends prefix + secret as a command of the opening, and wipes every copy made of it.
    void sendSecret(Opening opening, int expected, const char* prefix, QByteArray secret);
    // The AUTH PLAIN token and a Base64 LOGIN answer (the caller wipes them after use).
    QByteArray plainToken() const;
    static QByteArray loginAnswer(const QString& text);
    bool startTls();
    void failTls();
    bool checkAddresses();
    bool connectionAlive(quint64 generation) const;
    // Appends received text to the echo box, with the hidden texts masked.
    void showEcho(const QByteArray& bytes);
    void handleReply(const QByteArray& reply);
    void completion();
    // Ends the dialogue without the completion: closes the connection, shows the status,
    // ends every pending wait, and gives the send button back.
    // unattendedText replaces the status in what an unattended run reports.
    void fail(const QString& status, const QString& unattendedText = QString());
    // The same, ending with the given exit status rather than a temporary failure's.
    void failAs(int exitStatus, const QString& status, const QString& unattendedText = QString());
    // A reply with a code the dialogue did not expect: the status shows what the server said.
    void failReply(const QByteArray& reply);
    void record(int speaker, const QByteArray& data);
    void note(const QString& text);
    bool sendsEightBit() const;
    void openRegistro();
    void endDialogue();
    // Wipes the password and every form of it the send made.
    void forgetPassword();
    qint64 replyLimit() const;
    qint64 pauseMs();
    QString currentRecipient() const;

    SendView& m_view;
    ProgramSettings& m_settings;
    std::unique_ptr<SmtpSocket> m_socket;
    std::unique_ptr<Base64> m_base64;
    std::function<bool()> m_connectivity;
    quint16 m_port = 0;
    Submission m_submission;
    QString m_serverName;
    QString m_password;
    // Texts that are never shown in the echo box: the password and the login tokens.
    QStringList m_hidden;
    Opening m_opening = Opening::None;

    SendJob m_job;
    bool m_unattended = false;
    bool m_busy = false;
    bool m_inDialogo = false;
    int m_step = 0;
    int m_expected = 0;
    int m_recipientIndex = 0;
    bool m_writing = false;
    // Each connection gets a new generation; waits watch only their own.
    quint64 m_generation = 0;
    quint64 m_quitAccepted = 0;
    SmtpReplyBuffer m_replies;
    QStringDecoder m_echoDecoder{QStringDecoder::Utf8};
    SmtpTranscript* m_transcript = nullptr;
    std::unique_ptr<SmtpTranscript> m_registro;
    QString m_registroPath;
    qint64 m_defaultPauseMs = -1;
    int m_exitStatus = 0;
    int m_failStatus = 0;
    bool m_eightBitOffered = false;
    qint64 m_messageBytes = 0;
};

} // namespace tarv
