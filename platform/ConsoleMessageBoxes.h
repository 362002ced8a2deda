#pragma once

#include "MessageBoxes.h"

#include <cstdio>

namespace tarv {

// Message boxes on a terminal: title, text and buttons on standard error. The answer is read
// from standard input when it is a terminal. When no one can answer (standard input is not a
// terminal, or it ends), the box never answers Sì for the user: it takes its safest button
// (Annulla, else No, else OK) and says so on standard error, so that scripts never hang and
// never confirm what they did not ask for.
class ConsoleMessageBoxes : public MessageBoxes {
public:
    explicit ConsoleMessageBoxes(FILE* in = stdin, FILE* err = stderr, int interactive = -1)
        : m_in(in), m_err(err), m_interactive(interactive) {}
    using MessageBoxes::show;
    MsgAnswer show(const MessageBoxRequest& request) override;
    void beep() override;

private:
    FILE* m_in;
    FILE* m_err;
    int m_interactive; // -1: ask isatty
};

} // namespace tarv
