#pragma once

#include <QColor>
#include <QPalette>

#include "tables/TableRows.h"

// The colours of the table's statuses, made from the palette so that they
// follow a light or a dark desktop theme, and kept readable: the text on
// them has a contrast of at least 4.5:1.
namespace Tables {

// WCAG's contrast ratio of two colours, 1 to 21.
double contrastRatio(const QColor &a, const QColor &b);

// The row background for a status (the base colour for an unchanged row).
QColor statusBackground(Status status, const QPalette &palette);

// The background behind the characters that differ inside a changed cell.
QColor differenceBackground(const QPalette &palette);

} // namespace Tables
