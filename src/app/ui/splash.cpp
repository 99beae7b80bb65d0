#include "app/ui/splash.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QResource>
#include <QPalette>
#include <QScreen>

#include <utility>

#include "core/programfolder.h"

namespace vorel {

const QString SplashWindow::ResourceFile = QStringLiteral("vorelres.rcc");
const QString SplashWindow::PictureName = QStringLiteral("load_pos");

namespace {

// Where the resource file is mounted while its picture is read.
const QString MountPoint = QStringLiteral("/vorel-splash");

// Registers a resource file for as long as it lives.
class MountedResource {
public:
    explicit MountedResource(QString file)
        : file_(std::move(file)), mounted_(QResource::registerResource(file_, MountPoint))
    {
    }
    ~MountedResource()
    {
        if (mounted_)
            QResource::unregisterResource(file_, MountPoint);
    }
    MountedResource(const MountedResource &) = delete;
    MountedResource &operator=(const MountedResource &) = delete;
    bool isMounted() const { return mounted_; }

private:
    QString file_;
    bool mounted_;
};

QLabel *label(const QString &name, const QString &text, const QRect &geometry, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setGeometry(geometry);
    return l;
}

void setTextColour(QLabel *label, const QColor &colour)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

} // namespace

QPixmap SplashWindow::loadPicture(const QString &resourceFile)
{
    if (!QFileInfo(resourceFile).isFile())
        return {};
    const MountedResource resource(resourceFile);
    if (!resource.isMounted())
        return {};
    // A QPixmap holds the decoded picture, so the file may go away after this.
    return QPixmap(QLatin1Char(':') + MountPoint + QLatin1Char('/') + PictureName);
}

SplashWindow::SplashWindow(const ProgramFolder &folder, QWidget *parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("TFrm_Sys_Loading"));
    setFixedSize(Width, Height);

    picture_ = label(QStringLiteral("Image_Load"), QString(), rect(), this);
    picture_->setScaledContents(true);
    picture_->setPixmap(loadPicture(folder.path(ResourceFile)));

    constexpr int Left = 24;
    constexpr int StepTop = Height - 68;
    constexpr int BarTop = Height - 40;
    caption_ = label(QStringLiteral("Lbl_Loading"), QStringLiteral("正在装入："),
                     QRect(Left, StepTop, 90, 22), this);
    step_ = label(QStringLiteral("Lbl_Step"), QString(),
                  QRect(Left + 90, StepTop, Width - 2 * Left - 90, 22), this);
    barBack_ = label(QStringLiteral("Lbl_BarBack"), QString(BarLength, QLatin1Char('>')),
                     QRect(Left, BarTop, Width - 2 * Left, 22), this);
    bar_ = label(QStringLiteral("Lbl_Bar"), QString(), barBack_->geometry(), this);

    // The red row lies exactly over the grey one: same font, same place, no background.
    QFont barFont = font();
    barFont.setBold(true);
    barBack_->setFont(barFont);
    bar_->setFont(barFont);
    bar_->setAttribute(Qt::WA_TranslucentBackground);
    setTextColour(caption_, QColor(0x00, 0x33, 0x99));
    setTextColour(step_, QColor(0x00, 0x33, 0x99));
    setTextColour(barBack_, QColor(0xC0, 0xC0, 0xC0));
    setTextColour(bar_, Qt::red);
    bar_->raise();

    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void SplashWindow::showLoadStep(int step, const QString &text)
{
    Q_UNUSED(step);
    step_->setText(text);
    bar_->setText(bar_->text() + QStringLiteral(">>"));
    // Loading holds the event loop: paint now or the step never shows.
    if (isVisible())
        repaint();
}

} // namespace vorel
