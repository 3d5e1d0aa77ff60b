#pragma once
// The side windows the main window creates at start-up and keeps for the program's life: the
// export progress window, the lyric viewer and the video editor. Their content arrives with the
// export and editor work; here they are the windows with their captions. Main thread only.

#include <QDialog>

namespace cantorix::app {

class TfrmConvert : public QDialog {
    Q_OBJECT
public:
    explicit TfrmConvert(QWidget* parent = nullptr);
};

class TForm4 : public QDialog {
    Q_OBJECT
public:
    explicit TForm4(QWidget* parent = nullptr);
};

class TForm5 : public QDialog {
    Q_OBJECT
public:
    explicit TForm5(QWidget* parent = nullptr);
};

} // namespace cantorix::app
