#pragma once

class QApplication;

namespace tarv {

// Loads Qt's own Italian translation, so that standard buttons read "Sì", "No", "Annulla",
// and installs the Qt window host as the process-wide one: message boxes and file dialogs are
// then Qt ones on the GUI thread of a platform someone sees, else they go to the terminal.
void installWidgetServices(QApplication& app);

} // namespace tarv
