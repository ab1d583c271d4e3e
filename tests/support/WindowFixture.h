#pragma once

#include <memory>

#include <QTemporaryDir>

#include "FakeDialogs.h"
#include "pane/RichTextBox.h"
#include "settings/SettingsBackend.h"
#include "window/Form1.h"

// A main window wired to scripted dialogs and an in-memory settings store,
// with a program folder of its own.
struct WindowFixture
{
    WindowFixture();
    ~WindowFixture();

    FakeDialogs dialogs;
    Platform::MemorySettingsBackend settings;
    QTemporaryDir programFolder;
    std::unique_ptr<Form1> form;

    // Writes a file into the test's program folder and gives its path.
    QString writeFile(const QString &name, const QByteArray &bytes) const;
    QString setting(const QString &key) const;
};

// Offsets of the characters of a pane that show red (an LF shares the mark
// of the CR before it and is left out).
QList<int> redOffsets(const RichTextBox &pane);

// How many pixels of the widget as drawn are the difference red.
int redPixels(QWidget &widget);
