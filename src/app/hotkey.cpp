#include "app/hotkey.h"

#include <QAbstractNativeEventFilter>
#include <QByteArray>
#include <QCoreApplication>
#include <QGuiApplication>

#include <algorithm>
#include <cstdlib>
#include <vector>

#if defined(Q_OS_WIN)
#include <qt_windows.h>
#elif QT_CONFIG(xcb)
#include <xcb/xcb.h>
#endif

namespace vorel {

const QString HotKey::AtomName = QStringLiteral("VorelHotKey");

namespace {

#if defined(Q_OS_WIN)

// RegisterHotKey for the GUI thread; WM_HOTKEY arrives as a thread message, which the event
// dispatcher shows to the native event filters before anything else.
class WindowsHotKey final : public HotKey, private QAbstractNativeEventFilter {
public:
    WindowsHotKey()
    {
        if (QCoreApplication::instance())
            QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~WindowsHotKey() override { unregisterKey(); }

    bool isAvailable() const override { return QCoreApplication::instance() != nullptr; }

    bool registerKey(int minKey) override
    {
        unregisterKey();
        if (!isAvailable() || !isValidKey(minKey))
            return false;
        const ATOM atom = GlobalAddAtomW(reinterpret_cast<LPCWSTR>(AtomName.utf16()));
        if (atom == 0)
            return false;
        // Atoms from the global table start at 0xC000; hot-key ids must stay below it.
        const int id = int(atom) - 0xC000;
        if (!RegisterHotKey(nullptr, id, 0, UINT(FirstVirtualKey + minKey))) {
            GlobalDeleteAtom(atom);
            return false;
        }
        atom_ = atom;
        id_ = id;
        key_ = minKey;
        return true;
    }

    void unregisterKey() override
    {
        if (atom_ == 0)
            return;
        UnregisterHotKey(nullptr, id_);
        GlobalDeleteAtom(atom_);
        atom_ = 0;
        id_ = 0;
        key_ = 0;
    }

    int registeredKey() const override { return key_; }

private:
    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override
    {
        if (key_ == 0 || eventType != "windows_generic_MSG")
            return false;
        const MSG *msg = static_cast<const MSG *>(message);
        if (msg->message != WM_HOTKEY || msg->wParam != WPARAM(id_))
            return false;
        emit pressed(int(HIWORD(msg->lParam)) - FirstVirtualKey);
        return true;
    }

    ATOM atom_ = 0;
    int id_ = 0;
    int key_ = 0;
};

#elif QT_CONFIG(xcb)

// A passive grab of the key on every root window, through Qt's own connection to the X
// server. The grab reports the key relative to the root window even when one of the till's
// windows has the focus, so F<n> is the hot key everywhere and never reaches a screen as
// an ordinary key. Caps Lock and Num Lock must not defeat it: the key is grabbed with and
// without them.
class X11HotKey final : public HotKey, private QAbstractNativeEventFilter {
public:
    X11HotKey()
    {
        auto *app = qGuiApp;
        auto *x11 = app ? app->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
        if (!x11 || !x11->connection())
            return;
        connection_ = x11->connection();
        for (auto it = xcb_setup_roots_iterator(xcb_get_setup(connection_)); it.rem;
             xcb_screen_next(&it))
            roots_.push_back(it.data->root);
        app->installNativeEventFilter(this);
    }
    ~X11HotKey() override { unregisterKey(); }

    bool isAvailable() const override { return connection_ != nullptr && qGuiApp != nullptr; }

    bool registerKey(int minKey) override
    {
        unregisterKey();
        if (!isAvailable() || !isValidKey(minKey))
            return false;
        keycodes_ = keycodesOf(FirstFunctionKeySym + xcb_keysym_t(minKey - 1));
        if (keycodes_.empty())
            return false;

        // Every grab is checked: a key another client holds comes back as an access error.
        std::vector<xcb_void_cookie_t> plain;
        for (xcb_window_t root : roots_) {
            for (xcb_keycode_t code : keycodes_) {
                for (uint16_t mods : LockVariants) {
                    const xcb_void_cookie_t cookie =
                        xcb_grab_key_checked(connection_, 0, root, mods, code,
                                             XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
                    if (mods == 0)
                        plain.push_back(cookie);
                    else
                        xcb_discard_reply(connection_, cookie.sequence);
                }
            }
        }
        bool granted = true;
        for (xcb_void_cookie_t cookie : plain) {
            if (xcb_generic_error_t *error = xcb_request_check(connection_, cookie)) {
                granted = false;
                free(error);
            }
        }
        if (!granted) {
            ungrab();
            keycodes_.clear();
            return false;
        }
        key_ = minKey;
        return true;
    }

    void unregisterKey() override
    {
        if (key_ == 0)
            return;
        if (isAvailable())
            ungrab();
        keycodes_.clear();
        key_ = 0;
    }

    int registeredKey() const override { return key_; }

private:
    static constexpr xcb_keysym_t FirstFunctionKeySym = 0xFFBE; // F1; F2.. follow
    static constexpr uint16_t LockVariants[] = {
        0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2, XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2};

    void ungrab()
    {
        for (xcb_window_t root : roots_) {
            for (xcb_keycode_t code : keycodes_) {
                for (uint16_t mods : LockVariants)
                    xcb_ungrab_key(connection_, code, root, mods);
            }
        }
        // A round trip: once this returns, the key is free for the next program.
        free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
    }

    // The keys that give `keysym` unshifted; failing that, in any column of the map.
    std::vector<xcb_keycode_t> keycodesOf(xcb_keysym_t keysym) const
    {
        const xcb_setup_t *setup = xcb_get_setup(connection_);
        const int first = setup->min_keycode;
        const int count = int(setup->max_keycode) - first + 1;
        xcb_get_keyboard_mapping_reply_t *reply = xcb_get_keyboard_mapping_reply(
            connection_, xcb_get_keyboard_mapping(connection_, setup->min_keycode, uint8_t(count)),
            nullptr);
        if (!reply)
            return {};
        const std::unique_ptr<xcb_get_keyboard_mapping_reply_t, decltype(&free)> owner(reply, &free);
        const xcb_keysym_t *syms = xcb_get_keyboard_mapping_keysyms(reply);
        const int perKey = reply->keysyms_per_keycode;
        std::vector<xcb_keycode_t> unshifted;
        std::vector<xcb_keycode_t> anyColumn;
        for (int i = 0; i < count && perKey > 0; ++i) {
            for (int column = 0; column < perKey; ++column) {
                if (syms[i * perKey + column] != keysym)
                    continue;
                (column == 0 ? unshifted : anyColumn).push_back(xcb_keycode_t(first + i));
                break;
            }
        }
        return unshifted.empty() ? anyColumn : unshifted;
    }

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override
    {
        if (key_ == 0 || eventType != "xcb_generic_event_t")
            return false;
        const auto *event = static_cast<const xcb_generic_event_t *>(message);
        if ((event->response_type & 0x7F) != XCB_KEY_PRESS)
            return false;
        const auto *press = static_cast<const xcb_key_press_event_t *>(message);
        if (!contains(roots_, press->event) || !contains(keycodes_, press->detail))
            return false;
        emit pressed(key_);
        return true;
    }

    template <typename T>
    static bool contains(const std::vector<T> &values, T value)
    {
        return std::find(values.begin(), values.end(), value) != values.end();
    }

    xcb_connection_t *connection_ = nullptr;
    std::vector<xcb_window_t> roots_;
    std::vector<xcb_keycode_t> keycodes_;
    int key_ = 0;
};

#endif

} // namespace

std::unique_ptr<HotKey> createSystemHotKey()
{
#if defined(Q_OS_WIN)
    return std::make_unique<WindowsHotKey>();
#elif QT_CONFIG(xcb)
    return std::make_unique<X11HotKey>();
#else
    return nullptr;
#endif
}

} // namespace vorel
