#include "ConsoleMessageBoxes.h"

#include <QString>

#include <gtest/gtest.h>

#include <cstdio>

using namespace tarv;

namespace {

QString contentOf(FILE* f) {
    std::fflush(f);
    std::rewind(f);
    QByteArray all;
    char buf[256];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        all.append(buf, qsizetype(n));
    return QString::fromUtf8(all);
}

// With no one to answer, a box never says Sì for the user: it takes the button that does
// least, and leaves the question and the answer taken on standard error.
TEST(ConsoleMessageBoxes, NoOneToAnswerTakesTheSafestButtonAndSaysSo) {
    struct Case {
        MsgButtons buttons;
        int defaultButton;
        MsgAnswer expected;
        const char* said;
    } cases[] = {
        {MsgButtons::YesNo, 0, MsgAnswer::No, "scelto \"No\""},
        {MsgButtons::YesNoCancel, 0, MsgAnswer::Cancel, "scelto \"Annulla\""},
        {MsgButtons::OkCancel, 0, MsgAnswer::Cancel, "scelto \"Annulla\""},
        {MsgButtons::RetryCancel, 0, MsgAnswer::Cancel, "scelto \"Annulla\""},
        {MsgButtons::AbortRetryIgnore, 2, MsgAnswer::Abort, "scelto \"Interrompi\""},
        {MsgButtons::Ok, 0, MsgAnswer::Ok, ""},
    };
    for (const Case& c : cases) {
        FILE* in = std::tmpfile();
        FILE* err = std::tmpfile();
        ConsoleMessageBoxes boxes(in, err, 0);
        MessageBoxRequest r{QString(), QStringLiteral("Spegnere il pc ora?"), c.buttons,
                            MsgIcon::Question, c.defaultButton};
        EXPECT_EQ(boxes.show(r), c.expected) << int(c.buttons);
        const QString said = contentOf(err);
        EXPECT_TRUE(said.contains(QStringLiteral("Spegnere il pc ora?")));
        EXPECT_TRUE(said.contains(QString::fromUtf8(c.said))) << said.toStdString();
        std::fclose(in);
        std::fclose(err);
    }
}

// A terminal that ends before an answer is no answer either.
TEST(ConsoleMessageBoxes, AnswerReadFromTheTerminalAndEndOfInputIsNoAnswer) {
    FILE* in = std::tmpfile();
    std::fputs("9\n1\n", in);
    std::rewind(in);
    FILE* err = std::tmpfile();
    ConsoleMessageBoxes boxes(in, err, 1);
    EXPECT_EQ(boxes.show(QStringLiteral("Riavviare?"), MsgButtons::YesNo), MsgAnswer::Yes);
    EXPECT_EQ(boxes.show(QStringLiteral("Riavviare?"), MsgButtons::YesNo), MsgAnswer::No);
    std::fclose(in);
    std::fclose(err);
}

} // namespace
