#include "app/ui/errorreport.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <QWidget>

namespace vorel {

bool TillApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        if (handler_) {
            try {
                handler_(std::current_exception());
            } catch (...) {
                // A handler that fails itself leaves the till as it was.
            }
        }
        return false;
    }
}

QImage DesktopCapture::grab()
{
    QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return {};
    QImage shot = screen->grabWindow(0).toImage();
    if (!shot.isNull())
        return shot;
    // Without a desktop to copy (offscreen), the visible windows drawn where they stand.
    shot = QImage(screen->geometry().size(), QImage::Format_RGB32);
    shot.fill(Qt::black);
    QPainter painter(&shot);
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->isVisible())
            painter.drawPixmap(w->geometry().topLeft() - screen->geometry().topLeft(), w->grab());
    }
    return shot;
}

ErrorReportDialog::ErrorReportDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TFrm_SendMailErr"));
    setWindowTitle(QStringLiteral("错误报告"));
    auto *user = new QLabel(this);
    user->setObjectName(QStringLiteral("lab_user"));
    auto *picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("img_screen"));
    picture->setAlignment(Qt::AlignCenter);
    auto *text = new QLabel(this);
    text->setObjectName(QStringLiteral("mem_err"));
    text->setTextFormat(Qt::PlainText);
    text->setWordWrap(true);
    text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    text->setFrameShape(QFrame::StyledPanel);
    auto *close = new QPushButton(QStringLiteral("关闭"), this);
    close->setObjectName(QStringLiteral("btn_Cancel"));
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("程序出现错误，以下信息已记录在错误日志中："), this));
    layout->addWidget(user);
    layout->addWidget(picture);
    layout->addWidget(text);
    layout->addWidget(close, 0, Qt::AlignRight);
    close->setFocus();
}

void ErrorReportDialog::initErrorInfo(const QString &user, const QString &screenshotPath, const QString &errorText)
{
    findChild<QLabel *>(QStringLiteral("lab_user"))->setText(QStringLiteral("收银员：") + user);
    const QPixmap shot(screenshotPath);
    findChild<QLabel *>(QStringLiteral("img_screen"))
        ->setPixmap(shot.isNull() ? QPixmap() : shot.scaledToWidth(480, Qt::SmoothTransformation));
    findChild<QLabel *>(QStringLiteral("mem_err"))->setText(errorText);
}

void DialogErrorReport::show(const QString &user, const QString &screenshotPath, const QString &errorText)
{
    ErrorReportDialog dialog(QApplication::activeWindow());
    dialog.initErrorInfo(user, screenshotPath, errorText);
    dialog.exec();
}

} // namespace vorel
