#include "tables/TableWindowState.h"

#include <QSplitter>
#include <QWidget>

#include "tables/TableOptionsBar.h"
#include "tables/TableSettings.h"

namespace Tables {

void restoreWindowState(const TableSettings &settings, QWidget &window, QSplitter &splitter,
                        TableOptionsBar &options)
{
    const QByteArray geometry = settings.bytes(QStringLiteral("Geometry"));
    if (!geometry.isEmpty())
        window.restoreGeometry(geometry);
    const QByteArray parts = settings.bytes(QStringLiteral("Splitter"));
    if (!parts.isEmpty())
        splitter.restoreState(parts);
    options.restore(settings.value(QStringLiteral("Options")));
}

void storeWindowState(TableSettings &settings, const QWidget &window, const QSplitter &splitter,
                      const TableOptionsBar &options)
{
    settings.storeBytes(QStringLiteral("Geometry"), window.saveGeometry());
    settings.storeBytes(QStringLiteral("Splitter"), splitter.saveState());
    settings.store(QStringLiteral("Options"), options.saved());
}

} // namespace Tables
