// Entry of the test programs that drive the real main window: a QApplication with the OpenGL
// format the game uses, and failures shown by the game turned into test failures.

#include "app/error_guard.h"

#include <QApplication>
#include <QSurfaceFormat>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    QSurfaceFormat format;
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setDepthBufferSize(24);
    QSurfaceFormat::setDefaultFormat(format);
    QApplication app(argc, argv);
    // A failure inside a handler must fail the test, not wait behind a modal box.
    cantorix::app::setErrorPresenter([](QWidget*, const QString& text) {
        ADD_FAILURE() << "error shown: " << text.toStdString();
    });
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
