#include "SavePassword.h"

#include "PasswordStore.h"
#include "ProgramSettings.h"
#include "Submission.h"

#include <QByteArray>

#include <termios.h>
#include <unistd.h>

namespace tarv {

namespace {

void say(std::FILE* to, const QString& text) {
    std::fprintf(to, "%s\n", text.toLocal8Bit().constData());
    std::fflush(to);
}

// One line, without its line end.
QByteArray readLine(std::FILE* in) {
    QByteArray line;
    int c;
    while ((c = std::fgetc(in)) != EOF && c != '\n')
        line.append(char(c));
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

} // namespace

bool savesPassword(const QStringList& arguments) {
    return arguments == QStringList{QStringLiteral("--salva-password")};
}

int salvaPassword(ProgramSettings& settings, std::FILE* in, std::FILE* out, std::FILE* err) {
    const Submission submission = Submission::read(settings);
    const QString server = settings.Leggi_Impostazione(QStringLiteral("SMTP")).trimmed();
    if (server.isEmpty() || submission.user.isEmpty()) {
        say(err, QStringLiteral("velinor: impostare prima il server (SMTP) e l'utente (Utente) "
                                "in HKCU\\%1.")
                     .arg(QLatin1String(ProgramSettings::kProgramKey)));
        return 2;
    }

    PasswordStore::keepOutOfCoreDumps();
    QByteArray password;
    const int fd = fileno(in);
    termios saved{};
    if (isatty(fd) && tcgetattr(fd, &saved) == 0) {
        std::fprintf(err, "Password di %s per %s: ", submission.user.toLocal8Bit().constData(),
                     server.toLocal8Bit().constData());
        std::fflush(err);
        termios quiet = saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        tcsetattr(fd, TCSAFLUSH, &quiet);
        password = readLine(in);
        tcsetattr(fd, TCSAFLUSH, &saved);
        std::fputc('\n', err);
    } else {
        password = readLine(in);
    }
    if (password.isEmpty()) {
        say(err, QStringLiteral("velinor: password vuota: non è stato salvato nulla."));
        return 2;
    }

    PasswordStore store;
    const PasswordStore::Place place = store.place();
    QString error;
    QString text = QString::fromUtf8(password);
    const bool saved_ = store.save(server, submission.user, text, &error);
    wipeSecret(text);
    wipeSecret(password);
    if (!saved_) {
        say(err, QStringLiteral("velinor: ") + error);
        return 1;
    }
    say(out, QStringLiteral("Password di %1 per %2 salvata %3.")
                 .arg(submission.user, server, PasswordStore::describe(place)));
    return 0;
}

} // namespace tarv
