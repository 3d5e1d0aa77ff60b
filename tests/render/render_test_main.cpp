// Runs the render tests inside a QApplication on the X display: a GL widget needs a real window
// system (the offscreen platform cannot host one), fonts need the application's font database.

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) {
        std::fprintf(stderr, "scene_render_tests needs an X display: run it under "
                             "xvfb-run -a -s \"-screen 0 1024x768x24\"\n");
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
