// REGEDIT4 import of a file a user or another program wrote, into a fresh store. What was
// imported is exported, imported into another fresh store and exported again: the two exports
// must be the same bytes.
#include "FuzzSupport.h"
#include "RegFile.h"
#include "RegistryStore.h"

#include <QDir>
#include <QTemporaryDir>

using tarv::RegFile;
using tarv::RegistryStore;

namespace {

// Every key under the roots the import can write, exported one after the other.
QByteArray exportAll(RegistryStore& store) {
    QByteArray all;
    for (int32_t root :
         {RegistryStore::CurrentUser, RegistryStore::LocalMachine, RegistryStore::Users}) {
        QString name;
        for (int i = 0; store.enumKey(root, QString(), i, &name) == tarv::RegStatus::Ok; ++i) {
            QByteArray text;
            QString error;
            FUZZ_CHECK(RegFile::exportKey(store, root, name, &text, &error));
            all += text;
        }
    }
    return all;
}

// The body of an export without its header, so that several can follow one header.
QByteArray withoutHeaders(const QByteArray& exports) {
    QByteArray body = exports;
    body.replace("REGEDIT4\r\n\r\n", "");
    return "REGEDIT4\r\n\r\n" + body;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    tarv::fuzz::setUpProcess(argc, argv, false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray text(reinterpret_cast<const char*>(data), qsizetype(size));
    QTemporaryDir first(tarv::fuzz::windowsDirectory() + QStringLiteral("/store-XXXXXX"));
    QString error;
    bool imported = false;
    QByteArray exported;
    {
        RegistryStore store(first.path());
        imported = RegFile::importText(store, text, &error);
        if (!imported) {
            FUZZ_CHECK(!error.isEmpty());
            return 0;
        }
        exported = exportAll(store);
    }
    QTemporaryDir second(tarv::fuzz::windowsDirectory() + QStringLiteral("/store-XXXXXX"));
    RegistryStore again(second.path());
    const QByteArray reimport = withoutHeaders(exported);
    FUZZ_CHECK(RegFile::importText(again, reimport, &error));
    FUZZ_CHECK(exportAll(again) == exported);
    return 0;
}
