#include "Services.h"

#include "ConsoleMessageBoxes.h"
#include "EventPump.h"
#include "FileDialogs.h"
#include "Paths.h"
#include "RegistryStore.h"

#include <QProcess>
#include <QTemporaryFile>

namespace tarv {

namespace {

class NoFileDialogs : public FileDialogs {
public:
    QString choose(const FileDialogRequest&) override { return QString(); }
};

class QtProcessStarter : public ProcessStarter {
public:
    bool startDetached(const QString& program, const QStringList& arguments,
                       const QString& workingDirectory) override {
        return QProcess::startDetached(program, arguments, workingDirectory);
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
        static RegistryStore store(Paths::windowsDirectory());
        s.registry = &store;
    }
    if (!s.messageBoxes) {
        static ConsoleMessageBoxes boxes;
        s.messageBoxes = &boxes;
    }
    if (!s.fileDialogs) {
        static NoFileDialogs dialogs;
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
}

ScopedServices::~ScopedServices() {
    storage() = m_saved;
}

} // namespace tarv
