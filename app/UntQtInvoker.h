// Synchronous steps onto the Qt user-interface thread that can be called off at program exit.
#pragma once

#include "pipeline/UntSyncInvoker.h"

#include <QObject>

#include <condition_variable>
#include <memory>
#include <mutex>

class TQtInvoker final : public TSyncInvoker {
public:
    // context lives on the user-interface thread; steps run there.
    explicit TQtInvoker(QObject* context);
    ~TQtInvoker() override;

    // On the user-interface thread the step runs at once; elsewhere it is queued and waited for.
    void synchronize(const std::function<void()>& step) override;

    // User-interface thread, before joining background threads at exit: every waiting and later
    // synchronize throws TSyncClosed, and queued steps that have not run yet never run.
    void close();

private:
    struct TShared {
        std::mutex mutex;
        std::condition_variable changed;
        bool closed = false;
    };
    QObject* context_;
    std::shared_ptr<TShared> shared_;
};
