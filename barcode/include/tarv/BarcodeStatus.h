#pragma once

#include <QString>

namespace tarv {

// Outcome of a property put or of a drawing of the barcode control. A drawing that fails ends
// where the failure happened and hands the error's number and description to whoever started it;
// number 0 means the call succeeded. Nothing is thrown across the control's interface.
struct BarcodeStatus {
    int number = 0;
    QString description;

    bool ok() const { return number == 0; }
    explicit operator bool() const { return ok(); }

    static BarcodeStatus success() { return {}; }
    static BarcodeStatus failure(int number, const QString& description) {
        return {number, description};
    }
};

// Error numbers of the runtime the control was written against; the control defines none of its
// own.
inline constexpr int kErrOutOfMemory = 7;

} // namespace tarv
