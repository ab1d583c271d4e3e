// How a pane copes with a 1,000,000-line text and 100,000 coloured ranges:
// set the text, colour the ranges, read the text back, scroll to the end.
#include <cstdio>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QScrollBar>
#include <QTemporaryDir>

#include "BenchSupport.h"
#include "pane/RichTextBox.h"
#include "text/TextDecoding.h"

namespace {

QString makeText(int lines)
{
    QString text;
    text.reserve(qsizetype(lines) * 62);
    for (int i = 0; i < lines; ++i)
        text += QStringLiteral("%1,Customer %2,Street %3,City %4,12.50,EUR,active\r\n")
                    .arg(i, 7, 10, QChar(u'0'))
                    .arg(i % 977)
                    .arg(i % 313)
                    .arg(i % 97);
    return text;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    constexpr int kLines = 1000000;
    constexpr int kRanges = 100000;
    QString text = makeText(kLines);
    std::printf("pane text: %d lines, %.1f MB as UTF-8\n", kLines, double(text.size()) / 1e6);

    Compare::ColourRanges ranges;
    const qsizetype lineLength = text.indexOf(u'\n') + 1;
    for (int i = 0; i < kRanges; ++i)
        ranges.push_back({qsizetype(i) * 10 * lineLength, lineLength});

    // The same text as a UTF-8 file, loaded as "Load CSV File" loads it.
    QTemporaryDir folder;
    QFile file(folder.filePath(QStringLiteral("big.csv")));
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0)
        return 2;
    file.close();
    RichTextBox pane(QStringLiteral("bench"));
    pane.resize(224, 289);
    pane.show();
    QApplication::processEvents();

    const double set = Bench::medianMs([&] {
        pane.setText(text);
        QApplication::processEvents();
    });
    double colour = 0;
    double reset = 0;
    for (int run = 0; run < 3; ++run) {
        reset += Bench::medianMs([&] { pane.colourAll(kBlack); }, 1) / 3;
        colour += Bench::medianMs([&] { pane.colourRanges(ranges, kRed); }, 1) / 3;
    }
    // Keep only a fingerprint of the text, so the memory figure is the pane's.
    const size_t fingerprint = qHash(text);
    const qsizetype size = text.size();
    text = QString();
    const double withPane = Bench::currentRssMiB();
    QString back;
    const double read = Bench::medianMs([&] { back = pane.text(); });
    const double scroll = Bench::medianMs([&] {
        pane.verticalScrollBar()->setValue(0);
        QApplication::processEvents();
        pane.verticalScrollBar()->setValue(pane.verticalScrollBar()->maximum());
        pane.repaint();
    });
    pane.setText(QString());
    RichTextBox loaded(QStringLiteral("loaded"));
    loaded.resize(224, 289);
    loaded.show();
    const double load = Bench::medianMs([&] {
        loaded.setText(Files::loadFileText(file.fileName()));
        loaded.appendText(QStringLiteral("\r"));
        QApplication::processEvents();
    });
    loaded.setText(QString());

    std::printf("set text        %8.0f ms   (target <= 4000)\n", set);
    std::printf("load the text from a %.0f MB UTF-8 file and show it %6.0f ms\n",
                double(file.size()) / 1e6, load);
    std::printf("colour 100k     %8.0f ms   (target <= 1000)\n", colour);
    std::printf("all back black  %8.0f ms\n", reset);
    std::printf("read text       %8.0f ms   (target <= 500)\n", read);
    std::printf("scroll to end   %8.1f ms   (target <= 100)\n", scroll);
    const bool same = back.size() == size && qHash(back) == fingerprint;
    std::printf("text read back exactly: %s\n", same ? "yes" : "NO");
    std::printf("memory with the coloured 1M-line pane %6.0f MiB  (target <= 700)\n", withPane);
    std::printf("peak memory (also the bench's own copies) %6.0f MiB\n", Bench::peakRssMiB());
    return same ? 0 : 1;
}
