#pragma once

#include <QLabel>

namespace Tables {

// A label that shows its text as it is: file names, column names and cells
// are never read as markup.
inline QLabel *plainLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace Tables
