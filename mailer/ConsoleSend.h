#pragma once

#include "ScriptCommand.h"

#include <QByteArray>
#include <QString>

#include <cstdio>

namespace tarv {

class ProgramSettings;

// Sends with no window and no display: the command line (velinor --to ...), the sendmail
// interface (velinor -t, or a program named sendmail) and the hand-off file's unattended run
// when there is no display to show the compose window on. The SMTP session runs as the
// compose window runs it, against a view that keeps the outcome; nobody is asked anything.
// Each returns the program's exit status (ExitStatus.h); what went wrong goes to `err`.
namespace ConsoleSend {

// The send of `velinor --to ...` or `velinor -t`; `input` is standard input, read whole.
int run(const ScriptCommand& command, ProgramSettings& settings, const QByteArray& input,
        std::FILE* err);

// The start-up of a run with no display: the message of the hand-off file (or of the stored
// settings) is sent when its flags make the run unattended (Nascosto and Esci "True");
// otherwise the run needs the compose window and ends with one line and status 1.
int runWithoutDisplay(ProgramSettings& settings, const QString& handOffPath, std::FILE* err);

// Standard input whole, or nothing when it is a terminal.
QByteArray readInput(std::FILE* in, bool evenFromTerminal);

} // namespace ConsoleSend
} // namespace tarv
