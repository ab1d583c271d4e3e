#include "tables/DiskChangeBar.h"

#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

DiskChangeBar::DiskChangeBar(QWidget *parent)
    : QFrame(parent), m_label(new QLabel(this)), m_watcher(new QFileSystemWatcher(this))
{
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::ToolTipBase);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(8, 2, 8, 2);
    m_label->setTextFormat(Qt::PlainText);
    m_label->setForegroundRole(QPalette::ToolTipText);
    auto *again = new QPushButton(tr("Compare &again"), this);
    row->addWidget(m_label, 1);
    row->addWidget(again);
    connect(again, &QPushButton::clicked, this, &DiskChangeBar::compareAgain);
    connect(m_watcher, &QFileSystemWatcher::fileChanged, this, [this](const QString &path) {
        // A file replaced under its name leaves the watch: watch the new one.
        if (QFileInfo::exists(path) && !m_watcher->files().contains(path))
            m_watcher->addPath(path);
        emit fileTouched();
    });
    hide();
}

void DiskChangeBar::watch(const QStringList &paths)
{
    if (!m_watcher->files().isEmpty())
        m_watcher->removePaths(m_watcher->files());
    for (const QString &path : paths) {
        if (!path.isEmpty() && QFileInfo::exists(path))
            m_watcher->addPath(path);
    }
}

void DiskChangeBar::showChanged(const QStringList &names)
{
    if (names.isEmpty()) {
        hide();
        return;
    }
    m_label->setText(names.size() == 1
                         ? tr("%1 changed on disk \u2014").arg(names[0])
                         : tr("%1 and %2 changed on disk \u2014").arg(names[0], names[1]));
    QFrame::show();
}

QString DiskChangeBar::text() const
{
    return isHidden() ? QString() : m_label->text();
}
