#include "app/UntExport.h"

#include "util/UntText.h"
#include "util/UntTextFile.h"

#include <QDialog>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <atomic>
#include <climits>

namespace {

const QString kExportCaption = QStringLiteral("Exportation");

// A progress bar holds an int; very large counts are scaled down to fit.
int barValue(std::size_t value, std::size_t total)
{
    if (total <= static_cast<std::size_t>(INT_MAX))
        return static_cast<int>(value);
    return static_cast<int>(static_cast<double>(value) / static_cast<double>(total) * INT_MAX);
}

// The export's progress. It shows itself once the export has lasted the delay (its timer is its
// child, so deleting the dialog also stops it), and never runs an event loop of its own, so it
// can be deleted at once from any handler. Cancel, Escape and the close box only ask the export
// to stop; the dialog stays until the export has ended.
class TExportProgressDialog final : public QDialog {
public:
    TExportProgressDialog(QWidget* owner, int maximum, std::function<void()> cancel, std::chrono::milliseconds delay)
        : QDialog(owner), cancel_(std::move(cancel))
    {
        setWindowTitle(kExportCaption);
        setWindowModality(Qt::WindowModal);
        setMinimumWidth(320);
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(new QLabel(QStringLiteral("Exporting data..."), this));
        bar_ = new QProgressBar(this);
        bar_->setRange(0, maximum);
        bar_->setValue(0);
        layout->addWidget(bar_);
        button_ = new QPushButton(QStringLiteral("Cancel"), this);
        layout->addWidget(button_, 0, Qt::AlignRight);
        connect(button_, &QPushButton::clicked, this, &TExportProgressDialog::reject);
        auto* timer = new QTimer(this);
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
        connect(timer, &QTimer::timeout, this, &QWidget::show);
        timer->start(delay);
    }

    void setValue(int value) { bar_->setValue(value); }

    void reject() override
    {
        if (!cancel_)
            return;
        button_->setEnabled(false);
        const std::function<void()> cancel = std::move(cancel_);
        cancel_ = nullptr;
        cancel();
    }

private:
    std::function<void()> cancel_;
    QProgressBar* bar_ = nullptr;
    QPushButton* button_ = nullptr;
};

} // namespace

QString exportSuccessText(const QString& fileName)
{
    return QStringLiteral("Data successfully exported to ") + QStringLiteral("\r\n") + fileName;
}

QString exportFailureText()
{
    return QStringLiteral("We were not able to export data to the location you chose. Are you sure you have access "
                          "to this location from your administrator?");
}

std::optional<QString> TQtExportUi::askFileName(QWidget* owner)
{
    QFileDialog dialog(owner);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (!lastFolder_.isEmpty())
        dialog.setDirectory(lastFolder_);
    dialog.selectFile(QString());
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    lastFolder_ = dialog.directory().absolutePath();
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? QString() : files.first();
}

void TQtExportUi::showSuccess(QWidget* owner, const QString& text)
{
    QMessageBox box(QMessageBox::Information, kExportCaption, text, QMessageBox::Ok, owner);
    box.exec();
}

void TQtExportUi::showFailure(QWidget* owner, const QString& text)
{
    QMessageBox box(QMessageBox::Critical, kExportCaption, text, QMessageBox::Ok, owner);
    box.exec();
}

void TQtExportUi::beginProgress(QWidget* owner, std::size_t total, std::function<void()> cancel)
{
    endProgress();
    progress_ = new TExportProgressDialog(owner, barValue(total, total), std::move(cancel), progressDelay_);
}

void TQtExportUi::showProgress(std::size_t done, std::size_t total)
{
    if (progress_)
        static_cast<TExportProgressDialog*>(progress_.data())->setValue(barValue(done, total));
}

void TQtExportUi::endProgress()
{
    delete progress_.data();
}

// Everything the worker reads is its own: the snapshot is a copy of the views' texts.
struct TReportExporter::TJob {
    TReportSnapshot snapshot;
    std::string fileName;
    TDigester digester;
    std::size_t total = 0;
    std::atomic<std::size_t> done{0};
    std::atomic<bool> cancelled{false};
};

TReportExporter::TReportExporter(QWidget* owner, std::unique_ptr<TExportUi> ui, TDigester digester)
    : QObject(owner), owner_(owner), ui_(std::move(ui)), digester_(std::move(digester)),
      progressTimer_(new QTimer(this))
{
    progressTimer_->setInterval(100);
    connect(progressTimer_, &QTimer::timeout, this, &TReportExporter::showProgress);
}

TReportExporter::~TReportExporter()
{
    if (job_)
        job_->cancelled = true;
    // The worker's last act is to post its result to this object; Qt drops it with the object.
    if (worker_.joinable())
        worker_.join();
    if (job_)
        ui_->endProgress();
}

bool TReportExporter::start(const TEventTree& tree, const TEventList& list, const std::string& caption)
{
    if (job_)
        return false;
    const std::optional<QString> name = ui_->askFileName(owner_);
    if (!name || isBlank(name->toStdString()))
        return false;

    auto job = std::make_shared<TJob>();
    job->snapshot = takeReportSnapshot(tree, list, caption);
    job->fileName = name->toStdString();
    job->digester = digester_;
    job->total = digester_ ? digestibleCount(job->snapshot) : 0;
    job_ = job;
    ui_->beginProgress(owner_, job->total, [this] { cancel(); });
    progressTimer_->start();
    try {
        worker_ = std::thread([this, job] {
            TExportResult result = TExportResult::Failed;
            try {
                const std::optional<std::string> text = buildReportText(
                    job->snapshot, job->digester,
                    [&job](std::size_t done, std::size_t) {
                        job->done = done;
                        return !job->cancelled;
                    },
                    &job->cancelled);
                if (!text || job->cancelled)
                    result = TExportResult::Cancelled;
                else if (saveTextToFile(job->fileName, *text))
                    result = TExportResult::Written;
            } catch (const std::exception&) {
                result = TExportResult::Failed;
            }
            QMetaObject::invokeMethod(
                this, [this, result] { finish(result); }, Qt::QueuedConnection);
        });
    } catch (const std::system_error&) {
        finish(TExportResult::Failed);
    }
    return true;
}

void TReportExporter::cancel()
{
    if (job_)
        job_->cancelled = true;
}

void TReportExporter::showProgress()
{
    if (job_)
        ui_->showProgress(job_->done, job_->total);
}

void TReportExporter::finish(TExportResult result)
{
    if (worker_.joinable())
        worker_.join();
    progressTimer_->stop();
    ui_->endProgress();
    const QString fileName = QString::fromStdString(job_->fileName);
    job_.reset();
    if (result == TExportResult::Written)
        ui_->showSuccess(owner_, exportSuccessText(fileName));
    else if (result == TExportResult::Failed)
        ui_->showFailure(owner_, exportFailureText());
    emit finished(result);
}
