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
    // `origin`: the pane whose selection it is, when it is dragged (a drop
    // on that pane moves the selection rather than copying it).
    explicit SelectionData(std::vector<TextBuffer::Part> parts, const QObject *origin = nullptr);
    const QObject *origin() const { return m_origin; }

    QStringList formats() const override;
    bool hasFormat(const QString &mimeType) const override;

protected:
    QVariant retrieveData(const QString &mimeType, QMetaType type) const override;

private:
    QByteArray joined() const;

    std::vector<TextBuffer::Part> m_parts;
    const QObject *m_origin;
};
