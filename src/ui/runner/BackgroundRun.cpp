#include "runner/BackgroundRun.h"

#include <exception>
#include <memory>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFutureWatcher>
#include <QProgressDialog>
#include <QTextDocument>
#include <QThread>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

#include "pane/PaneText.h"
#include "pane/RichTextBox.h"

namespace {

constexpr int kShowAfterMs = 500;
constexpr int kTickMs = 100;

} // namespace

void runInBackground(QWidget *window, const QString &label, Compare::Progress &progress,
                     const std::function<void()> &work)
{
    std::exception_ptr failure;
    QFutureWatcher<void> watcher;
    QEventLoop loop;
    QObject::connect(&watcher, &QFutureWatcherBase::finished, &loop, &QEventLoop::quit);
    watcher.setFuture(QtConcurrent::run([&work, &failure] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
    }));

    QElapsedTimer clock;
    clock.start();
    std::unique_ptr<QProgressDialog> dialog;
    QTimer tick;
    tick.setInterval(kTickMs);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        if (!dialog && clock.elapsed() >= kShowAfterMs) {
            dialog = std::make_unique<QProgressDialog>(label, QString(), 0, 100, window);
            dialog->setWindowModality(Qt::WindowModal);
            dialog->setMinimumDuration(0);
            dialog->setAutoClose(false);
            dialog->show();
        }
        if (dialog && progress.total.load() == 0)
            dialog->setRange(0, 0); // nothing to count: a busy bar
        else if (dialog)
            dialog->setValue(progress.percent());
    });
    tick.start();
    if (!watcher.isFinished())
        loop.exec();
    // Quitting the application ends every event loop early; the work must
    // still finish before its data goes away.
    watcher.waitForFinished();
    tick.stop();
    dialog.reset();
    if (failure)
        std::rethrow_exception(failure);
}

void fillPane(QWidget *window, const QString &label, RichTextBox &pane,
              const std::function<QString(Compare::Progress &)> &makeText)
{
    QThread *windowThread = pane.thread();
    std::unique_ptr<QTextDocument> document;
    Compare::Progress progress;
    runInBackground(window, label, progress, [&] {
        document = PaneText::buildDocument(makeText(progress), windowThread);
    });
    pane.adoptDocument(std::move(document));
}
