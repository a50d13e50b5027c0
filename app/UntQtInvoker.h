// Synchronous steps onto the Qt user-interface thread that can be called off at program exit.
#pragma once

#include "pipeline/UntSyncInvoker.h"

#include <QObject>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

class TQtInvoker final : public TSyncInvoker {
public:
    // Made on the user-interface thread, where context lives; steps run there.
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
    // Which thread calls is asked of the standard library, not of Qt: Qt would adopt every worker
    // thread that asks and tear that down on a thread of its own, racing the program's exit.
    std::thread::id uiThread_;
    std::shared_ptr<TShared> shared_;
};
