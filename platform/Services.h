#pragma once

#include <QString>
#include <QStringList>

namespace tarv {

class RegistryStore;
class MessageBoxes;
class FileDialogs;
class EventPump;
class Clock;
class WindowHost;

// Starts programs without waiting for them (shell commands, the dialler, the mailer).
class ProcessStarter {
public:
    virtual ~ProcessStarter() = default;
    // pid, when given, receives the started program's process id.
    virtual bool startDetached(const QString& program, const QStringList& arguments,
                               const QString& workingDirectory = QString(),
                               qint64* pid = nullptr) = 0;
    // The same, with `input` waiting on the program's standard input (keys for a program
    // that asks before it acts).
    virtual bool startDetachedWithInput(const QString& program, const QStringList& arguments,
                                        const QByteArray& input) = 0;
};

// The platform services a part of the suite uses. Programs pass them in; the component
// libraries, whose objects hosts create without arguments, read the process-wide set,
// which tests replace with fakes for their own duration (ScopedServices).
struct Services {
    RegistryStore* registry = nullptr;
    MessageBoxes* messageBoxes = nullptr;
    FileDialogs* fileDialogs = nullptr;
    EventPump* pump = nullptr;
    Clock* clock = nullptr;
    ProcessStarter* processes = nullptr;
    WindowHost* windows = nullptr;

    // The process-wide set. Missing members are filled with the real services: the
    // registry store of the Windows directory; boxes and file dialogs of the window host
    // when it can show them on the calling thread, else boxes on the terminal and no file
    // dialog (every choice is cancelled); a window host that can show nothing.
    static Services& current();

    // A library's widget part offers its window host when it is loaded: it is taken when the
    // process has none of its own, and withdrawn (back to none) when the library goes away.
    static void offerWindowHost(WindowHost* host);
    static void withdrawWindowHost(WindowHost* host);
};

// Replaces the non-null members of the process-wide set until it goes out of scope.
class ScopedServices {
public:
    explicit ScopedServices(const Services& replacement);
    ~ScopedServices();
    ScopedServices(const ScopedServices&) = delete;
    ScopedServices& operator=(const ScopedServices&) = delete;

private:
    Services m_saved;
};

} // namespace tarv
