// Test entry: a QApplication on the offscreen platform, the command recorders first in PATH,
// then every GoogleTest case.
#include "CommandRecorders.h"
#include "WidgetServices.h"

#include <QApplication>

#include <clocale>
#include <cstdio>
#include <gmock/gmock.h>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleMock(&argc, argv);
    QApplication app(argc, argv);
    std::setlocale(LC_ALL, "C.UTF-8");
    QString error;
    if (!tarv::installCommandRecorders(&error)) {
        std::fprintf(stderr, "Refusing to run the tests: %s\n", error.toLocal8Bit().constData());
        return 1;
    }
    tarv::installWidgetServices(app);
    return RUN_ALL_TESTS();
}
