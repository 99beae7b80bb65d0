#pragma once
// The till's message box "DISPINFO": a real QMessageBox titled "系统提示" over the window in
// front (the open dialog, else the active window). A question has Yes and No and answers
// true for Yes; a notice or a failure has OK alone. The kind picks the icon.

#include <QString>

#include "core/messages.h"

namespace vorel {

class BoxMessages final : public Messages {
public:
    static inline const QString Title = QStringLiteral("系统提示");
    static inline const QString ObjectName = QStringLiteral("DISPINFO");

    bool show(const QString &text, Kind kind) override;
};

} // namespace vorel
