#pragma once

#include <QString>

namespace tarv {

// What the programs ask of the system about itself.
class SystemInfo {
public:
    // Platform family of the version query: 1 for the 9x family, 2 for the NT family.
    // Linux answers 2 unless $TARV_PLATFORM_ID says otherwise, so that both paths stay usable.
    static int platformId();
    static QString computerName();
    static QString userName();
};

} // namespace tarv
