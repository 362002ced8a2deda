#include "QtMessageBoxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace tarv {

namespace {
QMessageBox::StandardButton standardButton(MsgAnswer a) {
    switch (a) {
    case MsgAnswer::Ok:
        return QMessageBox::Ok;
    case MsgAnswer::Cancel:
        return QMessageBox::Cancel;
    case MsgAnswer::Abort:
        return QMessageBox::Abort;
    case MsgAnswer::Retry:
        return QMessageBox::Retry;
    case MsgAnswer::Ignore:
        return QMessageBox::Ignore;
    case MsgAnswer::Yes:
        return QMessageBox::Yes;
    case MsgAnswer::No:
        return QMessageBox::No;
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon boxIcon(MsgIcon icon) {
    switch (icon) {
    case MsgIcon::Critical:
        return QMessageBox::Critical;
    case MsgIcon::Question:
        return QMessageBox::Question;
    case MsgIcon::Exclamation:
        return QMessageBox::Warning;
    case MsgIcon::Information:
        return QMessageBox::Information;
    case MsgIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}
} // namespace

MsgAnswer QtMessageBoxes::show(const MessageBoxRequest& request) {
    QWidget* owner = qobject_cast<QWidget*>(request.owner);
    QMessageBox box(owner);
    box.setIcon(boxIcon(request.icon));
    // Boxes without a title carry the program's name, as they always did.
    box.setWindowTitle(request.title.isEmpty() ? QApplication::applicationName() : request.title);
    box.setText(request.text);
    const int count = buttonCount(request.buttons);
    for (int i = 0; i < count; ++i) {
        const MsgAnswer answer = buttonAnswer(request.buttons, i);
        QPushButton* b = box.addButton(standardButton(answer));
        // Set here rather than left to a translator, so that the boxes read Italian in any
        // host, including programs that never loaded Qt's Italian translation.
        b->setText(buttonCaption(answer));
        if (i == request.defaultButton)
            box.setDefaultButton(b);
        if (answer == MsgAnswer::Cancel || count == 1)
            box.setEscapeButton(b);
    }
    box.exec();
    const auto clicked = box.standardButton(box.clickedButton());
    for (int i = 0; i < count; ++i)
        if (standardButton(buttonAnswer(request.buttons, i)) == clicked)
            return buttonAnswer(request.buttons, i);
    // Closed without a button: the escape answer.
    return request.buttons == MsgButtons::YesNo ? MsgAnswer::No
                                                : buttonAnswer(request.buttons, count - 1);
}

void QtMessageBoxes::beep() {
    QApplication::beep();
}

} // namespace tarv
