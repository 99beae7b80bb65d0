// The hot key against a real X server. Without a display (the usual offscreen run) the
// system hot key is not available and takes nothing; the X cases run in a second copy of
// this test on a private virtual display, where another X client checks what the till
// grabbed and presses keys through XTEST.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>

#include "app/hotkey.h"

// Xlib's macros (None, Bool, KeyPress) last, after every Qt header.
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <dlfcn.h>

namespace vorel {
namespace {

bool onX11()
{
    return QGuiApplication::platformName() == QStringLiteral("xcb");
}

TEST(HotKey, WithoutAWindowSystemNothingIsTaken)
{
    if (onX11())
        GTEST_SKIP() << "on an X display the X11 cases cover this";
    std::unique_ptr<HotKey> hotKey = createSystemHotKey();
    ASSERT_NE(hotKey, nullptr);
    EXPECT_FALSE(hotKey->isAvailable());
    EXPECT_FALSE(hotKey->registerKey(3));
    EXPECT_EQ(hotKey->registeredKey(), 0);
}

TEST(HotKey, X11CasesOnAVirtualDisplay)
{
    const QString xvfbRun = QStandardPaths::findExecutable(QStringLiteral("xvfb-run"));
    if (onX11() || xvfbRun.isEmpty())
        GTEST_SKIP() << "already on an X display, or no xvfb-run (package xvfb)";
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(xvfbRun, {QStringLiteral("-a"), QStringLiteral("-s"), QStringLiteral("-screen 0 640x480x24"),
                          QCoreApplication::applicationFilePath(),
                          QStringLiteral("--gtest_filter=HotKeyOnX11.*")});
    ASSERT_TRUE(child.waitForFinished(120000));
    const std::string output = child.readAll().toStdString();
    EXPECT_EQ(child.exitCode(), 0) << output;
    EXPECT_NE(output.find("[  PASSED  ] 2 tests."), std::string::npos) << output;
}

// Another client of the same X server: Xlib and XTEST, loaded at run time.
class OtherClient {
public:
    OtherClient()
    {
        x11_ = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
        xtst_ = dlopen("libXtst.so.6", RTLD_NOW | RTLD_LOCAL);
        if (x11_ && xtst_ && resolve(x11_, "XOpenDisplay", open_)
            && resolve(x11_, "XCloseDisplay", close_) && resolve(x11_, "XKeysymToKeycode", keycode_)
            && resolve(x11_, "XGrabKey", grab_) && resolve(x11_, "XUngrabKey", ungrab_)
            && resolve(x11_, "XSync", sync_) && resolve(x11_, "XSetErrorHandler", onError_)
            && resolve(x11_, "XDefaultRootWindow", root_)
            && resolve(xtst_, "XTestFakeKeyEvent", fakeKey_))
            display_ = open_(nullptr);
    }
    ~OtherClient()
    {
        if (display_)
            close_(display_);
        for (void *lib : {xtst_, x11_})
            if (lib)
                dlclose(lib);
    }
    OtherClient(const OtherClient &) = delete;
    OtherClient &operator=(const OtherClient &) = delete;

    bool isOpen() const { return display_ != nullptr; }
    static unsigned f(int n) { return unsigned(XK_F1 + n - 1); }

    // Grabs the key as another program would; the X server refuses while someone holds it.
    bool hold(unsigned keysym)
    {
        errors_ = 0;
        const XErrorHandler previous = onError_(&countError);
        grab_(display_, keycode_(display_, keysym), 0, root_(display_), False, GrabModeAsync,
              GrabModeAsync);
        sync_(display_, False);
        onError_(previous);
        return errors_ == 0;
    }
    void release(unsigned keysym)
    {
        ungrab_(display_, keycode_(display_, keysym), 0, root_(display_));
        sync_(display_, False);
    }
    bool mayGrab(unsigned keysym)
    {
        const bool granted = hold(keysym);
        if (granted)
            release(keysym);
        return granted;
    }
    // Presses and lets go of a key, as the keyboard would.
    void tap(unsigned keysym)
    {
        const KeyCode code = keycode_(display_, keysym);
        fakeKey_(display_, code, True, 0);
        fakeKey_(display_, code, False, 0);
        sync_(display_, False);
    }

private:
    template <typename F>
    static bool resolve(void *lib, const char *name, F &fn)
    {
        fn = reinterpret_cast<F>(dlsym(lib, name));
        return fn != nullptr;
    }
    static int countError(Display *, XErrorEvent *)
    {
        ++errors_;
        return 0;
    }
    static inline int errors_ = 0;

    void *x11_ = nullptr;
    void *xtst_ = nullptr;
    Display *display_ = nullptr;
    Display *(*open_)(const char *) = nullptr;
    int (*close_)(Display *) = nullptr;
    KeyCode (*keycode_)(Display *, KeySym) = nullptr;
    int (*grab_)(Display *, int, unsigned, Window, Bool, int, int) = nullptr;
    int (*ungrab_)(Display *, int, unsigned, Window) = nullptr;
    int (*sync_)(Display *, Bool) = nullptr;
    XErrorHandler (*onError_)(XErrorHandler) = nullptr;
    Window (*root_)(Display *) = nullptr;
    int (*fakeKey_)(Display *, unsigned, Bool, unsigned long) = nullptr;
};

class HotKeyOnX11 : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!onX11())
            GTEST_SKIP() << "needs an X display; HotKey.X11CasesOnAVirtualDisplay starts one";
        ASSERT_TRUE(other.isOpen()) << "cannot reach the display through Xlib and XTEST";
        hotKey = createSystemHotKey();
        ASSERT_TRUE(hotKey && hotKey->isAvailable());
    }

    QList<int> reportsOfTap(unsigned keysym, int waitMs = 2000)
    {
        QSignalSpy spy(hotKey.get(), &HotKey::pressed);
        other.tap(keysym);
        spy.wait(waitMs);
        QList<int> keys;
        for (const QList<QVariant> &args : spy)
            keys << args.at(0).toInt();
        return keys;
    }

    OtherClient other;
    std::unique_ptr<HotKey> hotKey;
};

TEST_F(HotKeyOnX11, TheKeyIsTakenForTheWholeDesktopAndGivenBack)
{
    ASSERT_TRUE(hotKey->registerKey(5));
    EXPECT_EQ(hotKey->registeredKey(), 5);
    EXPECT_FALSE(other.mayGrab(OtherClient::f(5)));
    EXPECT_TRUE(other.mayGrab(OtherClient::f(6)));

    ASSERT_TRUE(hotKey->registerKey(6)); // another number moves the grab
    EXPECT_TRUE(other.mayGrab(OtherClient::f(5)));
    EXPECT_FALSE(other.mayGrab(OtherClient::f(6)));
    hotKey->unregisterKey();
    EXPECT_TRUE(other.mayGrab(OtherClient::f(6)));

    for (int outside : {0, -1, HotKey::MaxKey + 1})
        EXPECT_FALSE(hotKey->registerKey(outside)) << outside;

    // A key another program holds is refused.
    ASSERT_TRUE(other.hold(OtherClient::f(7)));
    EXPECT_FALSE(hotKey->registerKey(7));
    EXPECT_EQ(hotKey->registeredKey(), 0);
    other.release(OtherClient::f(7));

    // Ending the till gives the key back.
    ASSERT_TRUE(hotKey->registerKey(7));
    hotKey.reset();
    EXPECT_TRUE(other.mayGrab(OtherClient::f(7)));
}

TEST_F(HotKeyOnX11, PressingTheKeyReportsIt)
{
    ASSERT_TRUE(hotKey->registerKey(5));
    EXPECT_EQ(reportsOfTap(OtherClient::f(5)), QList<int>{5});
    EXPECT_TRUE(reportsOfTap(OtherClient::f(6), 300).isEmpty());

    other.tap(XK_Num_Lock); // Num Lock on does not hide the key
    EXPECT_EQ(reportsOfTap(OtherClient::f(5)), QList<int>{5});
    other.tap(XK_Num_Lock);

    hotKey->unregisterKey();
    EXPECT_TRUE(reportsOfTap(OtherClient::f(5), 300).isEmpty());
}

} // namespace
} // namespace vorel
