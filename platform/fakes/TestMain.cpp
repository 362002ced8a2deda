// Test entry: a QApplication on the offscreen platform, then every GoogleTest case.
#include "WidgetServices.h"

#include <QApplication>

#include <gmock/gmock.h>
#include <clocale>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleMock(&argc, argv);
    QApplication app(argc, argv);
    std::setlocale(LC_ALL, "C.UTF-8");
    tarv::installWidgetServices(app);
    return RUN_ALL_TESTS();
}
