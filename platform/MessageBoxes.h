#pragma once

#include <QString>

class QObject;

namespace tarv {

// Button sets, icons and answers of the message boxes, numbered as the programs knew them.
enum class MsgButtons {
    Ok = 0,
    OkCancel = 1,
    AbortRetryIgnore = 2,
    YesNoCancel = 3,
    YesNo = 4,
    RetryCancel = 5
};
enum class MsgIcon { None = 0, Critical = 16, Question = 32, Exclamation = 48, Information = 64 };
enum class MsgAnswer { Ok = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7 };

struct MessageBoxRequest {
    QString title;
    QString text;
    MsgButtons buttons = MsgButtons::Ok;
    MsgIcon icon = MsgIcon::None;
    int defaultButton = 0; // 0-based position among the buttons
    QObject* owner = nullptr;
};

// The first button of a set, and the answer of the button at a position.
MsgAnswer buttonAnswer(MsgButtons buttons, int position);
int buttonCount(MsgButtons buttons);
// The Italian caption of a button, its access key marked with "&" (none on OK and Annulla).
QString buttonCaption(MsgAnswer answer);

// Modal message boxes and the system beep.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    virtual MsgAnswer show(const MessageBoxRequest& request) = 0;
    virtual void beep() = 0;

    MsgAnswer show(const QString& text, MsgButtons buttons = MsgButtons::Ok,
                   MsgIcon icon = MsgIcon::None, const QString& title = QString(),
                   QObject* owner = nullptr) {
        return show(MessageBoxRequest{title, text, buttons, icon, 0, owner});
    }
};

} // namespace tarv
