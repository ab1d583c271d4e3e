#include "base/Main.h"
#include "base/Product.h"

namespace Main {

namespace {

constexpr qsizetype kMaxTitleLength = 40;

QString &titleStorage()
{
    // Until SetAppTitle runs (start-up calls it after ApplySkin, whose errors
    // are already reported in message boxes) the title is the same text.
    static QString title = shortTitle(Product::kName);
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
    titleStorage() = shortTitle(Product::kName);
}

const QString &appTitle()
{
    return titleStorage();
}

} // namespace Main
