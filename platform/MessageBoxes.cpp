#include "MessageBoxes.h"

namespace tarv {

namespace {
struct ButtonSet {
    MsgButtons set;
    MsgAnswer answers[3];
    int count;
};
constexpr ButtonSet kSets[] = {
    {MsgButtons::Ok, {MsgAnswer::Ok}, 1},
    {MsgButtons::OkCancel, {MsgAnswer::Ok, MsgAnswer::Cancel}, 2},
    {MsgButtons::AbortRetryIgnore, {MsgAnswer::Abort, MsgAnswer::Retry, MsgAnswer::Ignore}, 3},
    {MsgButtons::YesNoCancel, {MsgAnswer::Yes, MsgAnswer::No, MsgAnswer::Cancel}, 3},
    {MsgButtons::YesNo, {MsgAnswer::Yes, MsgAnswer::No}, 2},
    {MsgButtons::RetryCancel, {MsgAnswer::Retry, MsgAnswer::Cancel}, 2},
};
const ButtonSet& setOf(MsgButtons buttons) {
    for (const auto& s : kSets)
        if (s.set == buttons)
            return s;
    return kSets[0];
}
} // namespace

int buttonCount(MsgButtons buttons) {
    return setOf(buttons).count;
}

MsgAnswer buttonAnswer(MsgButtons buttons, int position) {
    const ButtonSet& s = setOf(buttons);
    if (position < 0 || position >= s.count)
        position = 0;
    return s.answers[position];
}

QString buttonCaption(MsgAnswer answer) {
    switch (answer) {
    case MsgAnswer::Ok:
        return QStringLiteral("OK");
    case MsgAnswer::Cancel:
        return QStringLiteral("Annulla");
    case MsgAnswer::Abort:
        return QStringLiteral("&Interrompi");
    case MsgAnswer::Retry:
        return QStringLiteral("&Riprova");
    case MsgAnswer::Ignore:
        return QStringLiteral("&Ignora");
    case MsgAnswer::Yes:
        return QStringLiteral("&Sì");
    case MsgAnswer::No:
        return QStringLiteral("&No");
    }
    return QString();
}

} // namespace tarv
