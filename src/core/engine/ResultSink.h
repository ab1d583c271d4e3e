#pragma once

#include <QByteArrayView>

namespace Compare {

// Takes a comparison's result text piece by piece as it is found, instead of
// the whole text at the end: a result pane can be filled without a second
// copy of its text.
class ResultSink
{
public:
    virtual void write(QByteArrayView bytes) = 0;

protected:
    ~ResultSink() = default;
};

} // namespace Compare
