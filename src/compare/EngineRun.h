#pragma once

#include <functional>
#include <optional>

#include <QString>

#include "compare/Progress.h"

class QWidget;
class RichTextBox;

// Runs an engine on a worker thread while the window stays painted; when the
// run lasts over about half a second, a progress dialog shows how far it got.
// What the work throws is rethrown here.
void runInBackground(QWidget *window, const QString &label, Compare::Progress &progress,
                     const std::function<void()> &work);

template <class Result>
Result runEngine(QWidget *window, const QString &label,
                 const std::function<Result(Compare::Progress &)> &work)
{
    Compare::Progress progress;
    std::optional<Result> result;
    runInBackground(window, label, progress, [&] { result.emplace(work(progress)); });
    return std::move(*result);
}

// Sets a pane's text as makeText() gives it: the text is made and laid out in
// a document on a worker thread while the window stays painted.
void fillPane(QWidget *window, const QString &label, RichTextBox &pane,
              const std::function<QString(Compare::Progress &)> &makeText);
