#pragma once

#include <functional>

#include <QString>

#include "engine/Progress.h"

class QWidget;
class RichTextBox;

// Runs an engine on a worker thread while the window stays painted; when the
// run lasts over about half a second, a progress dialog shows how far it got.
// What the work throws is rethrown here.
void runInBackground(QWidget *window, const QString &label, Compare::Progress &progress,
                     const std::function<void()> &work);

// Sets a pane's text as makeText() gives it: the text is made and laid out in
// a document on a worker thread while the window stays painted.
void fillPane(QWidget *window, const QString &label, RichTextBox &pane,
              const std::function<QString(Compare::Progress &)> &makeText);
