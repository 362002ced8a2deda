#pragma once

#include "Symbology.h"

#include <array>

namespace tarv {

// Code 39: start, data, stop, no check character, wide elements twice the narrow ones and a
// one-module gap opening every character.
class cls3Of9 : public Symbology {
public:
    cls3Of9();

    // Pattern of a character code (0 to 90; any other code has none). Signs: "1" a narrow space
    // and a narrow bar, "2" a narrow space and a wide bar, " " one more narrow space.
    QString modello(int code) const;

    // The start character, the data and the stop character.
    QString stringaSimbolo() const;

    std::vector<BarElement> elementi() const override;

private:
    std::array<QString, 91> m_modelli;
};

} // namespace tarv
