#pragma once

// For C++ Qt hosts of TarvUtility: a window of the host as the object that CMouseWheel.Form
// takes, with the read-only property hwnd (its QWidget::winId() as a Long).
//
//     IDispatch* form = tarv::utility::formObject(myWindow);
//     putProperty by reference: Form = form; then SubClassHookForm ...
//     form->Release();

#include "Interfaces.h"

class QWidget;

namespace tarv::utility {

// A new reference; the object holds no ownership of the window. hwnd reads 0 once the window
// is gone.
com::IDispatch* formObject(QWidget* window);

} // namespace tarv::utility
