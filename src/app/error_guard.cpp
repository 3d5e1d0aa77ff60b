#include "error_guard.h"

#include <QMessageBox>

#include <exception>

namespace cantorix::app {

namespace {
ErrorPresenter& presenter() {
    static ErrorPresenter p = [](QWidget* parent, const QString& text) {
        QMessageBox::critical(parent, QStringLiteral("Cantorix"), text);
    };
    return p;
}
} // namespace

void setErrorPresenter(ErrorPresenter p) { presenter() = std::move(p); }

void presentError(QWidget* parent, const QString& text) { presenter()(parent, text); }

void presentNotice(QWidget* parent, const QString& text) {
    auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Cantorix"), text, QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void runGuarded(QWidget* parent, const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        presentError(parent, QString::fromUtf8(e.what()));
    } catch (...) {
        presentError(parent, QStringLiteral("An unexpected error occurred."));
    }
}

} // namespace cantorix::app
