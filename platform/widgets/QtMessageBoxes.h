#pragma once

#include "MessageBoxes.h"

namespace tarv {

// QMessageBox with the standard buttons in Italian (see installItalianTranslation).
class QtMessageBoxes : public MessageBoxes {
public:
    using MessageBoxes::show;
    MsgAnswer show(const MessageBoxRequest& request) override;
    void beep() override;
};

} // namespace tarv
