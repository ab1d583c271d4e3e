#pragma once

#include <vector>

#include <QMimeData>

#include "text/TextBuffer.h"

// A pane's selection as the clipboard (or X11's primary selection) offers it:
// it keeps the parts of the text's arrays that hold the selected bytes, and
// produces the text only when a program asks for it. Offering a selection of
// gigabytes costs as little as offering a word.
class SelectionData final : public QMimeData
{
    Q_OBJECT

public:
    explicit SelectionData(std::vector<TextBuffer::Part> parts);

    QStringList formats() const override;
    bool hasFormat(const QString &mimeType) const override;

protected:
    QVariant retrieveData(const QString &mimeType, QMetaType type) const override;

private:
    QByteArray joined() const;

    std::vector<TextBuffer::Part> m_parts;
};
