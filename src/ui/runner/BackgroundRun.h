#pragma once

#include <functional>
#include <span>

#include <QString>

#include "engine/ColourRange.h"
#include "engine/Progress.h"
#include "pane/Colour.h"

class QWidget;
class RichTextBox;

class QThreadPool;

enum class Cancel { NotOffered, Offered };

// The threads our long work runs on. Qt paints with the help of its global
// pool: work there would make the window wait for it.
QThreadPool &workerPool();

// Called by each window before any work starts: the work's threads yield to
// the window's (see lowerBackgroundThreads), and the threads of Qt's global
// pool, which help the window paint, are kept once started.
void prepareForBackgroundWork();

// The window's property that sets, in milliseconds, how long a run goes
// before its progress dialog shows (0: at once); about half a second when
// the window has none.
inline constexpr char kProgressDelayProperty[] = "progressDelayMs";

// Runs work on a worker thread while the window stays painted; when the run
// lasts long enough (see kProgressDelayProperty), a progress dialog shows how
// far it got.
// When a Cancel button is offered and pressed, `progress.cancelled` is set,
// the work is expected to stop early, and the result is false. What the work
// throws is rethrown here.
bool runInBackground(QWidget *window, const QString &label, Compare::Progress &progress,
                     const std::function<void()> &work, Cancel cancel = Cancel::NotOffered);

// Colours byte ranges of a pane a slice at a time, letting the window's
// events run between the slices, so a million runs never freeze the window.
void colourInSlices(RichTextBox &pane, std::span<const Compare::ColourRange> ranges, Colour colour);
// The whole text in one colour, in the same way.
void colourAllInSlices(RichTextBox &pane, Colour colour);
