#pragma once

// What the window benchmarks share: dialogs that ask nothing, a watch on the
// window's thread and the memory in use.
#include <algorithm>
#include <cstdio>
#include <functional>
#include <utility>

#include <QApplication>
#include <QElapsedTimer>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>

#include "BenchSupport.h"
#include "StallStacks.h"
#include "dialogs/Dialogs.h"

// Nothing to ask during a benchmark: any message is printed and answered No;
// a file dialog is answered with `fileName`, a choice with its first item.
class SilentDialogs final : public Platform::Dialogs
{
public:
    Platform::Answer messageBox(const Platform::MessageRequest &request) override
    {
        std::printf("message: %s\n", qPrintable(request.text));
        return Platform::Answer::No;
    }
    QString fileDialog(const Platform::FileDialogRequest &) override { return fileName; }
    void openFolder(const QString &) override {}
    bool pairColumns(Tables::ColumnPairing &) override { return false; }
    int choice(const Platform::ChoiceRequest &) override { return 0; }

    QString fileName;
};

// Watches the window's thread: a timer that should tick every 10 ms, and the
// largest gap seen between two ticks (or the start, or the end of the work).
class StallWatch
{
public:
    StallWatch()
    {
        m_timer.setInterval(10);
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { tick(); });
        m_clock.start();
        m_timer.start();
    }

    // Runs one piece of work, giving its time and its longest stall in ms.
    std::pair<double, double> measure(const std::function<void()> &work)
    {
        QApplication::processEvents();
        m_worst = 0;
        m_last = m_clock.nsecsElapsed();
        const qint64 start = m_last;
        work();
        QApplication::processEvents(); // the panes paint
        tick();
        return {double(m_clock.nsecsElapsed() - start) / 1e6, double(m_worst) / 1e6};
    }

private:
    void tick()
    {
        const qint64 now = m_clock.nsecsElapsed();
        m_worst = std::max(m_worst, now - m_last);
        m_last = now;
        m_stacks.tick();
    }

    StallStacks m_stacks;

    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_worst = 0;
};

inline void report(const char *what, std::pair<double, double> figures, const QString &extra = {})
{
    std::printf("%-28s %8.0f ms   longest stall %5.0f ms  now %4.0f MiB  %s\n", what, figures.first,
                figures.second, Bench::currentRssMiB(), qPrintable(extra));
    std::fflush(stdout);
}

// Presses Cancel on the first progress box that shows while it lives, as a
// user would once the box appears.
class CancelFirstProgress : public QObject
{
public:
    CancelFirstProgress() { QCoreApplication::instance()->installEventFilter(this); }
    ~CancelFirstProgress() override { QCoreApplication::instance()->removeEventFilter(this); }
    bool pressed = false;
    QString label; // of the box whose Cancel was pressed

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *box = qobject_cast<QProgressDialog *>(watched);
        if (!pressed && box && event->type() == QEvent::Show) {
            pressed = true;
            label = box->labelText();
            // As a user does: QProgressDialog::cancel() alone does not say
            // canceled(), which is what the command listens to.
            QTimer::singleShot(0, box, [box] {
                if (auto *button = box->findChild<QPushButton *>())
                    button->click();
            });
        }
        return false;
    }
};
