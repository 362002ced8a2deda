#pragma once

#include <QString>

namespace tarv {

class HandOffClaim;

// The hand-off file Default.ini beside the mailer's executable, through which another program
// gives the mailer a ready message (section "Dati").
class HandOffFile {
public:
    explicit HandOffFile(QString path);
    // Default.ini in the directory of the running executable.
    static HandOffFile besideExecutable();

    QString path() const { return m_path; }
    bool exists() const;

    // The value of a key of the file, read whole; "" when the key or the file is missing.
    // "Testo" comes back with all its lines when the writer gave them (HandOffText).
    QString Leggi_Ini(const QString& section, const QString& key) const;

    // A file that another local user could have written is not trusted: it must belong to
    // the user, be writable by nobody else, and lie in a folder where others cannot replace
    // it. Returns "" when the file may be used, otherwise the reason in Italian.
    QString distrustReason() const;
    // Whether the message is to be read from the file: it exists and may be trusted. When it
    // exists but may not be, `refused` gets the reason.
    bool usable(QString* refused) const;

    // A send completed the message read from the hand-off: the file taken for this run is
    // used up, or, when it could not be taken, the file in its place is deleted.
    static void useUp(HandOffClaim& claim, const QString& handOffPath);

    bool remove() const;

private:
    QString m_path;
};

} // namespace tarv
