#pragma once
// The about box: a small tool window with the logo, the caption line, a link label that opens the
// project's web address with the desktop's URL handler, and "OK". Main thread only.

#include <QDialog>
#include <QLabel>
#include <QUrl>

namespace cantorix::app {

// A label that looks like a link while the mouse is over it (blue, underlined, hand cursor) and
// asks the desktop to open its URL when clicked.
class TLabelURL : public QLabel {
    Q_OBJECT
public:
    TLabelURL(const QUrl& url, QWidget* parent = nullptr);
    const QUrl& url() const { return m_url; }
    bool active() const { return m_active; }

signals:
    void opened(const QUrl& url);

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void setActive(bool on);
    QUrl m_url;
    QFont m_normalFont;
    QPalette m_normalPalette;
    bool m_active = false;
};

class AboutBox : public QDialog {
    Q_OBJECT
public:
    AboutBox(const QImage& logo, QWidget* parent = nullptr);
    TLabelURL* link() const { return m_link; }

private:
    TLabelURL* m_link;
};

inline constexpr const char* kProjectAddress = "https://cantorix.example/";

} // namespace cantorix::app
