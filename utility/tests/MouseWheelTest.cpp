// The wheel hook on a real window with a scrolling list inside, fed real wheel events.
#include "CMouseWheel.h"
#include "ComPtr.h"
#include "Creation.h"
#include "DispatchCall.h"
#include "TarvUtilityForm.h"
#include "TestWindowsDir.h"
#include "UtilityWidgets.h"

#include <QApplication>
#include <QKeyEvent>
#include <QListWidget>
#include <QPointer>
#include <QProcess>
#include <QScrollBar>
#include <QWheelEvent>

using namespace tarv;
using namespace tarv::com;
using namespace tarv::utility;

namespace {

// A MouseWheel handler: counts its calls and sets Cancel to `setTo` unless it is -1.
class Handler final : public IDispatch {
public:
    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == DIID___CMouseWheel) {
            *ppv = this;
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; }
    HRESULT GetTypeInfoCount(uint32_t*) override { return E_NOTIMPL; }
    HRESULT GetTypeInfo(uint32_t, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, const QString*, uint32_t, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT Invoke(DISPID, REFIID, LCID, uint16_t, DISPPARAMS* p, Variant*, EXCEPINFO*,
                   uint32_t*) override {
        ++calls;
        if (setTo >= 0 && p->cArgs == 1)
            p->rgvarg[0].assignThrough(Variant(int16_t(setTo)));
        if (onCall)
            onCall();
        return S_OK;
    }
    ULONG refs = 1;
    int calls = 0;
    int setTo = -1;
    std::function<void()> onCall;
};

class MouseWheelTest : public WindowsDirTest {
protected:
    void SetUp() override {
        installLibraryWindows();
        window.resize(300, 200);
        list = new QListWidget(&window);
        list->setGeometry(10, 10, 200, 120);
        for (int i = 0; i < 200; ++i)
            list->addItem(QStringLiteral("riga %1").arg(i));
        window.show();
        createAndQuery<CMouseWheel>(IID__CMouseWheel, reinterpret_cast<void**>(wheel.put()));
        ComPtr<IDispatch> form = ComPtr<IDispatch>::adopt(formObject(&window));
        wheel->putref_Form(form.get());
    }
    // One wheel notch on the list; true when it scrolled.
    bool turn() {
        const int before = list->verticalScrollBar()->value();
        const QPointF at(20, 20);
        QWheelEvent e(at, list->viewport()->mapToGlobal(at), QPoint(), QPoint(0, -120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        e.setTimestamp(++time);
        QApplication::sendEvent(list->viewport(), &e);
        return list->verticalScrollBar()->value() != before;
    }
    void connectHandler(CMouseWheel* to = nullptr) {
        ComPtr<IConnectionPointContainer> cpc;
        ASSERT_EQ((to ? to : wheel.get())
                      ->QueryInterface(IID_IConnectionPointContainer,
                                       reinterpret_cast<void**>(cpc.put())),
                  S_OK);
        ComPtr<IConnectionPoint> cp;
        ASSERT_EQ(cpc->FindConnectionPoint(DIID___CMouseWheel, cp.put()), S_OK);
        uint32_t cookie = 0;
        ASSERT_EQ(cp->Advise(&handler, &cookie), S_OK);
    }
    QWidget window;
    QListWidget* list = nullptr;
    ComPtr<CMouseWheel> wheel;
    Handler handler;
    // Event times go on across the tests, as real ones do: the hook takes a repeated time,
    // place and amount for a copy of the same turn.
    inline static quint64 time = 0;
};

TEST_F(MouseWheelTest, WithoutAHandlerEveryTurnScrolls) {
    ASSERT_EQ(wheel->SubClassHookForm(), S_OK) << takeErrorInfo().description.toStdString();
    EXPECT_TRUE(turn());
    EXPECT_TRUE(turn());
    wheel->SubClassUnHookForm();
}

TEST_F(MouseWheelTest, CancelStopsTurnsUntilAHandlerClearsIt) {
    connectHandler();
    ASSERT_EQ(wheel->SubClassHookForm(), S_OK);
    // Hooking again never puts the hook in front of itself: one event per turn.
    ASSERT_EQ(wheel->SubClassHookForm(), S_OK);
    const struct Step {
        int setTo;
        bool scrolls;
        int16_t flag;
    } steps[] = {{-1, true, 0}, {1, false, 1}, {-1, false, 1}, {0, true, 0}, {-1, true, 0}};
    int calls = 0;
    for (const Step& s : steps) {
        handler.setTo = s.setTo;
        EXPECT_EQ(turn(), s.scrolls) << s.setTo;
        EXPECT_EQ(handler.calls, ++calls);
        int16_t flag = -7;
        wheel->get_MouseWheelCancel(&flag);
        EXPECT_EQ(flag, s.flag);
    }
    // Other events reach the list with their own result, the flag set or not.
    handler.setTo = 1;
    turn();
    const int row = list->currentRow();
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    QApplication::sendEvent(list, &down);
    EXPECT_NE(list->currentRow(), row);
    // Unhooked, the window is itself again.
    wheel->SubClassUnHookForm();
    calls = handler.calls;
    EXPECT_TRUE(turn());
    EXPECT_EQ(handler.calls, calls);
    // Unhooking where nothing is hooked does nothing.
    EXPECT_EQ(wheel->SubClassUnHookForm(), S_OK);
    EXPECT_TRUE(turn());
}

// A handler that deletes the hooked window at once (not later) ends that turn; the host goes on.
TEST_F(MouseWheelTest, AHandlerMayDeleteTheHookedWindow) {
    auto* doomed = new QWidget;
    auto* inner = new QListWidget(doomed);
    for (int i = 0; i < 100; ++i)
        inner->addItem(QStringLiteral("riga %1").arg(i));
    doomed->show();
    const QPointer<QWidget> watch(doomed);
    ComPtr<CMouseWheel> own;
    createAndQuery<CMouseWheel>(IID__CMouseWheel, reinterpret_cast<void**>(own.put()));
    ComPtr<IDispatch> form = ComPtr<IDispatch>::adopt(formObject(doomed));
    own->putref_Form(form.get());
    connectHandler(own.get());
    ASSERT_EQ(own->SubClassHookForm(), S_OK);
    handler.onCall = [&] { delete doomed; };
    const QPointF at(20, 20);
    QWheelEvent e(at, inner->viewport()->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                  Qt::NoModifier, Qt::NoScrollPhase, false);
    e.setTimestamp(++time);
    QApplication::sendEvent(inner->viewport(), &e);
    EXPECT_TRUE(watch.isNull());
    EXPECT_EQ(handler.calls, 1);
    handler.onCall = nullptr;
    // The fixture's window is hooked and served as before.
    ASSERT_EQ(wheel->SubClassHookForm(), S_OK);
    handler.setTo = 0;
    EXPECT_TRUE(turn());
    wheel->SubClassUnHookForm();
}

TEST_F(MouseWheelTest, AFormWithoutAWindowIsRefused) {
    ComPtr<CMouseWheel> other;
    createAndQuery<CMouseWheel>(IID__CMouseWheel, reinterpret_cast<void**>(other.put()));
    EXPECT_EQ(other->SubClassHookForm(), controlError(91));
    QWidget* gone = new QWidget;
    ComPtr<IDispatch> form = ComPtr<IDispatch>::adopt(formObject(gone));
    delete gone;
    other->putref_Form(form.get());
    EXPECT_EQ(other->SubClassHookForm(), controlError(5));
    EXPECT_TRUE(turn());
}

// A host of the built library: the class created by its programmatic identifier, Form set by
// reference through dispatch, as the README shows.
TEST_F(MouseWheelTest, TheRegisteredLibraryHooksAHostWindow) {
    QProcess regsvr;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TARV_WINDIR"), win.path());
    regsvr.setProcessEnvironment(env);
    regsvr.start(QStringLiteral(TARV_REGSVR), {QStringLiteral(TARV_UTILITY_LIB)});
    ASSERT_TRUE(regsvr.waitForFinished(30000));
    ComPtr<IDispatch> hosted, form;
    ASSERT_EQ(createObject(QStringLiteral("TarvUtility.CMouseWheel"), hosted.put()), S_OK);
    form = ComPtr<IDispatch>::adopt(formObject(&window));
    std::vector<Variant> args{Variant(form.get())};
    ASSERT_EQ(
        invokeByName(hosted.get(), QStringLiteral("Form"), DISPATCH_PROPERTYPUTREF, args, nullptr),
        S_OK);
    ComPtr<IConnectionPointContainer> cpc;
    ASSERT_EQ(
        hosted->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(cpc.put())),
        S_OK);
    ComPtr<IConnectionPoint> cp;
    ASSERT_EQ(cpc->FindConnectionPoint(DIID___CMouseWheel, cp.put()), S_OK);
    uint32_t cookie = 0;
    ASSERT_EQ(cp->Advise(&handler, &cookie), S_OK);
    ASSERT_EQ(call(hosted.get(), QStringLiteral("SubClassHookForm"), {}), S_OK);
    handler.setTo = 1;
    EXPECT_FALSE(turn());
    EXPECT_EQ(handler.calls, 1);
    ASSERT_EQ(call(hosted.get(), QStringLiteral("SubClassUnHookForm"), {}), S_OK);
    EXPECT_TRUE(turn());
    cp->Unadvise(cookie);
}

} // namespace
