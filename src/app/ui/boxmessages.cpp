#include "app/ui/boxmessages.h"

#include <QApplication>
#include <QMessageBox>

namespace vorel {

namespace {

QMessageBox::Icon iconFor(Messages::Kind kind)
{
    switch (kind) {
    case Messages::Kind::Question:
        return QMessageBox::Question;
    case Messages::Kind::Failure:
        return QMessageBox::Critical;
    case Messages::Kind::Notice:
        break;
    }
    return QMessageBox::Information;
}

} // namespace

bool BoxMessages::show(const QString &text, Kind kind)
{
    QWidget *owner = QApplication::activeModalWidget();
    if (owner == nullptr)
        owner = QApplication::activeWindow();
    const bool question = kind == Kind::Question;
    QMessageBox box(iconFor(kind), Title, text, question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok,
                    owner);
    box.setObjectName(ObjectName);
    box.setDefaultButton(question ? QMessageBox::Yes : QMessageBox::Ok);
    const int pressed = box.exec();
    return !question || pressed == QMessageBox::Yes;
}

} // namespace vorel
