#include "tables/TableWindow.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>

#include "base/Main.h"
#include "dialogs/Dialogs.h"
#include "runner/BackgroundRun.h"
#include "tables/ComparedRowsView.h"
#include "tables/FrozenColumnsView.h"
#include "tables/PlainLabel.h"
#include "tables/RowTableModel.h"
#include "tables/TableFilterBar.h"
#include "tables/TableFiltering.h"
#include "tables/TableOptionsBar.h"
#include "tables/TableResultBar.h"
#include "tables/TableSidesBar.h"
#include "tables/TableWindowState.h"

namespace {

// A menu of a million columns would freeze the window: the first ones only.
constexpr qsizetype kColumnsInMenus = 1000;

} // namespace

TableWindow::TableWindow(Platform::Dialogs &dialogs, Platform::SettingsBackend &settings,
                         QWidget *parent)
    : QWidget(parent), m_dialogs(dialogs), m_settings(settings),
      m_work(*this, [this](const QString &message) { showError(message); }),
      m_finder(m_work.paneBytes()), m_opener(m_session, m_work, m_finder, dialogs),
      m_comparing(m_session, m_work, m_finder, m_settings, dialogs),
      m_reports(m_session, m_work, dialogs, [this](const QString &message) { showError(message); })
{
    prepareForBackgroundWork(); // the window answers first, however busy the work
    setWindowTitle(tr("Compare as Tables"));
    setAttribute(Qt::WA_DeleteOnClose);
    setAcceptDrops(true);
    build();
    buildShortcuts();
    Tables::restoreWindowState(m_settings, *this, *m_splitter, *m_options);
    m_sides->showSides(m_session);
    connectParts();
}

TableWindow::~TableWindow()
{
    // A find still running, or still queued, reads the tables and the lock:
    // it ends first.
    m_finder.finish();
    m_opener.releasePanes();
}

// What the parts without a widget send is shown here.
void TableWindow::connectParts()
{
    connect(&m_opener, &SourceOpener::sideOpened, this, [this](bool fromFile) {
        if (fromFile)
            watchFiles();
        m_sides->showSides(m_session);
    });
    connect(&m_opener, &SourceOpener::sheetKept, this, [this] { m_sides->showSides(m_session); });
    connect(&m_opener, &SourceOpener::compareAsked, this, &TableWindow::compare);
    connect(&m_comparing, &TableComparing::resultDropped, this, [this] { model().clear(); });
    connect(&m_comparing, &TableComparing::nothingCompared, this,
            &TableWindow::showNothingCompared);
    connect(&m_comparing, &TableComparing::failed, this, [this](const QString &error) {
        m_sides->showSides(m_session);
        showError(error);
    });
    connect(&m_opener, &SourceOpener::panesCopied, this, [this] {
        onRowChosen = nullptr; // its lines are no longer the panes'
        if (m_session.data())  // the rows the model keeps split point into the old bytes
            m_rows->show(m_session.data(), std::vector<qint32>(model().visible()), false);
    });
}

QTableView &TableWindow::view()
{
    return m_rows->view();
}

RowTableModel &TableWindow::model()
{
    return m_rows->model();
}

void TableWindow::build()
{
    auto *layout = new QVBoxLayout(this);
    m_sides = new TableSidesBar(this);
    connect(m_sides, &TableSidesBar::openClicked, &m_opener, &SourceOpener::chooseFile);
    connect(m_sides, &TableSidesBar::sheetChosen, &m_opener, &SourceOpener::chooseSheet);
    connect(m_sides, &TableSidesBar::columnsClicked, this, &TableWindow::chooseColumnPairs);
    layout->addWidget(m_sides);
    auto *optionsRow = new QHBoxLayout;
    m_options = new TableOptionsBar(this);
    auto *compareButton = new QPushButton(tr("Co&mpare"), this);
    compareButton->setToolTip(tr("Compare again (F5)"));
    optionsRow->addWidget(m_options, 1);
    optionsRow->addWidget(compareButton);
    layout->addLayout(optionsRow);
    connect(compareButton, &QPushButton::clicked, this, &TableWindow::compare);
    connect(m_options, &TableOptionsBar::changed, this, &TableWindow::compare);
    connect(m_options, &TableOptionsBar::readingChanged, this, &TableWindow::compare);

    m_resultBar = new TableResultBar(this);
    connect(m_resultBar, &TableResultBar::compareAgain, this, &TableWindow::compare);
    connect(m_resultBar, &TableResultBar::fileTouched, this, &TableWindow::checkFilesOnDisk);
    connect(m_resultBar, &TableResultBar::columnChosen, this,
            [this](qsizetype column) { m_filtering->showChangesIn(column); });
    layout->addWidget(m_resultBar);

    m_splitter = new QSplitter(Qt::Vertical, this);
    m_notes = new QListWidget(m_splitter);
    m_notes->setAccessibleName(tr("Column changes, duplicate keys and ragged rows"));
    m_notes->hide(); // until a comparison has something to say
    m_splitter->addWidget(m_notes);
    m_splitter->addWidget(buildTablePart(m_splitter));
    m_splitter->setStretchFactor(1, 1);
    m_splitter->setSizes({60, 500});
    layout->addWidget(m_splitter, 1);
    resize(1000, 700);
}

QWidget *TableWindow::buildTablePart(QWidget *parent)
{
    auto *tablePart = new QWidget(parent);
    auto *tableLayout = new QVBoxLayout(tablePart);
    tableLayout->setContentsMargins(0, 0, 0, 0);
    m_filterBar = new TableFilterBar(m_session.filter, tablePart);
    tableLayout->addWidget(m_filterBar);
    m_rows = new ComparedRowsView(tablePart);
    tableLayout->addWidget(m_rows, 1);
    m_filtering =
        new TableFiltering(m_session, m_work, m_finder, *m_rows, *m_filterBar, *m_resultBar, this);
    TableFiltering *filtering = m_filtering;
    connect(filtering, &TableFiltering::found, this, &TableWindow::found);
    connect(m_filterBar, &TableFilterBar::statusToggled, filtering, &TableFiltering::showStatus);
    connect(m_filterBar, &TableFilterBar::changedColumnsOnlyToggled, filtering,
            &TableFiltering::setChangedColumnsOnly);
    connect(m_filterBar, &TableFilterBar::findTyped, filtering, &TableFiltering::findAsTyped);
    connect(m_filterBar, &TableFilterBar::findEntered, filtering, &TableFiltering::setFindText);
    connect(m_filterBar, &TableFilterBar::saveClicked, &m_reports, &ReportSaver::choose);
    FrozenColumnsView *view = &m_rows->view();
    connect(view, &FrozenColumnsView::headerClicked, filtering, &TableFiltering::sortBy);
    connect(view, &FrozenColumnsView::headerMenuAsked, filtering, &TableFiltering::headerMenu);
    connect(view, &FrozenColumnsView::rowActivated, this, &TableWindow::rowChosen);
    return tablePart;
}

void TableWindow::buildShortcuts()
{
    const auto shortcut = [this](const QKeySequence &keys, QWidget *on, auto slot,
                                 Qt::ShortcutContext context = Qt::WindowShortcut) {
        auto *s = new QShortcut(keys, on);
        s->setContext(context);
        connect(s, &QShortcut::activated, this, slot);
    };
    shortcut(Qt::Key_F5, this, [this] { compare(); });
    shortcut(
        Qt::Key_Return, m_options, [this] { compare(); }, Qt::WidgetWithChildrenShortcut);
    shortcut(
        Qt::Key_Enter, m_options, [this] { compare(); }, Qt::WidgetWithChildrenShortcut);
    shortcut(QKeySequence::Find, this, [this] { m_filterBar->focusFind(); });
    shortcut(Qt::Key_F7, this, [this] { moveToChangedCell(true); });
    shortcut(Qt::SHIFT | Qt::Key_F7, this, [this] { moveToChangedCell(false); });
    // Esc in a find box that holds text clears it, as find boxes do; else it closes.
    shortcut(Qt::Key_Escape, this, [this] {
        if (!m_filterBar->clearFindInFocus())
            close();
    });
    // One shortcut for every closing key: where the platform's Close is Ctrl+W
    // already, two shortcuts on it would be ambiguous and neither would fire.
    QList<QKeySequence> closing = QKeySequence::keyBindings(QKeySequence::Close);
    if (!closing.contains(QKeySequence(Qt::CTRL | Qt::Key_W)))
        closing.append(QKeySequence(Qt::CTRL | Qt::Key_W));
    auto *closer = new QShortcut(this);
    closer->setKeys(closing);
    connect(closer, &QShortcut::activated, this, &QWidget::close);
    shortcut(
        QKeySequence::Copy, &m_rows->view(), [this] { copySelection(); }, Qt::WidgetShortcut);
}

void TableWindow::setKeyColumns(const Csv::ColumnSelection &columns)
{
    m_session.requestKey(columns);
}

void TableWindow::compare()
{
    QString whyNot;
    if (!m_comparing.start(whyNot)) {
        if (!whyNot.isEmpty())
            m_resultBar->showNoResult(whyNot);
        return;
    }
    m_session.filter.find = m_filterBar->findText();
    // A copy: the filters may change while the comparison runs.
    const Tables::CompareRequest request{m_options->options(), m_options->delimiter(),
                                         m_options->header(), m_options->hasKeyChoice(),
                                         m_session.filter};
    const bool first = model().columnCount() == 0;
    Tables::CompareOutcome outcome;
    if (m_comparing.run(request, outcome))
        showComparison(request, outcome, first);
}

void TableWindow::showComparison(const Tables::CompareRequest &request,
                                 Tables::CompareOutcome &outcome, bool first)
{
    const std::shared_ptr<Tables::TableData> &result = m_session.data();
    m_options->showCompared(m_session.columnChoices(kColumnsInMenus), result->comparison.keyColumns,
                            outcome.used);
    m_comparing.remember();
    m_filtering->showVisible(std::move(outcome.visible));
    m_rows->view().setFrozenColumns(Tables::kFixedColumns
                                    + int(result->comparison.keyColumns.size()));
    if (first)
        restoreColumnWidths();
    showResult();
    watchFiles();
    if (!(request.filter == m_session.filter))
        m_filtering->refilter(); // a filter changed while the comparison ran
    emit compared();
    if (m_comparing.compareAgain())
        QTimer::singleShot(0, this, &TableWindow::compare);
}

void TableWindow::chooseColumnPairs()
{
    if (m_comparing.chooseColumnPairs())
        compare();
}

void TableWindow::showResult()
{
    const Tables::TableData &result = *m_session.data();
    m_resultBar->showResult(m_session);
    const QStringList notes = m_session.notes();
    m_notes->clear();
    m_notes->addItems(notes);
    m_notes->setVisible(!notes.isEmpty());
    m_sides->showSides(m_session);
    m_filterBar->showCounts(&result);
    m_filtering->updateHiddenColumns();
}

// The old result went with a file changed on disk and no new one came: the
// window says so, and the bar still offers to compare again.
void TableWindow::showNothingCompared(const QString &why)
{
    m_resultBar->showNoResult(why);
    m_notes->clear();
    m_notes->hide();
    m_sides->showSides(m_session);
    m_filterBar->showCounts(nullptr);
    m_filterBar->setFindCount(QString());
    checkFilesOnDisk();
}

QStringList TableWindow::notes() const
{
    QStringList texts;
    for (int i = 0; i < m_notes->count(); ++i)
        texts << m_notes->item(i)->text();
    return texts;
}

void TableWindow::moveToChangedCell(bool forward)
{
    if (m_session.data())
        m_rows->moveToChangedCell(*m_session.data(), forward);
}

// What the view shows of the selected rows: its columns in their order,
// hidden ones left out.
void TableWindow::copySelection()
{
    const QString text = m_session.data() ? m_rows->selectionText(*m_session.data()) : QString();
    if (!text.isEmpty())
        QApplication::clipboard()->setText(text);
}

void TableWindow::rowChosen(const QModelIndex &index)
{
    const std::shared_ptr<Tables::TableData> &result = m_session.data();
    if (!onRowChosen || !result || !index.isValid())
        return;
    const Tables::DisplayRow &row = model().displayRow(index.row());
    onRowChosen(result->comparison.table1.get(), row.record1, result->comparison.table2.get(),
                row.record2);
}

void TableWindow::watchFiles()
{
    m_resultBar->watchFiles(m_session);
}

void TableWindow::checkFilesOnDisk()
{
    m_resultBar->showChangedOnDisk(m_session);
}

void TableWindow::showError(const QString &message)
{
    m_dialogs.messageBox(
        {message, Main::appTitle(), Platform::Buttons::Ok, Platform::Icon::Exclamation});
}

void TableWindow::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

// Two files: both sides; one: the side of the window it was dropped on.
void TableWindow::dropEvent(QDropEvent *event)
{
    const int side = event->position().x() < width() / 2 ? 0 : 1;
    const std::vector<Tables::DroppedFile> files =
        Tables::droppedFiles(event->mimeData()->urls(), side);
    if (files.empty())
        return;
    event->acceptProposedAction();
    if (m_opener.openDropped(files))
        compare();
}

void TableWindow::storeSettings()
{
    Tables::storeWindowState(m_settings, *this, *m_splitter, *m_options);
    if (m_session.data())
        m_settings.storeColumnsState(model().columnCount(), m_rows->columnsState());
}

// Column widths, when the table has as many columns as when they were stored.
void TableWindow::restoreColumnWidths()
{
    const QByteArray state = m_settings.columnsState(model().columnCount());
    if (state.isEmpty())
        return;
    m_rows->restoreColumns(state, m_session.filter);
    m_filtering->updateHiddenColumns();
}

// Coming back to the window is when a file changed meanwhile is noticed too.
void TableWindow::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        checkFilesOnDisk();
}

void TableWindow::closeEvent(QCloseEvent *event)
{
    if (m_work.busy()) {
        event->ignore();
        return;
    }
    storeSettings();
    QWidget::closeEvent(event);
}
