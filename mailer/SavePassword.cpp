#include "SavePassword.h"

#include "PasswordStore.h"
#include "ProgramSettings.h"
#include "Submission.h"

#include <QByteArray>

#include <csignal>
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

// The terminal's settings while its echo is off, for the signal handler to put back.
int g_terminal = -1;
termios g_saved{};

void restoreAndDie(int signal) {
    if (g_terminal >= 0)
        tcsetattr(g_terminal, TCSAFLUSH, &g_saved);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// While the echo is off, the signals that end the program from the terminal put it back
// first, so that Ctrl-C at the prompt does not leave the shell typing blind.
class EchoOff {
public:
    EchoOff(int fd, const termios& saved) {
        g_terminal = fd;
        g_saved = saved;
        struct sigaction action {};
        action.sa_handler = restoreAndDie;
        sigemptyset(&action.sa_mask);
        for (size_t i = 0; i < std::size(kSignals); ++i)
            sigaction(kSignals[i], &action, &m_previous[i]);
        termios quiet = saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        tcsetattr(fd, TCSAFLUSH, &quiet);
    }
    ~EchoOff() {
        tcsetattr(g_terminal, TCSAFLUSH, &g_saved);
        for (size_t i = 0; i < std::size(kSignals); ++i)
            sigaction(kSignals[i], &m_previous[i], nullptr);
        g_terminal = -1;
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

private:
    static constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
    struct sigaction m_previous[std::size(kSignals)];
};

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
        {
            EchoOff echoOff(fd, saved);
            password = readLine(in);
        }
        std::fputc('\n', err);
    } else {
        password = readLine(in);
        // A second line would be silently dropped: the caller meant something else.
        if (std::fgetc(in) != EOF) {
            password.fill('\0');
            say(err, QStringLiteral("velinor: la password va data su una riga sola: non è "
                                    "stato salvato nulla."));
            return 2;
        }
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
