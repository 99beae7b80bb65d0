// The loading window: the red bar grows with every step, and the picture comes from the
// resource file in the program folder when there is one. The resource file is built here
// with Qt's own resource compiler.

#include <gtest/gtest.h>

#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QLibraryInfo>
#include <QProcess>
#include <QTemporaryDir>

#include "app/ui/splash.h"
#include "core/programfolder.h"

namespace vorel {
namespace {

class SplashTest : public ::testing::Test {
protected:
    QLabel *child(const SplashWindow &splash, const char *name) const
    {
        return splash.findChild<QLabel *>(QString::fromLatin1(name));
    }

    // Builds `fileName` in the program folder holding `image` as "load_pos". Empty when
    // it was built, else why not.
    QString buildResourceFile(const QImage &image, const QString &fileName)
    {
        const QString rcc =
            QLibraryInfo::path(QLibraryInfo::LibraryExecutablesPath) + QStringLiteral("/rcc");
        if (!QFileInfo(rcc).isExecutable())
            return QStringLiteral("no resource compiler at ") + rcc;
        QTemporaryDir source;
        if (!image.save(source.filePath(QStringLiteral("picture.png"))))
            return QStringLiteral("could not write the picture");
        QFile qrc(source.filePath(QStringLiteral("res.qrc")));
        if (!qrc.open(QIODevice::WriteOnly))
            return QStringLiteral("could not write the resource list");
        qrc.write("<RCC><qresource prefix=\"/\">"
                  "<file alias=\"load_pos\">picture.png</file>"
                  "</qresource></RCC>\n");
        qrc.close();
        QProcess compiler;
        compiler.setWorkingDirectory(source.path());
        compiler.start(rcc, {QStringLiteral("--binary"), QStringLiteral("-o"),
                             home.filePath(fileName), qrc.fileName()});
        if (!compiler.waitForFinished(30000) || compiler.exitCode() != 0)
            return QStringLiteral("rcc failed: ") + QString::fromLocal8Bit(compiler.readAllStandardError());
        return {};
    }

    QTemporaryDir home;
};

TEST_F(SplashTest, EveryStepLengthensTheRedBar)
{
    SplashWindow splash{ProgramFolder(home.path())};
    QLabel *step = child(splash, "Lbl_Step");
    QLabel *bar = child(splash, "Lbl_Bar");
    QLabel *barBack = child(splash, "Lbl_BarBack");
    ASSERT_TRUE(step && bar && barBack);
    EXPECT_EQ(barBack->text(), QString(20, QLatin1Char('>')));
    EXPECT_EQ(bar->geometry(), barBack->geometry());

    splash.show();
    const struct {
        int step;
        const char *text;
        const char *bar;
    } steps[] = {
        {1, "配置参数!", ">>"},
        {2, "配置文件!", ">>>>"},
        {5, "正在启动数据,请稍等...", ">>>>>>"},
        {10, "装入完成!", ">>>>>>>>"},
    };
    for (const auto &s : steps) {
        splash.showLoadStep(s.step, QString::fromUtf8(s.text));
        EXPECT_EQ(step->text(), QString::fromUtf8(s.text));
        EXPECT_EQ(bar->text(), QString::fromLatin1(s.bar)) << "after step " << s.text;
    }
}

TEST_F(SplashTest, PictureComesFromTheResourceFile)
{
    QImage image(12, 8, QImage::Format_RGB32);
    image.fill(QColor(0x20, 0x80, 0x40));
    // Files in the program folder are found whatever their case.
    const QString problem = buildResourceFile(image, QStringLiteral("VORELRES.RCC"));
    if (!problem.isEmpty())
        GTEST_SKIP() << problem.toStdString();

    SplashWindow splash{ProgramFolder(home.path())};
    QLabel *picture = child(splash, "Image_Load");
    const QPixmap shown = picture->pixmap();
    ASSERT_FALSE(shown.isNull());
    EXPECT_EQ(shown.size(), QSize(12, 8));
    EXPECT_EQ(shown.toImage().pixelColor(5, 5), QColor(0x20, 0x80, 0x40));
    EXPECT_EQ(picture->geometry(), splash.rect()) << "the picture fills the window";
    EXPECT_TRUE(picture->hasScaledContents());

    EXPECT_FALSE(QFile::exists(QStringLiteral(":/vorel-splash/load_pos"))) << "still mounted";
}

} // namespace
} // namespace vorel
