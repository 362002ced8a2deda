#pragma once

#include <QString>
#include <QStringList>

namespace tarv {

// What velinor's command line asks for. Nothing, or words that are not options, open the
// compose window as they always did; "Impostazioni" alone the settings window;
// "--salva-password" alone keeps a password. Options ask for a send from the command line
// (--to ...) or the sendmail interface (-t, and any run of a program named "sendmail").
struct ScriptCommand {
    enum class Mode { Window, Settings, SavePassword, Help, Version, Send, Sendmail, Wrong };

    Mode mode = Mode::Window;
    QString error; // Wrong: the one line that says what is wrong

    QStringList to;           // --to, or the sendmail interface's arguments
    QString subject;          // --subject
    QStringList attachments;  // --attach
    QString from;             // --from, -f
    QString server;           // --server
    quint16 port = 0;         // --port (0: the stored one)
    bool verbose = false;     // --verbose, -v
    bool dotEndsInput = true; // sendmail without -i/-oi: a line "." ends the message

    static ScriptCommand parse(const QStringList& arguments, const QString& programName);
    // The text of --help.
    static QString help();
};

} // namespace tarv
