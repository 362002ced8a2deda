#include "ConsoleMessageBoxes.h"

#include <QString>

#include <gtest/gtest.h>

#include <cstdio>

using namespace tarv;

namespace {

// With no one to answer (no terminal, or a terminal that ends), a box never says Sì for the
// user: it takes the button that does least, and leaves the question and the answer taken on
// standard error.
TEST(ConsoleMessageBoxes, NoOneToAnswerTakesTheSafestButtonAndSaysSo) {
    struct Case {
        MsgButtons buttons;
        int interactive;
        MsgAnswer expected;
        const char* said;
    } cases[] = {
        {MsgButtons::YesNo, 0, MsgAnswer::No, "scelto \"No\""},
        {MsgButtons::YesNoCancel, 0, MsgAnswer::Cancel, "scelto \"Annulla\""},
        {MsgButtons::OkCancel, 0, MsgAnswer::Cancel, "scelto \"Annulla\""},
        {MsgButtons::AbortRetryIgnore, 0, MsgAnswer::Abort, "scelto \"Interrompi\""},
        {MsgButtons::YesNo, 1, MsgAnswer::No, "1) Sì  2) No"}, // standard input ends at once
    };
    for (const Case& c : cases) {
        FILE* in = std::tmpfile();
        FILE* err = std::tmpfile();
        ConsoleMessageBoxes boxes(in, err, c.interactive);
        EXPECT_EQ(boxes.show(QStringLiteral("Spegnere il pc ora?"), c.buttons), c.expected);
        std::rewind(err);
        char said[512] = {};
        std::fread(said, 1, sizeof said - 1, err);
        EXPECT_TRUE(QString::fromUtf8(said).contains(QStringLiteral("Spegnere il pc ora?")));
        EXPECT_TRUE(QString::fromUtf8(said).contains(QString::fromUtf8(c.said))) << said;
        std::fclose(in);
        std::fclose(err);
    }
}

} // namespace
