#include "Fakes.h"

namespace tarv {

MsgAnswer FakeMessageBoxes::show(const MessageBoxRequest& request) {
    shown.push_back(request);
    if (onShow)
        return onShow(request);
    if (answers.empty())
        return buttonAnswer(request.buttons, request.defaultButton);
    const MsgAnswer a = answers.front();
    answers.pop_front();
    return a;
}

QString FakeFileDialogs::choose(const FileDialogRequest& request) {
    requests.push_back(request);
    if (results.empty())
        return QString();
    QString r = results.front();
    results.pop_front();
    return r;
}

} // namespace tarv
