#pragma once

#include "Symbology.h"

namespace tarv {

// Code 128 with code set B for text and code set C for runs of digits; code set A is never used.
class clsCode128 : public Symbology {
public:
    static constexpr int kSwitchToC = 99;
    static constexpr int kSwitchToB = 100;
    static constexpr int kStartB = 104;
    static constexpr int kStartC = 105;
    static constexpr int kStop = 106;

    clsCode128();

    // Code set B value of the first character of text: code minus 32 for space to "~", else 0.
    static int ValoreCarattere(const QString& text);
    // Pattern of the code set B value of the first character; empty outside space to "~".
    static QString ModelloCarattere(const QString& text);
    // Pattern (six element widths, bar first) of a symbol value 0 to 102; empty for any other.
    static QString ModelloValore(qint16 value);

    // One letter per data character: "N" for a digit encoded in code set C, "A" for code set B.
    static QString stringaTipi(const QString& data);
    // Symbol values of the whole symbol for data: start, data and switches, check, stop.
    static std::vector<int> valoriSimbolo(const QString& data);
    // Element widths of the whole symbol for data, bar first.
    static QString Codifica(const QString& data);

    std::vector<BarElement> elementi() const override;
};

} // namespace tarv
