#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QProgressDialog>
#include <QPushButton>
#include <QStringList>

#include "runner/BackgroundRun.h"

// While it lives, presses Cancel on every progress box as the box shows (or
// only on those whose label starts with `only`), and notes the boxes' labels.
// The window's progress boxes show at once.
class CancelProgress : public QObject
{
public:
    explicit CancelProgress(QWidget &window, QString only = {})
        : m_window(window), m_only(std::move(only))
    {
        m_window.setProperty(kProgressDelayProperty, 0);
        QCoreApplication::instance()->installEventFilter(this);
    }
    ~CancelProgress() override
    {
        QCoreApplication::instance()->removeEventFilter(this);
        m_window.setProperty(kProgressDelayProperty, QVariant());
    }
    CancelProgress(const CancelProgress &) = delete;
    CancelProgress &operator=(const CancelProgress &) = delete;

    QStringList labels;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *box = qobject_cast<QProgressDialog *>(watched);
        if (box && event->type() == QEvent::Show) {
            labels << box->labelText();
            if (!box->labelText().startsWith(m_only))
                return false;
            for (QPushButton *button : box->findChildren<QPushButton *>())
                if (button->text() == QStringLiteral("Cancel"))
                    button->click();
        }
        return false;
    }

private:
    QWidget &m_window;
    QString m_only;
};
