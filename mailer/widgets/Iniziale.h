#pragma once

#include "HandOffClaim.h"
#include "SendView.h"

#include <QStringList>
#include <QWidget>

#include <functional>

class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace tarv {

class ProgramSettings;
class SmtpSession;

// The compose window: holds the one message being prepared, starts the send and shows its
// progress and the server's replies.
class Iniziale : public QWidget, public SendView {
    Q_OBJECT
public:
    static constexpr int kFullProgressTwips = 4740;

    explicit Iniziale(ProgramSettings& settings, QWidget* parent = nullptr);
    ~Iniziale() override;

    // Start-up: App Paths registration, the configuration check, the job from the hand-off
    // file or the stored settings, and the automatic send.
    void Apertura();

    QLineEdit* FromBox;
    QLineEdit* MailServer;
    QLineEdit* Tobox;
    QLineEdit* Subjekt;
    QPlainTextEdit* Mailtxt;
    QListWidget* AttachmentList;
    QPushButton* Attachment;
    QPushButton* delattach;
    QPushButton* Impost;
    QPushButton* SendMimeConnect;
    QPlainTextEdit* DataArrival;
    QLabel* Process;
    QLabel* lblpcent;
    QFrame* frm2;

    // Window fields.
    bool hasAttachments() const { return m_hasAttachments; }
    QStringList recipients() const { return m_recipients; }
    QString autoSendFlag() const { return m_autoSend; }
    QString exitFlag() const { return m_exitFlag; }
    QString lastDialogPath() const { return m_lastDialogPath; }
    // Default.ini beside the executable; tests point it elsewhere.
    QString handOffPath() const { return m_handOffPath; }
    void setHandOffPath(const QString& path) { m_handOffPath = path; }

    // How the program ends and how the settings window is shown; tests replace both.
    std::function<void(int status)> endProcess;
    std::function<void()> showSettingsModal;
    // What the send action runs after announcing itself: the SMTP session's send; tests of
    // other parts replace it.
    std::function<void()> sendAction;
    // The dial-up prompt, modal; tests replace it.
    std::function<void()> showDialUp;
    SmtpSession& session() { return *m_session; }
    // Set once the program has been told to end (before or inside its event loop).
    bool ended() const { return m_ended; }
    int exitStatus() const { return m_exitStatus; }

    // The send action of the "Spedisci" button.
    void SendMimeConnect_Click();

signals:
    // The send action has started (by the button or by the automatic send).
    void sendRequested();

public:
    // SendView
    SendJob job() const override;
    void setStatus(const QString& text) override;
    void setPercent(const QString& text) override;
    void setProgressWidth(int twips) override;
    void appendEcho(const QString& received) override;
    void clearEcho() override;
    void setSendEnabled(bool enabled) override;
    QObject* owner() override { return this; }
    void Chiudi_Programma(int exitStatus = 0) override;
    void offerDialUp() override;
    void failUnattended(const QString& statusText) override;

    // Adds a path to the attachment list (dialog, drop, start-up).
    void addAttachment(const QString& path);

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildLayout();
    void Attachment_Click();
    void AttachmentList_Click();
    void delattach_Click();
    void Impost_Click();
    void Tobox_Change();
    void endProgram(int status);
    // The hand-off this run took goes back to its place, less the recipients already served,
    // unless the send was completed.
    void giveBackHandOff();

    ProgramSettings& m_settings;
    SmtpSession* m_session;
    bool m_hasAttachments = false;
    QStringList m_recipients;
    QString m_lastDialogPath;
    QString m_autoSend;
    QString m_exitFlag;
    QString m_handOffPath;
    bool m_handOffRead = false; // start-up trusted the hand-off file and filled the job from it
    HandOffClaim m_handOff;     // the hand-off file, taken for this run (HandOffClaim.h)
    bool m_ended = false;
    int m_exitStatus = 0;
};

} // namespace tarv
