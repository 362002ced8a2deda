// tarv-barcode: draws the barcode control offscreen at a given size and saves its picture area.
#include <tarv/ctlBarcode.h>

#include <QApplication>
#include <QSaveFile>
#include <QStringList>

#include <cstdio>
#include <functional>
#include <limits>
#include <optional>
#include <vector>

namespace {

const char* const kUsage =
    "Uso: tarv-barcode --type N --code TESTO [--no-text] [--align N] [--module S]\n"
    "                  --size LxA -o FILE.png\n"
    "\n"
    "Disegna il controllo codice a barre, senza finestra, alla dimensione data e salva\n"
    "l'immagine in formato PNG: la stessa che il controllo mostra a quella dimensione.\n"
    "Le proprieta' sono impostate nell'ordine in cui compaiono le opzioni.\n"
    "\n"
    "  --type N      TipoCodice: 0 Code 39, 1 Code 128, 2 EAN-13\n"
    "  --code TESTO  Codice: i dati del simbolo (EAN-13: 12 cifre, o 13 con la cifra di\n"
    "                controllo)\n"
    "  --no-text     MostraTesto falso: niente testo sotto le barre\n"
    "  --align N     Allineamento: 0 a sinistra dopo un margine di 30 pixel (predefinito),\n"
    "                1 al centro, 2 a destra\n"
    "  --module S    Spessore: larghezza di un modulo in pixel (predefinito 1)\n"
    "  --size LxA    larghezza e altezza del controllo in pixel, per esempio 300x120\n"
    "  -o FILE.png   file da scrivere\n"
    "  --help        mostra questo aiuto\n"
    "  --version     mostra la versione\n"
    "\n"
    "Se il simbolo non entra nella larghezza, l'immagine mostra \"SIZE!\"; un codice EAN-13\n"
    "di lunghezza errata mostra \"LENGTH!\". L'immagine e' scritta anche allora, ma l'uscita\n"
    "vale 3, con una riga su standard error.\n"
    "\n"
    "Uscita: 0 simbolo disegnato, 2 opzioni o file errati, 3 immagine senza simbolo.\n";

int fail(const QString& message) {
    std::fprintf(stderr, "tarv-barcode: %s\n", message.toLocal8Bit().constData());
    return 2;
}

std::optional<qint16> parseShort(const QString& text) {
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (!ok || value < std::numeric_limits<qint16>::min() ||
        value > std::numeric_limits<qint16>::max())
        return std::nullopt;
    return qint16(value);
}

} // namespace

int main(int argc, char** argv) {
    // The options are read before the application starts, so a bad one gets its one line and
    // nothing else.
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);

    using Put = std::function<tarv::BarcodeStatus(tarv::ctlBarcode&)>;
    std::vector<Put> puts;
    std::optional<QSize> size;
    QString output;
    bool typeGiven = false;
    bool codeGiven = false;

    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& option = args.at(i);
        if (option == QLatin1String("--help") || option == QLatin1String("-h")) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (option == QLatin1String("--version")) {
            std::printf("tarv-barcode (Tarv) %s\n", TARV_VERSION);
            return 0;
        }
        if (option == QLatin1String("--no-text")) {
            puts.push_back([](tarv::ctlBarcode& c) { return c.setMostraTesto(false); });
            continue;
        }
        const bool takesValue =
            option == QLatin1String("--type") || option == QLatin1String("--code") ||
            option == QLatin1String("--align") || option == QLatin1String("--module") ||
            option == QLatin1String("--size") || option == QLatin1String("-o");
        if (!takesValue)
            return fail(QStringLiteral("opzione sconosciuta: %1 (vedi --help)").arg(option));
        if (i + 1 >= args.size())
            return fail(QStringLiteral("manca il valore di %1").arg(option));
        const QString value = args.at(++i);

        if (option == QLatin1String("--code")) {
            codeGiven = true;
            puts.push_back([value](tarv::ctlBarcode& c) { return c.setCodice(value); });
        } else if (option == QLatin1String("--size")) {
            const QStringList parts = value.split(QLatin1Char('x'));
            bool okW = false, okH = false;
            const int w = parts.size() == 2 ? parts[0].toInt(&okW) : 0;
            const int h = parts.size() == 2 ? parts[1].toInt(&okH) : 0;
            if (!okW || !okH || w < 1 || h < 1 || w > QWIDGETSIZE_MAX || h > QWIDGETSIZE_MAX)
                return fail(QStringLiteral("dimensione non valida: %1 (attesa LxA in pixel, per "
                                           "esempio 300x120)")
                                .arg(value));
            size = QSize(w, h);
        } else if (option == QLatin1String("-o")) {
            if (value.isEmpty())
                return fail(QStringLiteral("manca il nome del file di -o"));
            output = value;
        } else {
            const std::optional<qint16> number = parseShort(value);
            if (!number)
                return fail(QStringLiteral("valore non valido per %1: %2 (atteso un intero da "
                                           "-32768 a 32767)")
                                .arg(option, value));
            const qint16 n = *number;
            if (option == QLatin1String("--type")) {
                // The control draws its default symbol for any other number; from a script
                // that would be a readable bar code of the wrong kind.
                if (n < 0 || n > 2)
                    return fail(QStringLiteral("valore non valido per --type: %1 (atteso 0, 1 "
                                               "o 2)")
                                    .arg(value));
                typeGiven = true;
                puts.push_back([n](tarv::ctlBarcode& c) { return c.setTipoCodice(n); });
            } else if (option == QLatin1String("--align")) {
                puts.push_back([n](tarv::ctlBarcode& c) { return c.setAllineamento(n); });
            } else {
                puts.push_back([n](tarv::ctlBarcode& c) { return c.setSpessore(n); });
            }
        }
    }

    QStringList missing;
    if (!typeGiven)
        missing << QStringLiteral("--type");
    if (!codeGiven)
        missing << QStringLiteral("--code");
    if (!size)
        missing << QStringLiteral("--size");
    if (output.isEmpty())
        missing << QStringLiteral("-o");
    if (!missing.isEmpty())
        return fail(QStringLiteral("mancano le opzioni obbligatorie: %1 (vedi --help)")
                        .arg(missing.join(QStringLiteral(", "))));

    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    tarv::ctlBarcode control;
    control.resize(*size);
    if (const tarv::BarcodeStatus s = control.DisegnaCodice(); !s)
        return fail(QStringLiteral("errore %1: %2").arg(s.number).arg(s.description));
    for (const Put& put : puts) {
        if (const tarv::BarcodeStatus s = put(control); !s)
            return fail(QStringLiteral("errore %1: %2").arg(s.number).arg(s.description));
    }
    // The picture goes to a file beside the output, which replaces the output only once the
    // whole image is written: an image the format cannot hold leaves the old file as it was.
    QSaveFile file(output);
    if (!file.open(QIODevice::WriteOnly) || !control.picture().save(&file, "PNG") || !file.commit())
        return fail(QStringLiteral("impossibile scrivere il file %1").arg(output));
    // A label without a symbol cannot be scanned: a batch must learn of it.
    const QString shown = control.messaggioMostrato();
    if (shown.isEmpty())
        return 0;
    const QString why =
        control.TipoCodice() == tarv::ctlBarcode::EAN13 && shown == QLatin1String("LENGTH!")
            ? QStringLiteral("il codice EAN-13 deve avere 12 o 13 cifre")
            : QStringLiteral("il simbolo non entra in %1 pixel di larghezza").arg(size->width());
    fail(QStringLiteral("%1: %2 mostra \"%3\" al posto del simbolo").arg(why, output, shown));
    return 3;
}
