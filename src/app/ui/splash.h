#pragma once
// The window shown while the till loads: a picture, "正在装入：" with the step being done,
// and a bar of ">" that fills in red as the steps go by. The picture "load_pos" comes from
// the resource file "vorelres.rcc" in the program folder; without that file the window has
// no picture and loads all the same.

#include <QPixmap>
#include <QString>
#include <QWidget>

class QLabel;

namespace vorel {

class ProgramFolder;

class SplashWindow : public QWidget {
    Q_OBJECT

public:
    static const QString ResourceFile; // "vorelres.rcc"
    static const QString PictureName;  // "load_pos"
    static constexpr int Width = 450;
    static constexpr int Height = 300;
    static constexpr int BarLength = 20; // ">" in the grey row behind the red one

    // Reads the picture from the program folder's resource file, centred on the screen.
    explicit SplashWindow(const ProgramFolder &folder, QWidget *parent = nullptr);

    // Shows `text` as the step being done and lengthens the red bar by ">>". The step
    // number is for the caller's bookkeeping only.
    void showLoadStep(int step, const QString &text);

    // The picture "load_pos" of a resource file; null when the file is missing or holds no
    // such picture. The file is only registered while the picture is read.
    static QPixmap loadPicture(const QString &resourceFile);

private:
    QLabel *picture_;
    QLabel *caption_;
    QLabel *step_;
    QLabel *barBack_;
    QLabel *bar_;
};

} // namespace vorel
