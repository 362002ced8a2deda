#pragma once

#include "EventPump.h"
#include "FileDialogs.h"
#include "MessageBoxes.h"
#include "Services.h"
#include "WindowHost.h"

#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <vector>

namespace tarv {

// Message boxes that record what was shown and answer from a queue; with the queue empty
// they take the box's default button.
class FakeMessageBoxes : public MessageBoxes {
public:
    using MessageBoxes::show;
    MsgAnswer show(const MessageBoxRequest& request) override;
    void beep() override { ++beeps; }

    void answer(MsgAnswer a) { answers.push_back(a); }
    // Runs instead of the queue when set (for boxes shown inside nested event loops).
    std::function<MsgAnswer(const MessageBoxRequest&)> onShow;

    std::deque<MsgAnswer> answers;
    std::vector<MessageBoxRequest> shown;
    int beeps = 0;
};

// File dialogs that answer from a queue ("" = cancelled) and record the requests.
class FakeFileDialogs : public FileDialogs {
public:
    QString choose(const FileDialogRequest& request) override;
    std::deque<QString> results;
    std::vector<FileDialogRequest> requests;
};

// A clock that moves only when told to, or by a fixed step on every reading.
class FakeClock : public Clock {
public:
    qint64 milliseconds() override {
        const qint64 t = now;
        now += step;
        return t;
    }
    qint64 now = 1000;
    qint64 step = 0;
};

// Counts pumps and runs a hook on each (a test can deliver events or move the clock).
class FakeEventPump : public EventPump {
public:
    void pump() override {
        ++count;
        if (hook)
            hook();
    }
    int count = 0;
    std::function<void()> hook;
};

class FakeProcessStarter : public ProcessStarter {
public:
    struct Start {
        QString program;
        QStringList arguments;
        QString workingDirectory;
        QByteArray input;
    };
    bool startDetached(const QString& program, const QStringList& arguments,
                       const QString& workingDirectory, qint64* pid) override {
        started.push_back({program, arguments, workingDirectory, {}});
        if (pid)
            *pid = this->pid;
        if (succeed && onStart)
            onStart(program);
        return succeed;
    }
    bool startDetachedWithInput(const QString& program, const QStringList& arguments,
                                const QByteArray& input) override {
        started.push_back({program, arguments, QString(), input});
        return succeed;
    }
    std::vector<Start> started;
    bool succeed = true;
    // What a started program does at once (a mailer taking its hand-off), and the process id
    // given for it (0: none to watch).
    std::function<void(const QString& program)> onStart;
    qint64 pid = 0;
};

// A host that can show no window: a console host, or a call from a thread other than the
// GUI thread.
class ConsoleWindowHost : public WindowHost {
public:
    bool canShowWindows() const override { return false; }
    QObject* activeWindow() const override { return nullptr; }
    QObject* findWindow(qint64) const override { return nullptr; }
    void lockWindowUpdate(qint64) override {}
    MessageBoxes& messageBoxes() override { return m_boxes; }
    FileDialogs& fileDialogs() override { return m_dialogs; }

private:
    FakeMessageBoxes m_boxes;
    FakeFileDialogs m_dialogs;
};

} // namespace tarv
