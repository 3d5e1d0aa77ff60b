#pragma once
// The one guard between Qt and the game: every event handler, timer and menu action of the game
// runs inside guarded(), which shows an exception's message in a message box and ends that
// operation there, so the program goes on. Main thread only.

#include <QString>
#include <QWidget>

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

void runGuarded(QWidget* parent, const std::function<void()>& handler);

// Wraps a handler for a signal connection. Signal arguments the handler does not take (a
// QAction's checked flag, say) are dropped.
template <class F> auto guarded(QWidget* parent, F handler) {
    // The choice is made outside the guarded call: clang cannot see a pack captured into it.
    return [parent, handler = std::move(handler)](auto&&... args) {
        if constexpr (std::is_invocable_v<const F&, decltype(args)...>)
            runGuarded(parent, [&] { handler(args...); });
        else
            runGuarded(parent, [&] { handler(); });
    };
}

} // namespace cantorix::app
