// The yardstick of the start-up benchmark: a bare Qt window the game's size that paints one
// many-coloured, full-window picture through OpenGL, with the surface format the game asks for.
// It prints the steady clock's time of its first drawn frame ("first frame at S") and leaves,
// so the benchmark can set the game's start beside what a window alone costs on this machine.

#include <QApplication>
#include <QImage>
#include <QOpenGLFunctions>
#include <QOpenGLTexture>
#include <QOpenGLWidget>
#include <QSurfaceFormat>
#include <QTimer>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>

namespace {

// Gradients and rings in every hue: nothing a driver could draw as one flat colour.
QImage manyColouredPicture(int width, int height) {
    QImage image(width, height, QImage::Format_RGBA8888);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const double ring = std::sin(std::hypot(x - width / 2.0, y - height / 2.0) / 9.0);
            image.setPixel(x, y,
                           qRgba(255 * x / width, 255 * y / height,
                                 static_cast<int>(127.5 + 127.5 * ring), 255));
        }
    return image;
}

class BareWindow : public QOpenGLWidget, protected QOpenGLFunctions {
public:
    BareWindow() {
        resize(766, 729);
        connect(this, &QOpenGLWidget::frameSwapped, this, [this] {
            if (m_reported)
                return;
            m_reported = true;
            const double now =
                std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
                    .count();
            std::printf("first frame at %.6f\n", now);
            std::fflush(stdout);
            QTimer::singleShot(0, qApp, &QApplication::quit);
        });
    }
    ~BareWindow() override {
        makeCurrent();
        m_texture.reset();
        doneCurrent();
    }

protected:
    void initializeGL() override {
        initializeOpenGLFunctions();
        m_texture = std::make_unique<QOpenGLTexture>(manyColouredPicture(766, 729));
    }
    void paintGL() override {
        glViewport(0, 0, width(), height());
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glEnable(GL_TEXTURE_2D);
        m_texture->bind();
        glBegin(GL_QUADS);
        glTexCoord2f(0, 1);
        glVertex2f(-1, -1);
        glTexCoord2f(1, 1);
        glVertex2f(1, -1);
        glTexCoord2f(1, 0);
        glVertex2f(1, 1);
        glTexCoord2f(0, 0);
        glVertex2f(-1, 1);
        glEnd();
    }

private:
    std::unique_ptr<QOpenGLTexture> m_texture;
    bool m_reported = false;
};

} // namespace

int main(int argc, char** argv) {
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setDepthBufferSize(24);
    format.setSamples(0);
    QSurfaceFormat::setDefaultFormat(format);
    QApplication application(argc, argv);
    BareWindow window;
    window.show();
    return QApplication::exec();
}
