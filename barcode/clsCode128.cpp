#include "clsCode128.h"

#include <array>

namespace tarv {

namespace {

// Symbol character patterns of Code 128, values 0 to 106 (103 to 105 the starts, 106 the stop),
// element widths in modules beginning with a bar.
constexpr std::array<const char*, 107> kPatterns = {
    "212222", "222122", "222221", "121223", "121322", "131222", "122213", "122312", "132212",
    "221213", "221312", "231212", "112232", "122132", "122231", "113222", "123122", "123221",
    "223211", "221132", "221231", "213212", "223112", "312131", "311222", "321122", "321221",
    "312212", "322112", "322211", "212123", "212321", "232121", "111323", "131123", "131321",
    "112313", "132113", "132311", "211313", "231113", "231311", "112133", "112331", "132131",
    "113123", "113321", "133121", "313121", "211331", "231131", "213113", "213311", "213131",
    "311123", "311321", "331121", "312113", "312311", "332111", "314111", "221411", "431111",
    "111224", "111422", "121124", "121421", "141122", "141221", "112214", "112412", "122114",
    "122411", "142112", "142211", "241211", "221114", "413111", "241112", "134111", "111242",
    "121142", "121241", "114212", "124112", "124211", "411212", "421112", "421211", "212141",
    "214121", "412121", "111143", "111341", "131141", "114113", "114311", "411113", "411311",
    "113141", "114131", "311141", "411131", "211412", "211214", "211232", "2331112"};

bool inCodeSetB(QChar c) {
    return c.unicode() >= 32 && c.unicode() <= 126;
}

bool isDigit(QChar c) {
    return c.unicode() >= u'0' && c.unicode() <= u'9';
}

} // namespace

clsCode128::clsCode128() : Symbology(3, true, 1) {}

int clsCode128::ValoreCarattere(const QString& text) {
    if (text.isEmpty() || !inCodeSetB(text.front()))
        return 0;
    return text.front().unicode() - 32;
}

QString clsCode128::ModelloCarattere(const QString& text) {
    if (text.isEmpty() || !inCodeSetB(text.front()))
        return {};
    return QString::fromLatin1(kPatterns[size_t(text.front().unicode() - 32)]);
}

QString clsCode128::ModelloValore(qint16 value) {
    if (value < 0 || value > 102)
        return {};
    return QString::fromLatin1(kPatterns[size_t(value)]);
}

QString clsCode128::stringaTipi(const QString& data) {
    QString types(data.size(), u'A');
    for (qsizetype i = 0; i < data.size(); ++i)
        if (isDigit(data.at(i)))
            types[i] = u'N';

    // Runs of fewer than four digits are cheaper in code set B; of an odd run of four or more the
    // last digit goes to code set B, so every run left in code set C pairs up.
    const auto closeRun = [&types](qsizetype end, qsizetype n) {
        if (n < 4) {
            for (qsizetype k = end - n; k < end; ++k)
                types[k] = u'A';
        } else if (n % 2 == 1) {
            types[end - 1] = u'A';
        }
    };
    qsizetype n = 0;
    for (qsizetype i = 0; i < types.size(); ++i) {
        if (types.at(i) == u'N') {
            ++n;
        } else {
            closeRun(i, n);
            n = 0;
        }
    }
    closeRun(types.size(), n);
    return types;
}

std::vector<int> clsCode128::valoriSimbolo(const QString& data) {
    const QString types = stringaTipi(data);
    std::vector<int> values;
    values.reserve(size_t(data.size()) + 4);

    bool setC = types.isEmpty() || types.front() == u'N';
    const int start = setC ? kStartC : kStartB;
    values.push_back(start);

    // The check sum can grow with the square of the data length; it is kept wide and reduced as it
    // goes, so long data still gets a correct check character.
    qint64 sum = start;
    qint64 weight = 1;
    const auto add = [&](int value) {
        values.push_back(value);
        sum = (sum + weight * value) % 103;
        ++weight;
    };

    qsizetype n = 0;
    for (qsizetype i = 0; i < types.size(); ++i) {
        const QChar c = data.at(i);
        if (types.at(i) == u'A') {
            n = 0;
            // A character code set B cannot encode adds nothing to the symbol, not even a switch,
            // and no weight: the check character stays right for what is drawn. It still shows
            // in the printed text.
            if (!inCodeSetB(c))
                continue;
            if (setC) {
                add(kSwitchToB);
                setC = false;
            }
            add(c.unicode() - 32);
        } else {
            ++n;
            if (n % 2 == 0) {
                if (!setC) {
                    add(kSwitchToC);
                    setC = true;
                }
                add((data.at(i - 1).unicode() - u'0') * 10 + (c.unicode() - u'0'));
            }
        }
    }
    values.push_back(int(sum % 103));
    values.push_back(kStop);
    return values;
}

QString clsCode128::Codifica(const QString& data) {
    const std::vector<int> values = valoriSimbolo(data);
    QString elements;
    elements.reserve(qsizetype(values.size()) * 6 + 1);
    for (int value : values)
        elements += QLatin1String(kPatterns[size_t(value)]);
    return elements;
}

std::vector<BarElement> clsCode128::elementi() const {
    const QString elements = Codifica(Codice());
    std::vector<BarElement> result;
    result.reserve(size_t(elements.size()));
    for (qsizetype k = 0; k < elements.size(); ++k)
        result.push_back({elements.at(k).unicode() - u'0', k % 2 == 0});
    return result;
}

} // namespace tarv
