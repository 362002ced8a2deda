#include "GuiPlatform.h"
#include "TestDisplay.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

using namespace tarv;

namespace {

// The environment of a session with this X display and nothing else, for the test's length.
class OnlyDisplay {
public:
    explicit OnlyDisplay(const QString& display) {
        for (const char* name : kNames) {
            m_saved.push_back(qgetenv(name));
            m_had.push_back(qEnvironmentVariableIsSet(name));
            qunsetenv(name);
        }
        qputenv("DISPLAY", display.toLatin1());
    }
    ~OnlyDisplay() {
        for (size_t i = 0; i < std::size(kNames); ++i) {
            if (m_had[i])
                qputenv(kNames[i], m_saved[i]);
            else
                qunsetenv(kNames[i]);
        }
    }

private:
    static constexpr const char* kNames[] = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM",
                                             "XDG_SESSION_TYPE"};
    std::vector<QByteArray> m_saved;
    std::vector<bool> m_had;
};

// An X server with no other client (an Xvfb started for a script) resets when the last one
// leaves: the check must not leave it so, or the connection Qt opens right after it is refused
// and Qt ends the process. Each round checks, then connects as Qt does.
TEST(GuiPlatform, AnXServerWithNoOtherClientTakesTheConnectionAfterTheCheck) {
    TestDisplay display;
    if (display.name().isEmpty())
        GTEST_SKIP() << display.why().toStdString();
    OnlyDisplay session(display.name());
    void* xcb = ::dlopen("libxcb.so.1", RTLD_LAZY | RTLD_LOCAL);
    ASSERT_NE(xcb, nullptr);
    using Connect = void* (*)(const char*, int*);
    using HasError = int (*)(void*);
    using Disconnect = void (*)(void*);
    const auto connect = reinterpret_cast<Connect>(::dlsym(xcb, "xcb_connect"));
    const auto hasError = reinterpret_cast<HasError>(::dlsym(xcb, "xcb_connection_has_error"));
    const auto disconnect = reinterpret_cast<Disconnect>(::dlsym(xcb, "xcb_disconnect"));
    int refused = 0;
    for (int round = 0; round < 40; ++round) {
        const GuiPlatform found = GuiPlatform::find();
        ASSERT_EQ(found.name, QStringLiteral("xcb")) << found.problem.toStdString();
        void* c = connect(nullptr, nullptr);
        refused += hasError(c) != 0;
        disconnect(c);
    }
    EXPECT_EQ(refused, 0);
    ::dlclose(xcb);
}

} // namespace
