#include "app/error_guard.h"

#include <QEvent>
#include <QObject>
#include <filesystem>
#include <gtest/gtest.h>
#include <new>
#include <stdexcept>
#include <system_error>

using namespace cantorix::app;

namespace {

template <class E> QString shownFor(E error) {
    QString shown;
    setErrorPresenter([&](QWidget*, const QString& text) { shown = text; });
    runGuarded(nullptr, [&] { throw error; });
    return shown;
}

TEST(ErrorGuardTest, EveryKindOfFailureIsShownInWordsAPlayerCanRead) {
    namespace fs = std::filesystem;
    EXPECT_EQ(shownFor(std::runtime_error("Unable to open port")), "Unable to open port");
    EXPECT_EQ(shownFor(std::bad_alloc()), "There is not enough memory to finish this operation.");
    EXPECT_EQ(shownFor(fs::filesystem_error("cannot list the folder", "/songs",
                                            std::make_error_code(std::errc::permission_denied))),
              "\"/songs\" cannot be used: Permission denied");
    EXPECT_EQ(shownFor(42), "An unexpected error occurred.");
}

class ThrowingObject : public QObject {
public:
    bool event(QEvent*) override { throw std::runtime_error("sample rate conversion failed"); }
};

TEST(ErrorGuardTest, AnExceptionOutOfAnUnguardedEventHandlerIsShownNotFatal) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "app_tests";
    char* argv[] = {name, nullptr};
    GuardedApplication application(argc, argv);
    QString shown;
    setErrorPresenter([&](QWidget*, const QString& text) { shown = text; });
    ThrowingObject object;
    QEvent event(QEvent::User);
    EXPECT_FALSE(QCoreApplication::sendEvent(&object, &event));
    EXPECT_EQ(shown, "sample rate conversion failed");
}

} // namespace
