#pragma once

#include <QStringList>

#include <cstdio>

namespace tarv {

class ProgramSettings;

// "velinor --salva-password": keeps the login password of the stored user ("Utente") on the
// stored server ("SMTP"). The password comes from standard input (its first line), or, when
// that is a terminal, is asked there without echo; never from the command line, where other
// users could read it. Messages go to `out` and `err`, and never hold the password. Returns the
// program's exit status.
bool savesPassword(const QStringList& arguments);
int salvaPassword(ProgramSettings& settings, std::FILE* in, std::FILE* out, std::FILE* err);

} // namespace tarv
