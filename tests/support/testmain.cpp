// The main of the test programs that need an application object: dialogs, receipt pages,
// serial ports, the network watch and QProcess. Without a display they run on the offscreen
// platform (test discovery runs the program without ctest's environment).

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
