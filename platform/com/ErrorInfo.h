#pragma once

#include "ComTypes.h"

#include <QString>

namespace tarv::com {

struct EXCEPINFO;

// The error a failed call reports: its result code, a description for the user and the
// programmatic identifier of the object that raised it.
struct ErrorInfo {
    HRESULT number = S_OK;
    QString description;
    QString source;

    bool isSet() const { return number != S_OK || !description.isEmpty(); }
    // The number a Basic host shows as Err.Number: the low word of the errors in the
    // "control" facility, the matching Basic error of the standard dispatch failures
    // (13 type mismatch, 6 overflow, 438, 449, 450, ...), otherwise the result code itself.
    int basicNumber() const;
};

// Error information of the current thread, as the platform keeps it for the last failed
// call: a member sets it before failing; the caller takes it (which clears it).
void setErrorInfo(const ErrorInfo& info);
ErrorInfo takeErrorInfo();
void clearErrorInfo();

// Sets the thread's error information and returns the code, for `return fail(...)` in
// members. An empty description takes the code's standard text.
HRESULT fail(HRESULT code, const QString& description = QString(),
             const QString& source = QString());

// The platform's text for a result code (Italian), or "" when it has none.
QString standardDescription(HRESULT code);
int basicErrorNumber(HRESULT code);

// An ErrorInfo from what Invoke returned: the EXCEPINFO when the code is DISP_E_EXCEPTION,
// otherwise the code with the thread's error information or the standard text.
ErrorInfo errorFromInvoke(HRESULT hr, const EXCEPINFO& excep);

} // namespace tarv::com
