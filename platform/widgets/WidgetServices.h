#pragma once

class QApplication;

namespace tarv {

// Loads Qt's own Italian translation, so that standard buttons read "Sì", "No", "Annulla",
// and installs the Qt message boxes, file dialogs and window host as the process-wide services.
void installWidgetServices(QApplication& app);

} // namespace tarv
