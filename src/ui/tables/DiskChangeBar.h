#pragma once

#include <QFrame>
#include <QStringList>

class QFileSystemWatcher;
class QLabel;

// The bar above the table that says the files read changed on disk
// ("rows2.csv changed on disk — Compare again"), with the button; it watches
// the files and asks the window to check them, never compares by itself.
class DiskChangeBar : public QFrame
{
    Q_OBJECT

public:
    explicit DiskChangeBar(QWidget *parent = nullptr);

    // Watches these files (the ones read), and only them.
    void watch(const QStringList &paths);
    // Shows the bar for these names; none: hides it.
    void showChanged(const QStringList &names);
    // What the bar says; empty while it is hidden.
    QString text() const;

signals:
    // A watched file changed, moved or went: time to check.
    void fileTouched();
    void compareAgain();

private:
    QLabel *m_label;
    QFileSystemWatcher *m_watcher;
};
