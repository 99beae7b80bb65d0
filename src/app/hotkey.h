#pragma once
// The till's hot key: one function key (F1 for MINKEY 1, F2 for 2, ...) with no modifier,
// taken for the whole desktop, so the cashier can bring the sales screen back from the tray
// or send it down from inside any other program. The X11 and Windows versions take the key
// from the window system; a desktop without such a thing (Wayland, no screen) reports the
// hot key as not available and nothing is taken.

#include <QObject>
#include <QString>

#include <memory>

namespace vorel {

class HotKey : public QObject {
    Q_OBJECT

public:
    static const QString AtomName;               // "VorelHotKey", the name the key is held under
    static constexpr int FirstVirtualKey = 0x6F; // key n is the virtual key 0x6F + n
    static constexpr int MaxKey = 24;            // F24
    static bool isValidKey(int minKey) { return minKey >= 1 && minKey <= MaxKey; }

    using QObject::QObject;

    // The window system lets the till take a key.
    virtual bool isAvailable() const = 0;
    // Takes F<minKey>, giving up any key taken before. False for a key number outside
    // 1..MaxKey, when not available, or when another program holds that key.
    virtual bool registerKey(int minKey) = 0;
    virtual void unregisterKey() = 0;
    // The key number held; 0 when none.
    virtual int registeredKey() const = 0;

signals:
    // The key held was pressed, wherever the focus was.
    void pressed(int minKey);
};

// The hot key of the window system the program runs on (X11 or Windows); null when this
// build knows no such window system.
std::unique_ptr<HotKey> createSystemHotKey();

} // namespace vorel
