#pragma once

#include <QString>

namespace tarv {

// The system's print service, CUPS, through its command-line client (lp, lpstat) found
// through PATH.
class PrintService {
public:
    // The print service's default queue; "" when it has none or cannot be asked.
    static QString defaultQueue();
    // Queues a file for printing, on the given queue or the service's default, without
    // waiting. False when the client cannot be started.
    static bool print(const QString& file, const QString& queue, const QString& workingDirectory);
};

} // namespace tarv
