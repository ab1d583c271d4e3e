// The window's commands on two large files, from the user's action to all
// four panes filled and coloured: loading, "Find Differences (Lines)", F7
// with its count of the marks, "Save Results #1" and "Find Differences
// (Words)". For each, the longest stall of the window's thread: the largest
// gap between the ticks of a 10 ms timer on it.
#include <algorithm>
#include <cstdio>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include "BenchSupport.h"
#include "dialogs/Dialogs.h"
#include "pane/RichTextBox.h"
#include "settings/SettingsBackend.h"
#include "window/Form1.h"

namespace {

// Nothing to ask during a benchmark: any message is printed and answered No;
// a file dialog is answered with `fileName`.
class SilentDialogs final : public Platform::Dialogs
{
public:
    Platform::Answer messageBox(const Platform::MessageRequest &request) override
    {
        std::printf("message: %s\n", qPrintable(request.text));
        return Platform::Answer::No;
    }
    QString fileDialog(const Platform::FileDialogRequest &) override { return fileName; }
    void openFolder(const QString &) override {}

    QString fileName;
};

// Watches the window's thread: a timer that should tick every 10 ms, and the
// largest gap seen between two ticks (or the start, or the end of the work).
class StallWatch
{
public:
    StallWatch()
    {
        m_timer.setInterval(10);
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { tick(); });
        m_clock.start();
        m_timer.start();
    }

    // Runs one piece of work, giving its time and its longest stall in ms.
    std::pair<double, double> measure(const std::function<void()> &work)
    {
        QApplication::processEvents();
        m_worst = 0;
        m_last = m_clock.nsecsElapsed();
        const qint64 start = m_last;
        work();
        QApplication::processEvents(); // the panes paint
        tick();
        return {double(m_clock.nsecsElapsed() - start) / 1e6, double(m_worst) / 1e6};
    }

private:
    void tick()
    {
        const qint64 now = m_clock.nsecsElapsed();
        m_worst = std::max(m_worst, now - m_last);
        m_last = now;
    }

    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_worst = 0;
};

// Resident memory now, in MiB.
double currentRssMiB()
{
    QFile status(QStringLiteral("/proc/self/statm"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = status.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * 4096 / (1 << 20) : 0;
}

void report(const char *what, std::pair<double, double> figures, const QString &extra = {})
{
    std::printf("%-28s %8.0f ms   longest stall %5.0f ms  now %4.0f MiB  %s\n", what, figures.first,
                figures.second, currentRssMiB(), qPrintable(extra));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QDir data(Bench::dataFolder(argc, argv));
    const QString file1 = data.filePath(QStringLiteral("file1.csv"));
    const QString file2 = data.filePath(QStringLiteral("file2.csv"));

    SilentDialogs dialogs;
    Platform::MemorySettingsBackend settings;
    Form1 form(dialogs, settings, ProgramFolder(QCoreApplication::applicationDirPath()));
    form.Form_Load();
    form.show();
    QApplication::processEvents();
    StallWatch watch;

    const auto load1 = watch.measure([&] { form.loadDroppedFiles(1, {file1}); });
    const auto load2 = watch.measure([&] { form.loadDroppedFiles(2, {file2}); });
    std::printf("files: %lld and %lld lines\n", qlonglong(form.RichTextBox1->lineCount()),
                qlonglong(form.RichTextBox2->lineCount()));
    report("load file #1 and show it", load1);
    report("load file #2 and show it", load2);

    const auto lines = watch.measure([&] { form.PushButton1_Click(); });
    report("Find Differences (Lines)", lines,
           QStringLiteral("results: %1 + %2 lines")
               .arg(form.RichTextBox3->lineCount() - 1)
               .arg(form.RichTextBox4->lineCount() - 1));
    const auto next = watch.measure([&] { form.moveToRedMark(true, form.RichTextBox1); });
    report("F7 with its count", next);

    // Saved beside the data, then removed.
    const QTemporaryDir saveFolder(data.filePath(QStringLiteral("save-XXXXXX")));
    dialogs.fileName = QDir(saveFolder.path()).filePath(QStringLiteral("results1.txt"));
    const auto save = watch.measure([&] { form.PushButton2_Click(); });
    report("Save Results #1", save,
           QStringLiteral("%1 MB written").arg(QFileInfo(dialogs.fileName).size() / 1000000));
    dialogs.fileName.clear();

    const auto words = watch.measure([&] { form.PushButton6_Click(); });
    report("Find Differences (Words)", words,
           QStringLiteral("results: %1 + %2 words")
               .arg(form.RichTextBox3->lineCount() - 1)
               .arg(form.RichTextBox4->lineCount() - 1));
    std::printf("peak memory                  %8.0f MiB\n", Bench::peakRssMiB());
    return 0;
}
