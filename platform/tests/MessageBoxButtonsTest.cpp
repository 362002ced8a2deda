#include "MessageBoxes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "QtMessageBoxes.h"

#include <gtest/gtest.h>

using namespace tarv;

namespace {

// The boxes of the programs carry Qt's standard buttons, which must read in Italian.
TEST(QtMessageBoxes, StandardButtonsSpeakItalianAndAnswerAsPressed) {
    struct Case {
        MsgButtons set;
        int press;
        MsgAnswer expected;
        QStringList captions;
    } cases[] = {
        {MsgButtons::YesNo, 0, MsgAnswer::Yes, {"&Sì", "&No"}},
        {MsgButtons::YesNoCancel, 2, MsgAnswer::Cancel, {"&Sì", "&No", "Annulla"}},
        {MsgButtons::Ok, 0, MsgAnswer::Ok, {"OK"}},
    };
    for (const Case& c : cases) {
        QStringList seen;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            const auto buttons = box->buttons();
            for (QAbstractButton* b : buttons)
                seen << b->text();
            box->button(QMessageBox::StandardButton(
                c.expected == MsgAnswer::Yes ? QMessageBox::Yes
                : c.expected == MsgAnswer::Cancel ? QMessageBox::Cancel : QMessageBox::Ok))->click();
        });
        QtMessageBoxes boxes;
        EXPECT_EQ(boxes.show("Domanda?", c.set, MsgIcon::Question, "Titolo"), c.expected);
        for (const QString& caption : c.captions)
            EXPECT_TRUE(seen.contains(caption)) << caption.toStdString() << " in " << seen.join('|').toStdString();
    }
}

} // namespace
