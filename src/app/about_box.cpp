#include "about_box.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>

namespace cantorix::app {

TLabelURL::TLabelURL(const QUrl& url, QWidget* parent)
    : QLabel(url.toString(), parent), m_url(url), m_normalFont(font()), m_normalPalette(palette()) {
    setCursor(Qt::PointingHandCursor);
}

void TLabelURL::setActive(bool on) {
    m_active = on;
    if (on) {
        QFont f = m_normalFont;
        f.setUnderline(true);
        setFont(f);
        QPalette p = m_normalPalette;
        p.setColor(QPalette::WindowText, Qt::blue);
        setPalette(p);
    } else {
        setFont(m_normalFont);
        setPalette(m_normalPalette);
    }
}

void TLabelURL::enterEvent(QEnterEvent* event) {
    setActive(true);
    QLabel::enterEvent(event);
}

void TLabelURL::leaveEvent(QEvent* event) {
    setActive(false);
    QLabel::leaveEvent(event);
}

void TLabelURL::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        QDesktopServices::openUrl(m_url);
        emit opened(m_url);
    }
    QLabel::mousePressEvent(event);
}

AboutBox::AboutBox(const QImage& logo, QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setWindowTitle(QStringLiteral("    Cantorix"));
    setFixedSize(199, 134);
    auto* image = new QLabel(this);
    image->setGeometry(72, 8, 49, 41);
    image->setPixmap(QPixmap::fromImage(logo));
    auto* line = new QLabel(QStringLiteral("Cantorix Karaoke Simulator by "), this);
    line->setGeometry(8, 54, 183, 16);
    line->setAlignment(Qt::AlignHCenter);
    m_link = new TLabelURL(QUrl(QString::fromLatin1(kProjectAddress)), this);
    m_link->setGeometry(8, 72, 183, 16);
    m_link->setAlignment(Qt::AlignHCenter);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setGeometry(62, 100, 75, 25);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

} // namespace cantorix::app
