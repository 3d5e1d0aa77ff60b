#include "qt_main_thread_invoker.h"

#include <QMetaObject>
#include <utility>

namespace cantorix::app {

void QtMainThreadInvoker::post(std::function<void()> task) {
    QMetaObject::invokeMethod(&m_receiver, std::move(task), Qt::QueuedConnection);
}

} // namespace cantorix::app
