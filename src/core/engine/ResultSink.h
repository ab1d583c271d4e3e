#pragma once

#include <QtGlobal>

#include "engine/ColourRange.h"

namespace Compare {

// Takes a comparison's result as it is found, as places in the examined
// text rather than bytes: a result pane can then show the examined text's
// own bytes without a copy of them (see ResultView).
class ResultSink
{
public:
    // A differing line, source[start, start + length) as cut, followed in
    // the result by a CR (the CR that follows it in the source when
    // `crFollows`).
    virtual void line(qsizetype start, qsizetype length, bool crFollows) = 0;
    // A differing word, source[start, start + length), preceded in the
    // result by a CR LF.
    virtual void word(qsizetype start, qsizetype length) = 0;
    // A range of the source to colour red, in ascending order; false leaves
    // it to the result's own list (which a sink that keeps it spares).
    virtual bool takeRed(ColourRange range)
    {
        Q_UNUSED(range);
        return false;
    }

protected:
    ~ResultSink() = default;
};

} // namespace Compare
