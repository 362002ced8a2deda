#include "Services.h"

#include "ConsoleMessageBoxes.h"
#include "EventPump.h"
#include "FileDialogs.h"
#include "Paths.h"
#include "RegistryStore.h"
#include "WindowHost.h"

#include <QProcess>
#include <QTemporaryFile>

#include <cstdio>
#include <unistd.h>

namespace tarv {

namespace {

// Boxes and dialogs go to the window host when it can show them on this thread (owned by
// the host's active window unless the caller names an owner), else to the terminal.
class HostMessageBoxes : public MessageBoxes {
public:
    using MessageBoxes::show;
    MsgAnswer show(const MessageBoxRequest& request) override {
        WindowHost* host = Services::current().windows;
        if (!host || !host->canShowWindows())
            return m_console.show(request);
        if (!host->isSeen())
            return m_unanswered.show(request);
        MessageBoxRequest owned = request;
        if (!owned.owner)
            owned.owner = host->activeWindow();
        return host->messageBoxes().show(owned);
    }
    void beep() override {
        WindowHost* host = Services::current().windows;
        if (host && host->canShowWindows())
            host->messageBoxes().beep();
        else
            m_console.beep();
    }

private:
    ConsoleMessageBoxes m_console;
    // On a platform no one sees, a terminal may be there, but the program's user looks
    // for the box on the screen: the box is not asked on the terminal either.
    ConsoleMessageBoxes m_unanswered{stdin, stderr, 0};
};

class HostFileDialogs : public FileDialogs {
public:
    QString choose(const FileDialogRequest& request) override {
        WindowHost* host = Services::current().windows;
        if (!host || !host->canShowWindows())
            return QString();
        if (!host->isSeen()) {
            std::fprintf(stderr, "%s\n(nessuno può rispondere: scelto \"Annulla\")\n",
                         request.title.toUtf8().constData());
            return QString();
        }
        FileDialogRequest owned = request;
        if (!owned.owner)
            owned.owner = host->activeWindow();
        return host->fileDialogs().choose(owned);
    }
};

class QtProcessStarter : public ProcessStarter {
public:
    // A started program keeps the caller's terminal but never the caller's pipes: a shell
    // reading the caller's output would wait for the program to end, and the program would
    // die of the broken pipe when the caller's reader goes away.
    bool startDetached(const QString& program, const QStringList& arguments,
                       const QString& workingDirectory, qint64* pid) override {
        QProcess p;
        p.setProgram(program);
        p.setArguments(arguments);
        p.setWorkingDirectory(workingDirectory);
        p.setStandardInputFile(QProcess::nullDevice());
        if (!isatty(STDOUT_FILENO))
            p.setStandardOutputFile(QProcess::nullDevice());
        if (!isatty(STDERR_FILENO))
            p.setStandardErrorFile(QProcess::nullDevice());
        return p.startDetached(pid);
    }
    bool startDetachedWithInput(const QString& program, const QStringList& arguments,
                                const QByteArray& input) override {
        // The child opens the file before it runs the program, so it may go once started.
        QTemporaryFile keys;
        if (!keys.open() || keys.write(input) != input.size() || !keys.flush())
            return false;
        QProcess p;
        p.setProgram(program);
        p.setArguments(arguments);
        p.setStandardInputFile(keys.fileName());
        if (!isatty(STDOUT_FILENO))
            p.setStandardOutputFile(QProcess::nullDevice());
        if (!isatty(STDERR_FILENO))
            p.setStandardErrorFile(QProcess::nullDevice());
        return p.startDetached();
    }
};

Services& storage() {
    static Services services;
    return services;
}

} // namespace

Services& Services::current() {
    Services& s = storage();
    if (!s.registry) {
        static RegistryStore store(Paths::windowsDirectory(), Paths::machineDirectory(),
                                   Paths::machineStore());
        s.registry = &store;
    }
    if (!s.messageBoxes) {
        static HostMessageBoxes boxes;
        s.messageBoxes = &boxes;
    }
    if (!s.fileDialogs) {
        static HostFileDialogs dialogs;
        s.fileDialogs = &dialogs;
    }
    if (!s.pump) {
        static QtEventPump pump;
        s.pump = &pump;
    }
    if (!s.clock) {
        static SteadyClock clock;
        s.clock = &clock;
    }
    if (!s.processes) {
        static QtProcessStarter starter;
        s.processes = &starter;
    }
    return s;
}

ScopedServices::ScopedServices(const Services& replacement) : m_saved(storage()) {
    Services& s = storage();
    if (replacement.registry)
        s.registry = replacement.registry;
    if (replacement.messageBoxes)
        s.messageBoxes = replacement.messageBoxes;
    if (replacement.fileDialogs)
        s.fileDialogs = replacement.fileDialogs;
    if (replacement.pump)
        s.pump = replacement.pump;
    if (replacement.clock)
        s.clock = replacement.clock;
    if (replacement.processes)
        s.processes = replacement.processes;
    if (replacement.windows)
        s.windows = replacement.windows;
}

void Services::offerWindowHost(WindowHost* host) {
    if (!storage().windows)
        storage().windows = host;
}

void Services::withdrawWindowHost(WindowHost* host) {
    if (storage().windows == host)
        storage().windows = nullptr;
}

ScopedServices::~ScopedServices() {
    storage() = m_saved;
}

} // namespace tarv
