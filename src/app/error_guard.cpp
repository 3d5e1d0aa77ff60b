#include "error_guard.h"

#include <QMessageBox>
#include <exception>
#include <filesystem>
#include <iostream>
#include <new>
#include <utility>

namespace cantorix::app {

namespace {
ErrorPresenter& presenter() {
    static ErrorPresenter p = [](QWidget* parent, const QString& text) {
        QMessageBox::critical(parent, QStringLiteral("Cantorix"), text);
    };
    return p;
}
} // namespace

void setErrorPresenter(ErrorPresenter p) {
    presenter() = std::move(p);
}

void presentError(QWidget* parent, const QString& text) {
    presenter()(parent, text);
}

void presentNotice(QWidget* parent, const QString& text) {
    auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Cantorix"), text,
                                QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

QString describeException(std::exception_ptr error) {
    try {
        std::rethrow_exception(std::move(error));
    } catch (const std::bad_alloc&) {
        return QStringLiteral("There is not enough memory to finish this operation.");
    } catch (const std::filesystem::filesystem_error& e) {
        QString reason = QString::fromStdString(e.code().message());
        if (e.path1().empty())
            return reason;
        return QStringLiteral("\"%1\" cannot be used: %2")
            .arg(QString::fromStdString(e.path1().string()), reason);
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("An unexpected error occurred.");
    }
}

void reportStartupFailure(QWidget* parent, const QString& text) {
    std::cerr << "cantorix: " << text.toStdString() << std::endl;
    presentError(parent, text);
}

void runGuarded(QWidget* parent, const std::function<void()>& handler) {
    try {
        handler();
    } catch (...) {
        presentError(parent, describeException(std::current_exception()));
    }
}

bool GuardedApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        presentError(nullptr, describeException(std::current_exception()));
        return false;
    }
}

} // namespace cantorix::app
