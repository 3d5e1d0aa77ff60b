#pragma once
// The one guard between Qt and the game: every event handler, timer and menu action of the game
// runs inside guarded(), which shows an exception's message in a message box and ends that
// operation there, so the program goes on. Main thread only.

#include <QApplication>
#include <QString>
#include <QWidget>
#include <exception>
#include <functional>
#include <type_traits>
#include <utility>

namespace cantorix::app {

// Shows text the way the game reports a failure. Tests replace the presenter so no modal box
// blocks them; the product uses a message box.
using ErrorPresenter = std::function<void(QWidget* parent, const QString& text)>;
void setErrorPresenter(ErrorPresenter presenter);
void presentError(QWidget* parent, const QString& text);
// The same text in a box that does not hold up the caller: start-up goes on behind it.
void presentNotice(QWidget* parent, const QString& text);

// The text a failure is shown with: the game's own messages as they are; the standard library's
// (out of memory, a file system error) in words a player can act on.
QString describeException(std::exception_ptr error);

// A failure that ends the start-up: written to standard error as well, since it may come before
// any window shows and a player who started the game from a terminal looks there.
void reportStartupFailure(QWidget* parent, const QString& text);

void runGuarded(QWidget* parent, const std::function<void()>& handler);

// The game's application object. Qt cannot carry an exception out of an event handler, so one
// that escapes a handler no guard wraps (a paint, a show, a close) is shown here like a guarded
// one instead of ending the program.
class GuardedApplication : public QApplication {
public:
    GuardedApplication(int& argc, char** argv) : QApplication(argc, argv) {}
    bool notify(QObject* receiver, QEvent* event) override;
};

namespace detail {
// Calls f with the arguments it takes: all of them, or none.
template <class F, class... A> void callWithWhatItTakes(const F& f, A&... args) {
    if constexpr (std::is_invocable_v<const F&, A&...>)
        f(args...);
    else
        f();
}
} // namespace detail

// Wraps a handler for a signal connection. Signal arguments the handler does not take (a
// QAction's checked flag, say) are dropped. Constrained, so that Qt's probe of how many
// arguments a slot takes meets a slot that cannot be called, not a body that cannot compile.
template <class F> auto guarded(QWidget* parent, F handler) {
    return [ parent, handler = std::move(handler) ](
        auto&&... args) requires std::is_invocable_v<const F&, decltype(args)&...> ||
        std::is_invocable_v<const F&> {
        runGuarded(parent, [&] { detail::callWithWhatItTakes(handler, args...); });
    };
}

} // namespace cantorix::app
