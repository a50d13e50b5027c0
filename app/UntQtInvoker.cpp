#include "app/UntQtInvoker.h"

#include <QMetaObject>
#include <QThread>

TQtInvoker::TQtInvoker(QObject* context)
    : context_(context), uiThread_(std::this_thread::get_id()), shared_(std::make_shared<TShared>())
{
    Q_ASSERT(QThread::currentThread() == context->thread());
}

TQtInvoker::~TQtInvoker()
{
    close();
}

void TQtInvoker::synchronize(const std::function<void()>& step)
{
    if (std::this_thread::get_id() == uiThread_) {
        if (std::lock_guard lock(shared_->mutex); shared_->closed)
            throw TSyncClosed();
        step();
        return;
    }

    // One call's state; the queued functor keeps it alive even if this caller has given up.
    struct TCall {
        std::function<void()> step;
        bool done = false;
        std::exception_ptr failure;
    };
    auto call = std::make_shared<TCall>();
    call->step = step;
    auto shared = shared_;
    {
        std::lock_guard lock(shared->mutex);
        if (shared->closed)
            throw TSyncClosed();
    }
    QMetaObject::invokeMethod(
        context_,
        [call, shared] {
            {
                std::lock_guard lock(shared->mutex);
                if (shared->closed)
                    return;
            }
            try {
                call->step();
            } catch (...) {
                call->failure = std::current_exception();
            }
            std::lock_guard lock(shared->mutex);
            call->done = true;
            shared->changed.notify_all();
        },
        Qt::QueuedConnection);

    std::unique_lock lock(shared->mutex);
    shared->changed.wait(lock, [&] { return call->done || shared->closed; });
    if (!call->done)
        throw TSyncClosed();
    if (call->failure)
        std::rethrow_exception(call->failure);
}

void TQtInvoker::close()
{
    std::lock_guard lock(shared_->mutex);
    shared_->closed = true;
    shared_->changed.notify_all();
}
