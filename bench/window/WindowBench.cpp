// The window's commands on two large files, from the user's action to all
// four panes filled and coloured: loading, "Find Differences (Lines)" and
// "Find Differences (Words)".
#include <cstdio>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>

#include "BenchSupport.h"
#include "window/Form1.h"
#include "dialogs/Dialogs.h"
#include "pane/RichTextBox.h"
#include "settings/SettingsBackend.h"

namespace {

// Nothing to ask during a benchmark: any message is printed and answered No.
class SilentDialogs final : public Platform::Dialogs
{
public:
    Platform::Answer messageBox(const Platform::MessageRequest &request) override
    {
        std::printf("message: %s\n", qPrintable(request.text));
        return Platform::Answer::No;
    }
    QString fileDialog(const Platform::FileDialogRequest &) override { return {}; }
    void openFolder(const QString &) override {}
};

double timeMs(const std::function<void()> &work)
{
    QElapsedTimer clock;
    clock.start();
    work();
    QApplication::processEvents();
    return double(clock.nsecsElapsed()) / 1e6;
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

    const double load1 = timeMs([&] { form.loadDroppedFiles(1, {file1}); });
    const double load2 = timeMs([&] { form.loadDroppedFiles(2, {file2}); });
    std::printf("files: %lld and %lld lines\n",
                qlonglong(form.RichTextBox1->lineCount()),
                qlonglong(form.RichTextBox2->lineCount()));
    std::printf("load file #1 and show it    %8.0f ms\n", load1);
    std::printf("load file #2 and show it    %8.0f ms\n", load2);

    const double lines = timeMs([&] { form.PushButton1_Click(); });
    std::printf("Find Differences (Lines)    %8.0f ms   (target < 3000)  results: %lld + %lld lines\n",
                lines, qlonglong(form.RichTextBox3->lineCount() - 1),
                qlonglong(form.RichTextBox4->lineCount() - 1));
    const double words = timeMs([&] { form.PushButton6_Click(); });
    std::printf("Find Differences (Words)    %8.0f ms   (target < 3000)  results: %lld + %lld words\n",
                words, qlonglong(form.RichTextBox3->lineCount() - 1),
                qlonglong(form.RichTextBox4->lineCount() - 1));
    std::printf("peak memory                 %8.0f MiB\n", Bench::peakRssMiB());
    return 0;
}
