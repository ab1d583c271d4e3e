// Pictures of the text panes for a review of their look: a 50 MB line
// scrolled to its middle (once measured) with red words, and Chinese, Japanese and Arabic
// text. Each pane is shown in the window's layout size and saved as a PNG.
//
// Usage: bench_pane_shots OUTPUT_FOLDER
#include <cstdio>

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QScrollBar>
#include <QTest>

#include "pane/RichTextBox.h"
#include "text/PaneBytes.h"

namespace {

void save(RichTextBox &pane, const QDir &folder, const QString &name)
{
    pane.show();
    if (!QTest::qWaitForWindowExposed(&pane))
        std::fprintf(stderr, "the pane did not show\n");
    QTest::qWait(200);
    const QString path = folder.filePath(name);
    pane.grab().save(path);
    std::printf("%s: %lld characters laid out so far\n", qPrintable(path),
                qlonglong(pane.charactersLaidOut()));
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_pane_shots OUTPUT_FOLDER\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(9);

    // One line of 50 MB: words of a few letters, every tenth of them red.
    constexpr qsizetype kSize = 50'000'000;
    QByteArray line;
    line.reserve(kSize + 2);
    std::vector<Compare::ColourRange> red;
    for (qint64 word = 0; line.size() < kSize; ++word) {
        const QByteArray text = "w" + QByteArray::number(word % 100000) + " ";
        if (word % 10 == 3)
            red.push_back({line.size(), text.size() - 1});
        line += text;
    }
    line += "\r\n";
    RichTextBox longPane(QStringLiteral("RichTextBox1"));
    longPane.setFont(font);
    longPane.resize(480, 240);
    longPane.setBytes(line);
    longPane.colourByteRanges(red, kRed);
    longPane.show();
    if (!QTest::qWaitForWindowExposed(&longPane))
        std::fprintf(stderr, "the pane did not show\n");
    longPane.waitForWidths();
    longPane.setXOffset(longPane.horizontalScrollBar()->maximum() / 2);
    longPane.setSelection(kSize / 2, kSize / 2 + 40);
    longPane.setFocus();
    save(longPane, folder, QStringLiteral("pane-50mb-line-middle.png"));

    const QString scripts =
        QStringLiteral("id,name,city\r\n"
                       "1,\u5F20\u4F1F,\u5317\u4EAC\u5E02\u671D\u9633\u533A\r\n"
                       "2,\u5C71\u7530\u592A\u90CE,\u6771\u4EAC\u90FD\u65B0\u5BBF\u533A\r\n"
                       "3,\u0645\u062D\u0645\u062F "
                       "\u0623\u062D\u0645\u062F,\u0627\u0644\u0642\u0627\u0647\u0631\u0629\r\n"
                       "4,\u0633\u0627\u0631\u0629 \u0639\u0644\u064A,\u062F\u0628\u064A (UAE)\r\n"
                       "5,Zo\u00EB M\u00FCller,Z\u00FCrich\r\n");
    RichTextBox scriptPane(QStringLiteral("RichTextBox2"));
    scriptPane.setFont(font);
    scriptPane.resize(480, 180);
    scriptPane.setText(scripts);
    // A red mark in the Chinese and in the Arabic line.
    const qsizetype han = scripts.indexOf(QStringLiteral("\u671D\u9633"));
    const qsizetype arabic = scripts.indexOf(QStringLiteral("\u0623\u062D\u0645\u062F"));
    scriptPane.colourRanges({{han, 2}, {arabic, 4}}, kRed);
    save(scriptPane, folder, QStringLiteral("pane-cjk-arabic.png"));
    return 0;
}
