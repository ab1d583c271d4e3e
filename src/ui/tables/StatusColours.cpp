#include "tables/StatusColours.h"

#include <cmath>

namespace Tables {

namespace {

double luminance(const QColor &colour)
{
    const auto channel = [](double c) {
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF())
           + 0.0722 * channel(colour.blueF());
}

bool isDark(const QPalette &palette)
{
    return luminance(palette.color(QPalette::Base)) < 0.25;
}

QColor mixed(const QColor &base, const QColor &tint, double amount)
{
    return QColor::fromRgbF(float(base.redF() + (tint.redF() - base.redF()) * amount),
                            float(base.greenF() + (tint.greenF() - base.greenF()) * amount),
                            float(base.blueF() + (tint.blueF() - base.blueF()) * amount));
}

// The tint laid over the base as strongly as the text allows.
QColor readableTint(const QPalette &palette, const QColor &tint, double amount)
{
    const QColor base = palette.color(QPalette::Base);
    const QColor text = palette.color(QPalette::Text);
    for (; amount > 0.01; amount *= 0.8) {
        const QColor colour = mixed(base, tint, amount);
        if (contrastRatio(colour, text) >= 4.5)
            return colour;
    }
    return base;
}

} // namespace

double contrastRatio(const QColor &a, const QColor &b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor statusBackground(Status status, const QPalette &palette)
{
    const double amount = isDark(palette) ? 0.40 : 0.22;
    switch (status) {
    case Status::Removed:
        return readableTint(palette, QColor(220, 40, 40), amount);
    case Status::Added:
        return readableTint(palette, QColor(40, 170, 60), amount);
    case Status::Changed:
        return readableTint(palette, QColor(230, 170, 20), amount);
    case Status::Duplicate:
        return readableTint(palette, QColor(150, 60, 200), amount);
    case Status::Unchanged:
        break;
    }
    return palette.color(QPalette::Base);
}

QColor differenceBackground(const QPalette &palette)
{
    return readableTint(palette, QColor(240, 140, 0), isDark(palette) ? 0.65 : 0.5);
}

} // namespace Tables
