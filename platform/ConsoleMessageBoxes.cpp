#include "ConsoleMessageBoxes.h"

#include <QString>
#include <QStringList>

#include <unistd.h>

namespace tarv {

namespace {
// On a terminal there is no access key to mark.
QString buttonText(MsgAnswer a) {
    return buttonCaption(a).remove(QLatin1Char('&'));
}

// With no one to answer, the button that does least: Annulla, else No, else OK, else the
// first (Interrompi). Never Sì.
MsgAnswer safestAnswer(MsgButtons buttons) {
    const int count = buttonCount(buttons);
    for (MsgAnswer wanted : {MsgAnswer::Cancel, MsgAnswer::No, MsgAnswer::Ok})
        for (int i = 0; i < count; ++i)
            if (buttonAnswer(buttons, i) == wanted)
                return wanted;
    return buttonAnswer(buttons, 0);
}
} // namespace

MsgAnswer ConsoleMessageBoxes::show(const MessageBoxRequest& request) {
    const int count = buttonCount(request.buttons);
    QStringList choices;
    for (int i = 0; i < count; ++i)
        choices << QStringLiteral("%1) %2").arg(i + 1).arg(
            buttonText(buttonAnswer(request.buttons, i)));
    if (!request.title.isEmpty())
        std::fprintf(m_err, "[%s]\n", request.title.toUtf8().constData());
    std::fprintf(m_err, "%s\n%s\n", request.text.toUtf8().constData(),
                 choices.join(QStringLiteral("  ")).toUtf8().constData());
    const bool interactive = m_interactive >= 0 ? m_interactive != 0 : isatty(fileno(m_in)) != 0;
    if (!interactive || count == 1) {
        const MsgAnswer taken = safestAnswer(request.buttons);
        if (count > 1)
            std::fprintf(m_err, "(nessuno può rispondere: scelto \"%s\")\n",
                         buttonText(taken).toUtf8().constData());
        return taken;
    }
    const MsgAnswer fallback = safestAnswer(request.buttons);
    char line[64];
    while (std::fgets(line, sizeof line, m_in)) {
        const int n = std::atoi(line);
        if (n >= 1 && n <= count)
            return buttonAnswer(request.buttons, n - 1);
        std::fprintf(m_err, "Scegliere un numero da 1 a %d: ", count);
    }
    return fallback;
}

void ConsoleMessageBoxes::beep() {
    std::fputc('\a', m_err);
    std::fflush(m_err);
}

} // namespace tarv
