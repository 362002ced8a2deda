#pragma once

#include <QString>
#include <QStringList>

namespace tarv {

// The hand-over of the hand-off file Default.ini between the programs that write it and the
// mailer that reads it. The file keeps its format and its place; around it:
//
// - A mailer takes the file as it starts: it renames it to ".Default.ini.velinor-<pid>" in the
//   same folder and holds a lock on it while it runs. A host's later write then makes a new
//   Default.ini: it never lands in a message a mailer already read, nor is it deleted with it.
//   The file disappearing is the mailer's acknowledgement: a writer that waits for it (as
//   Altro.Invia_File does) knows its message was read.
// - A completed send deletes the taken file. Any other end gives it back as Default.ini for
//   the next try, with "Dest" holding only the recipients not yet served (every other byte as
//   it was), and notes in ".Default.ini.restituito" that its "Nascosto" and "Esci" belong to
//   that earlier run: a host that writes one of them again with SetVar makes it its own, and
//   a new hand-off written over the file drops those still noted (so a failed unattended send
//   does not make the next interactive one unattended).
// - A taken file whose mailer ended without giving it back (killed) is given back by the next
//   mailer that starts.
class HandOffClaim {
public:
    HandOffClaim() = default;
    ~HandOffClaim();
    HandOffClaim(const HandOffClaim&) = delete;
    HandOffClaim& operator=(const HandOffClaim&) = delete;

    // Takes the file at handOffPath for this process; false when there is none (or it cannot
    // be renamed, when its folder is not writable: it is then read where it is and stays).
    bool take(const QString& handOffPath);
    bool isTaken() const { return m_fd >= 0; }
    // The taken file, to be read for the rest of the run.
    QString path() const { return m_taken; }
    // The send was completed: the message is used up.
    void consume();
    // The run ends without a completed send: the file goes back to its place. served is how
    // many of the recipients of "Dest" (split at ";") got the message; they are taken out.
    // What was done is said on standard error.
    void giveBack(int served);

    // Files of mailers that ended without giving back what they took, put back in place.
    static void recoverAbandoned(const QString& handOffPath);
    // The keys a given-back file still carries from its earlier run.
    static QStringList staleKeys(const QString& handOffPath);
    static void forgetStaleKeys(const QString& handOffPath);
    // A host wrote `key` of the profile file at `path`: when that is a given-back hand-off, the
    // key is the host's own from now on.
    static void noteHostWrite(const QString& path, const QString& key);
    // True while the process runs (a zombie has ended).
    static bool processRunning(qint64 pid);
    // "<folder>/.Default.ini.lock": held by a writer for the whole of one hand-off.
    static QString lockPath(const QString& handOffPath);

private:
    QString m_place;
    QString m_taken;
    int m_fd = -1;
};

} // namespace tarv
