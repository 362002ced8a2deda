#pragma once

#include "SendView.h"

namespace tarv {

// The send view of a send no one watches (the command line, the sendmail interface, the
// hand-off with no display, the benchmarks): shows nothing, keeps how the send ended.
class ConsoleView : public SendView {
public:
    SendJob fields;
    bool completed = false; // Chiudi_Programma: the message was sent
    bool failed = false;    // failUnattended
    QString status;         // the last status text
    QString failure;        // failUnattended's text

    // What to tell of a send that did not complete.
    QString outcome() const { return failed ? failure : status; }

    SendJob job() const override { return fields; }
    void setStatus(const QString& text) override { status = text; }
    void setPercent(const QString&) override {}
    void setProgressWidth(int) override {}
    void appendEcho(const QString&) override {}
    void clearEcho() override {}
    void setSendEnabled(bool) override {}
    QObject* owner() override { return nullptr; }
    void Chiudi_Programma(int) override { completed = true; }
    void failUnattended(const QString& text) override {
        failed = true;
        failure = text;
    }
};

} // namespace tarv
