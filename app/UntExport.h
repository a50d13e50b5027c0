// The save button's export of both views to a report file.
//
// The snapshot of the views is taken on the user-interface thread (texts and paths only, so it
// is quick and consistent); the digests, the text and the writing run on a worker thread while a
// progress dialog, modal to the window, offers Cancel. The exporter returns to the event loop
// at once: events keep arriving in the views meanwhile, and go into the next report, not this one.
#pragma once

#include "pipeline/UntExportReport.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

class QDialog;
class QTimer;
class QWidget;

enum class TExportResult { Written, Failed, Cancelled };

// What the export asks of the user. All calls on the user-interface thread.
class TExportUi {
public:
    virtual ~TExportUi() = default;
    // The file name chosen, as the dialog gives it; nothing when the dialog was cancelled.
    virtual std::optional<QString> askFileName(QWidget* owner) = 0;
    virtual void showSuccess(QWidget* owner, const QString& text) = 0;
    virtual void showFailure(QWidget* owner, const QString& text) = 0;
    // The progress display of one export; cancel may be called until endProgress.
    virtual void beginProgress(QWidget* owner, std::size_t total, std::function<void()> cancel) = 0;
    virtual void showProgress(std::size_t done, std::size_t total) = 0;
    // Removes the display at once: the message box that follows runs its own event loop, and
    // nothing of the progress may show itself over it.
    virtual void endProgress() = 0;
};

// The save dialog (default extension "txt", no filter, no question before replacing a file), the
// two message boxes and a window-modal progress dialog with Cancel.
class TQtExportUi final : public TExportUi {
public:
    // An export that ends within progressDelay shows no progress at all.
    explicit TQtExportUi(std::chrono::milliseconds progressDelay = std::chrono::milliseconds(500))
        : progressDelay_(progressDelay)
    {
    }
    std::optional<QString> askFileName(QWidget* owner) override;
    void showSuccess(QWidget* owner, const QString& text) override;
    void showFailure(QWidget* owner, const QString& text) override;
    void beginProgress(QWidget* owner, std::size_t total, std::function<void()> cancel) override;
    void showProgress(std::size_t done, std::size_t total) override;
    void endProgress() override;

private:
    QString lastFolder_;
    std::chrono::milliseconds progressDelay_;
    // Deleted in endProgress, with the timer that would show it: nothing of it outlives the export.
    QPointer<QDialog> progress_;
};

QString exportSuccessText(const QString& fileName);
QString exportFailureText();

class TReportExporter final : public QObject {
    Q_OBJECT
public:
    explicit TReportExporter(QWidget* owner, std::unique_ptr<TExportUi> ui = std::make_unique<TQtExportUi>(),
                             TDigester digester = existingFileDigest);
    // Cancels a running export and waits for its worker: at most the file being digested.
    ~TReportExporter() override;

    // The save button: asks for a file name and starts the export. False when nothing was
    // started: the dialog was cancelled, the name was blank, or an export is still running.
    bool start(const TEventTree& tree, const TEventList& list, const std::string& caption);
    bool isRunning() const { return job_ != nullptr; }
    // Stops a running export; nothing is written unless the writing has already begun.
    void cancel();

signals:
    // After the message box, once the export is over.
    void finished(TExportResult result);

private:
    struct TJob;
    void showProgress();
    void finish(TExportResult result);

    QWidget* owner_;
    std::unique_ptr<TExportUi> ui_;
    TDigester digester_;
    std::shared_ptr<TJob> job_;
    std::thread worker_;
    QTimer* progressTimer_;
};
