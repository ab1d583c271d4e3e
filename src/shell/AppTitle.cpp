#include "shell/Main.h"

namespace Main {

namespace {

// The product name, also the window caption.
constexpr auto kProductName = u"Corvantis";
constexpr qsizetype kMaxTitleLength = 40;

QString &titleStorage()
{
    // Until SetAppTitle runs (start-up calls it after ApplySkin, whose errors
    // are already reported in message boxes) the title is the same text.
    static QString title = shortTitle(QString::fromUtf16(kProductName));
    return title;
}

} // namespace

QString shortTitle(const QString &productName)
{
    QString title = productName;
    while (title.size() > kMaxTitleLength) {
        const qsizetype space = title.lastIndexOf(u' ');
        if (space < 0)
            break; // one word longer than the limit stays whole
        title.truncate(space);
    }
    return title;
}

void SetAppTitle()
{
    titleStorage() = shortTitle(QString::fromUtf16(kProductName));
}

const QString &appTitle()
{
    return titleStorage();
}

} // namespace Main
