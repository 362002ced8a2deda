// The three symbologies inside the layout frame, drawing data a host or a user typed on a
// picture of any size. Input: the symbology, the options and the picture size (8 bytes), then
// the data as UTF-8.
#include "FuzzSupport.h"
#include "ImageSurface.h"
#include "cls3Of9.h"
#include "clsCode128.h"
#include "clsEAN13.h"

#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    tarv::fuzz::setUpProcess(argc, argv, true);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 8)
        return 0;
    std::unique_ptr<tarv::Symbology> symbology;
    switch (data[0] % 3) {
    case 0:
        symbology = std::make_unique<tarv::cls3Of9>();
        break;
    case 1:
        symbology = std::make_unique<tarv::clsCode128>();
        break;
    default:
        symbology = std::make_unique<tarv::clsEAN13>();
        break;
    }
    symbology->setMostraCodice(data[0] & 0x80);
    // Alignment as a host may set it: usually one of the three, sometimes anything.
    qint32 alignment = data[1] % 4;
    if (data[1] & 0x80)
        alignment = qint32(uint32_t(data[1]) << 24 | uint32_t(data[2]) << 8);
    symbology->setAllineamento(alignment);
    qint16 spessore = 0;
    std::memcpy(&spessore, data + 2, sizeof spessore);
    if (!(data[1] & 0x40))
        spessore = qint16(spessore % 8); // mostly the widths a picture can hold
    symbology->setSpessore(spessore);
    const int width = (data[4] | data[5] << 8) % 2048;
    const int height = data[6] % 200;
    const bool withText = data[7] & 1;

    tarv::ImageSurface surface(QSize(width, height));
    symbology->setPctDestinazione(&surface);
    const QString code =
        QString::fromUtf8(reinterpret_cast<const char*>(data + 8), qsizetype(size - 8));
    symbology->setCodice(code);
    FUZZ_CHECK(symbology->Codice().size() == code.size());
    symbology->CalcolaLarghezza();
    if (withText)
        symbology->setMessaggioErrore(code);
    const tarv::BarcodeStatus status = symbology->DisegnaCodice();
    FUZZ_CHECK(status.ok() || !status.description.isEmpty());
    if (width > 0 && height > 0)
        FUZZ_CHECK(surface.image().size() == QSize(width, height) || !status.ok());

    // The picture resized as a window would resize it, keeping what was drawn, and drawn again
    // at the new size.
    const QSize other(data[6] * 7 % 1500, data[4] % 120);
    if (surface.resize(other)) {
        surface.image();
        const tarv::BarcodeStatus again = symbology->DisegnaCodice();
        FUZZ_CHECK(again.ok() || !again.description.isEmpty());
        surface.image();
    }
    return 0;
}
