#include "cls3Of9.h"

namespace tarv {

namespace {

constexpr char16_t kStart = 1;
constexpr char16_t kStop = 2;

} // namespace

cls3Of9::cls3Of9() : Symbology(3, true, 1) {
    const auto set = [this](int code, const char* pattern) {
        m_modelli[size_t(code)] = QString::fromLatin1(pattern);
    };
    set(kStart, "1 1221");
    set(kStop, "1 1221");
    set('0', "11 221");
    set('1', "21 112");
    set('2', "12 112");
    set('3', "22 111");
    set('4', "11 212");
    set('5', "21 211");
    set('6', "12 211");
    set('7', "11 122");
    set('8', "21 121");
    set('9', "12 121");
    set('A', "211 12");
    set('B', "121 12");
    set('C', "221 11");
    set('D', "112 12");
    set('E', "212 11");
    set('F', "122 11");
    set('G', "111 22");
    set('H', "211 21");
    set('I', "121 21");
    set('J', "112 21");
    set('K', "2111 2");
    set('L', "1211 2");
    set('M', "2211 1");
    set('N', "1121 2");
    set('O', "2121 1");
    set('P', "1221 1");
    set('Q', "1112 2");
    set('R', "2112 1");
    set('S', "1212 1");
    set('T', "1122 1");
    set('U', "2 1112");
    set('V', "1 2112");
    set('W', "2 2111");
    set('X', "1 1212");
    set('Y', "2 1211");
    set('Z', "1 2211");
    set(' ', "1 2121");
    set('$', "1 1 1 11");
    set('%', "11 1 1 1");
    set('+', "1 11 1 1");
    set('-', "1 1122");
    set('.', "2 1121");
    set('/', "1 1 11 1");
    // "#" and "@" have no Code 39 character.
    set('#', "");
    set('@', "");
}

QString cls3Of9::modello(int code) const {
    if (code < 0 || code >= int(m_modelli.size()))
        code = 0;
    return m_modelli[size_t(code)];
}

QString cls3Of9::stringaSimbolo() const {
    return QChar(kStart) + Codice() + QChar(kStop);
}

std::vector<BarElement> cls3Of9::elementi() const {
    std::vector<BarElement> elements;
    const QString symbol = stringaSimbolo();
    elements.reserve(size_t(symbol.size()) * 10);
    const qsizetype last = symbol.size() - 1;
    for (qsizetype i = 0; i <= last; ++i) {
        int code = symbol.at(i).unicode();
        // Codes 1 and 2 stand for the start and stop characters. Inside the data they would put
        // a "*" in the middle of the symbol and a reader would end the data there, so they are
        // treated like every other character without a pattern.
        if (i != 0 && i != last && (code == kStart || code == kStop))
            code = 0;
        // Every character beyond the table (lower case is already upper case here) has no
        // pattern: it drops out of the bars and stays in the printed text.
        for (QChar sign : modello(code)) {
            switch (sign.unicode()) {
            case u' ':
                elements.push_back({1, false});
                break;
            case u'1':
                elements.push_back({1, false});
                elements.push_back({1, true});
                break;
            case u'2':
                elements.push_back({1, false});
                elements.push_back({2, true});
                break;
            default:
                break;
            }
        }
    }
    return elements;
}

} // namespace tarv
