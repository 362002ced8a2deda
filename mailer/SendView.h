#pragma once

#include <QString>
#include <QStringList>

class QObject;

namespace tarv {

// The message as the compose window holds it when the send starts.
struct SendJob {
    QString server;          // MailServer
    QString sender;          // FromBox
    QStringList recipients;  // Tobox split at every ";", empty parts kept
    QString subject;         // Subjekt
    QString body;            // Mailtxt
    QStringList attachments; // AttachmentList, full paths
    bool hasAttachments = false;
    QString autoSend; // "Nascosto" text
    QString exitFlag; // "Esci" text
    // A whole message given ready (the sendmail interface): sent as it stands instead of the
    // MIME writer's, dot-stuffed, with CR LF line ends already in place.
    QByteArray message;
};

// What the send needs of the compose window: its fields, and the places that show the
// send's progress. The window implements it; tests use a recording fake.
class SendView {
public:
    virtual ~SendView() = default;
    virtual SendJob job() const = 0;
    virtual void setStatus(const QString& text) = 0;      // Process
    virtual void setPercent(const QString& text) = 0;     // lblpcent
    virtual void setProgressWidth(int twips) = 0;         // frm2, 0 to 4740
    virtual void appendEcho(const QString& received) = 0; // DataArrival
    virtual void clearEcho() = 0;                         // DataArrival
    virtual void setSendEnabled(bool enabled) = 0;        // SendMimeConnect
    virtual QObject* owner() = 0;                         // parent of message boxes
    // Chiudi_Programma: closes the connection, deletes the hand-off file, ends the program
    // with the given status.
    virtual void Chiudi_Programma(int exitStatus = 0) = 0;
    // The user agreed to open a dial-up connection: shows the dial-up prompt, modal, and
    // returns when it closes, whatever happened there.
    virtual void offerDialUp() {}
    // A send started by itself with the exit flag "True" has failed: writes the status text
    // to standard error and ends the program with a non-zero exit status, leaving the
    // hand-off file for the next try.
    virtual void failUnattended(const QString& statusText) = 0;
};

} // namespace tarv
