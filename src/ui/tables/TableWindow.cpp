#include "tables/TableWindow.h"

#include <mutex>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidgetAction>
#include <QtConcurrent/QtConcurrentRun>

#include "base/AppError.h"
#include "base/Main.h"
#include "dialogs/Dialogs.h"
#include "pane/RichTextBox.h"
#include "runner/BackgroundRun.h"
#include "settings/Settings.h"
#include "settings/SettingsBackend.h"
#include "tables/ChangedCellDelegate.h"
#include "tables/ColumnChangesBar.h"
#include "tables/DiskChangeBar.h"
#include "tables/FrozenColumnsView.h"
#include "tables/PairChoices.h"
#include "tables/PlainLabel.h"
#include "tables/ReportFile.h"
#include "tables/RowTableModel.h"
#include "tables/SheetChooser.h"
#include "tables/TableNotes.h"
#include "tables/TableOptionsBar.h"

using Tables::Status;

namespace {

const QString kSection = QStringLiteral("TableWindow");
const char *const kStatusNames[] = {
    QT_TRANSLATE_NOOP("TableWindow", "Removed"), QT_TRANSLATE_NOOP("TableWindow", "Added"),
    QT_TRANSLATE_NOOP("TableWindow", "Changed"), QT_TRANSLATE_NOOP("TableWindow", "Unchanged"),
    QT_TRANSLATE_NOOP("TableWindow", "Duplicate keys")};
// A menu of a million columns would freeze the window: the first ones only.
constexpr qsizetype kColumnsInMenus = 1000;
// Typing waits this long before the rows are filtered.
constexpr int kFindDelayMs = 150;
// Below this many rows a find runs at once; above, on a worker thread.
constexpr size_t kRowsFoundAtOnce = 20000;
constexpr int kMoveNoteMs = 2500;
// How often a run's Cancel is passed on to the work's control.
constexpr int kCancelCheckMs = 20;

} // namespace

TableWindow::TableWindow(Platform::Dialogs &dialogs, Platform::SettingsBackend &settings,
                         QWidget *parent)
    : QWidget(parent), m_dialogs(dialogs), m_settings(settings)
{
    setWindowTitle(tr("Compare as Tables"));
    setAttribute(Qt::WA_DeleteOnClose);
    setAcceptDrops(true);
    build();
    buildShortcuts();
    restoreSettings();
    updateSideLabels();
}

TableWindow::~TableWindow()
{
    if (m_findStop)
        *m_findStop = true;
    // A find still running, or still queued, reads the tables and this
    // window's lock: let it end first.
    m_findTask.waitForFinished();
    std::unique_lock lock(m_paneBytes);
    for (int side = 0; side < 2; ++side) {
        if (RichTextBox *pane = m_session.source(side).pane)
            pane->unshareBytes();
    }
}

QTableView &TableWindow::view()
{
    return *m_view;
}

void TableWindow::build()
{
    auto *layout = new QVBoxLayout(this);
    for (int side = 0; side < 2; ++side) {
        auto *row = new QHBoxLayout;
        auto *open = new QPushButton(side == 0 ? tr("Open File #&1…") : tr("Open File #&2…"), this);
        m_sideLabels[size_t(side)] = Tables::plainLabel(QString(), this);
        m_sideLabels[size_t(side)]->setTextInteractionFlags(Qt::TextSelectableByMouse);
        m_sideLabels[size_t(side)]->setMinimumWidth(1); // a long name never widens the window
        m_sideLabels[size_t(side)]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        row->addWidget(open);
        row->addWidget(m_sideLabels[size_t(side)], 1);
        m_sheetChoosers[size_t(side)] = new SheetChooser(this);
        row->addWidget(m_sheetChoosers[size_t(side)]);
        connect(m_sheetChoosers[size_t(side)], &SheetChooser::sheetChosen, this,
                [this, side](int sheet) { chooseSheet(side, sheet); });
        if (side == 1) { // how the two files' columns pair, beside their names
            auto *columnsButton = new QPushButton(tr("Col&umns\u2026"), this);
            columnsButton->setToolTip(tr("Pair columns renamed between the files"));
            row->addWidget(columnsButton);
            connect(columnsButton, &QPushButton::clicked, this, &TableWindow::chooseColumnPairs);
        }
        layout->addLayout(row);
        connect(open, &QPushButton::clicked, this, [this, side] { chooseFile(side); });
    }
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

    m_changedBar = new DiskChangeBar(this);
    connect(m_changedBar, &DiskChangeBar::compareAgain, this, &TableWindow::compare);
    connect(m_changedBar, &DiskChangeBar::fileTouched, this, &TableWindow::checkFilesOnDisk);
    layout->addWidget(m_changedBar);
    m_summary = Tables::plainLabel(tr("Open two files to compare."), this);
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_summary->setAccessibleName(tr("Summary"));
    layout->addWidget(m_summary);

    m_changes = new ColumnChangesBar(this);
    connect(m_changes, &ColumnChangesBar::chosen, this, &TableWindow::showChangesIn);
    layout->addWidget(m_changes);

    m_splitter = new QSplitter(Qt::Vertical, this);
    m_notes = new QListWidget(m_splitter);
    m_notes->setAccessibleName(tr("Column changes, duplicate keys and ragged rows"));
    m_notes->hide(); // until a comparison has something to say
    m_splitter->addWidget(m_notes);
    m_splitter->addWidget(buildTablePart(m_splitter));
    m_splitter->setStretchFactor(1, 1);
    m_splitter->setSizes({60, 500});
    layout->addWidget(m_splitter, 1);

    updateCounts();
    resize(1000, 700);
}

QWidget *TableWindow::buildTablePart(QWidget *parent)
{
    auto *tablePart = new QWidget(parent);
    auto *tableLayout = new QVBoxLayout(tablePart);
    tableLayout->setContentsMargins(0, 0, 0, 0);
    auto *filterRow = new QHBoxLayout;
    for (int s = 0; s < Tables::kStatusCount; ++s) {
        auto *box = new QCheckBox(tablePart);
        box->setChecked(m_session.filter.shown[size_t(s)]);
        m_filters[size_t(s)] = box;
        filterRow->addWidget(box);
        connect(box, &QCheckBox::toggled, this, [this, s](bool on) { showStatus(Status(s), on); });
    }
    m_changedOnly = new QCheckBox(tr("C&hanged columns only"), tablePart);
    filterRow->addWidget(m_changedOnly);
    connect(m_changedOnly, &QCheckBox::toggled, this, &TableWindow::setChangedColumnsOnly);
    m_find = new QLineEdit(tablePart);
    m_find->setPlaceholderText(tr("Find (Ctrl+F)"));
    m_find->setAccessibleName(tr("Find"));
    m_find->setClearButtonEnabled(true);
    filterRow->addWidget(m_find, 1);
    m_findCount = Tables::plainLabel(QString(), tablePart);
    filterRow->addWidget(m_findCount);
    m_save = new QPushButton(tr("&Save Report…"), tablePart);
    filterRow->addWidget(m_save);
    tableLayout->addLayout(filterRow);
    m_findTimer = new QTimer(this);
    m_findTimer->setSingleShot(true);
    m_findTimer->setInterval(kFindDelayMs);
    connect(m_findTimer, &QTimer::timeout, this, &TableWindow::findAsTyped);
    connect(m_find, &QLineEdit::textEdited, this, [this] { m_findTimer->start(); });
    connect(m_find, &QLineEdit::returnPressed, this, [this] { setFindText(m_find->text()); });
    connect(m_save, &QPushButton::clicked, this, &TableWindow::chooseReport);

    m_model = new RowTableModel(this);
    m_view = new FrozenColumnsView(tablePart);
    m_view->setModel(m_model);
    m_view->setItemDelegate(new ChangedCellDelegate(m_view));
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setTabKeyNavigation(false); // Tab goes on to the next control
    m_view->setAccessibleName(tr("Compared rows"));
    m_view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_view->verticalHeader()->setDefaultSectionSize(m_view->fontMetrics().height() + 6);
    m_view->verticalHeader()->hide();
    for (QTableView *part : {static_cast<QTableView *>(m_view), &m_view->frozenView()}) {
        QHeaderView *header = part->horizontalHeader();
        header->setSectionsClickable(true);
        header->setSortIndicatorShown(true);
        header->setSortIndicator(-1, Qt::AscendingOrder);
        header->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(header, &QHeaderView::sectionClicked, this, &TableWindow::sortBy);
        connect(header, &QHeaderView::customContextMenuRequested, this, [this, header](QPoint at) {
            headerMenu(header->logicalIndexAt(at), header->mapToGlobal(at));
        });
    }
    connect(m_view, &QTableView::activated, this, &TableWindow::rowChosen);
    connect(&m_view->frozenView(), &QTableView::activated, this, &TableWindow::rowChosen);
    tableLayout->addWidget(m_view, 1);
    m_moveNote = Tables::plainLabel(QString(), tablePart);
    m_moveNote->setAccessibleName(tr("Position among the changes"));
    m_moveNote->hide();
    tableLayout->addWidget(m_moveNote);
    m_moveNoteTimer = new QTimer(this);
    m_moveNoteTimer->setSingleShot(true);
    connect(m_moveNoteTimer, &QTimer::timeout, m_moveNote, &QWidget::hide);
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
    shortcut(QKeySequence::Find, this, [this] {
        m_find->setFocus();
        m_find->selectAll();
    });
    shortcut(Qt::Key_F7, this, [this] { moveToChangedCell(true); });
    shortcut(Qt::SHIFT | Qt::Key_F7, this, [this] { moveToChangedCell(false); });
    // Esc in a find box that holds text clears it, as find boxes do; else it closes.
    shortcut(Qt::Key_Escape, this, [this] {
        if (m_find->hasFocus() && !m_find->text().isEmpty())
            m_find->clear();
        else
            close();
    });
    shortcut(QKeySequence::Close, this, [this] { close(); });
    shortcut(Qt::CTRL | Qt::Key_W, this, [this] { close(); });
    shortcut(
        QKeySequence::Copy, m_view, [this] { copySelection(); }, Qt::WidgetShortcut);
}

bool TableWindow::inBackground(const QString &label, const std::function<void()> &work,
                               bool cancellable, Compare::Progress *shown,
                               Csv::WorkControl *control)
{
    Compare::Progress own;
    Compare::Progress &progress = shown ? *shown : own;
    // The progress box's Cancel marks the progress; the work stops when its
    // control hears of it.
    QTimer cancelCheck;
    if (control) {
        cancelCheck.setInterval(kCancelCheckMs);
        connect(&cancelCheck, &QTimer::timeout, this, [&progress, control] {
            if (progress.cancelled.load())
                control->cancel();
        });
        cancelCheck.start();
    }
    m_busy = true;
    bool done = false;
    try {
        done = runInBackground(
            this, label, progress,
            [this, &work] {
                std::shared_lock lock(m_paneBytes);
                work();
            },
            cancellable ? Cancel::Offered : Cancel::NotOffered);
    } catch (const AppError &error) {
        m_busy = false;
        showError(error.description());
        return false;
    } catch (const std::bad_alloc &) {
        m_busy = false;
        showError(tr("Out of memory: the tables are too large to compare here"));
        return false;
    } catch (const Csv::WorkCancelled &) {
        m_busy = false; // a cancel, not a fault
        return false;
    }
    m_busy = false;
    return done;
}

bool TableWindow::openFile(int side, const QString &path, int sheet)
{
    TableSource source;
    if (!inBackground(tr("Reading %1…").arg(QFileInfo(path).fileName()),
                      [&] { source = TableSource::fromFile(path, sheet); }))
        return false;
    if (RichTextBox *pane = m_session.source(side).pane)
        pane->unshareBytes();
    m_session.setSource(side, std::move(source));
    watchFiles();
    updateSideLabels();
    return true;
}

void TableWindow::openPane(int side, RichTextBox &pane, const QString &name, const QString &path)
{
    if (RichTextBox *old = m_session.source(side).pane)
        old->unshareBytes();
    TableSource source = TableSource::fromPane(pane, name);
    if (!path.isEmpty())
        source.name = QFileInfo(path).fileName();
    m_session.setSource(side, std::move(source));
    connect(&pane, &RichTextBox::textAboutToChange, this, &TableWindow::paneAboutToChange,
            Qt::UniqueConnection);
    updateSideLabels();
}

void TableWindow::setKeyColumns(const QString &columns)
{
    m_session.requestKey(columns);
}

// The main window's text is about to change under the tables read from it:
// once no work reads them, they get bytes of their own.
void TableWindow::paneAboutToChange()
{
    if (m_findStop)
        *m_findStop = true;
    std::unique_lock lock(m_paneBytes);
    for (int side = 0; side < 2; ++side) {
        if (RichTextBox *pane = m_session.source(side).pane)
            disconnect(pane, &RichTextBox::textAboutToChange, this,
                       &TableWindow::paneAboutToChange);
    }
    m_session.copyPanes();
    onRowChosen = nullptr; // its lines are no longer the panes'
    if (m_session.data())  // the rows the model keeps split point into the old bytes
        m_model->show(m_session.data(), std::vector<qint32>(m_model->visible()));
}

void TableWindow::compare()
{
    if (m_busy) { // a choice made meanwhile: compare again once this is done
        m_compareAgain = true;
        return;
    }
    m_compareAgain = false;
    if (!m_session.ready()) {
        m_summary->setText(tr("Open two files to compare."));
        return;
    }
    if (m_findStop)
        *m_findStop = true;
    if (m_session.newPair()) {
        if (const auto choices = Tables::PairChoices::fromText(
                m_settings.value(Settings::kAppName, kSection, m_session.pairEntry())
                    .value_or(QString())))
            m_session.offer(*choices);
    }
    m_session.filter.find = m_find->text();
    // A copy: the filters may change while the comparison runs.
    Tables::CompareRequest request{m_options->options(), m_options->delimiter(),
                                   m_options->header(), m_options->hasKeyChoice(),
                                   m_session.filter};
    const bool first = m_model->columnCount() == 0;
    // A file changed on disk: its old bytes and the old result go before the
    // new are read, and are freed off the window's thread.
    std::vector<std::shared_ptr<const void>> stale = m_session.dropStale();
    const bool dropped = !stale.empty();
    if (dropped)
        m_model->clear();
    Tables::CompareOutcome outcome;
    // Read by the progress box on the window's thread, written by the work's
    // threads: the phases in turn, each a quarter of the bar.
    Compare::Progress progress;
    progress.total = 4000;
    const auto control =
        std::make_shared<Csv::WorkControl>([&progress](Csv::WorkPhase phase, double done) {
            progress.done = qint64((int(phase) + done) * 1000);
        });
    const bool done = inBackground(
        tr("Comparing the tables…"),
        [&, control] {
            if (!stale.empty()) {
                stale.clear();
                Tables::returnFreedMemory();
            }
            outcome = m_session.run(request, control.get());
        },
        true, &progress, control.get());
    // Cancelled: the window stays as it was, unless the old result went with
    // a file changed on disk.
    if (!done || outcome.cancelled) {
        if (dropped)
            showNothingCompared(progress.cancelled ? tr("Nothing compared: Cancel was pressed.")
                                                   : tr("Nothing compared."));
        return;
    }
    if (!m_session.accept(outcome)) {
        if (dropped)
            showNothingCompared(tr("Nothing compared."));
        updateSideLabels();
        showError(outcome.error);
        return;
    }
    const std::shared_ptr<Tables::TableData> &result = m_session.data();
    {
        const QSignalBlocker blocker(m_options);
        m_options->setColumns(m_session.columnLabels(kColumnsInMenus));
        m_options->setKey(result->comparison.keyColumns);
        m_options->setIgnored(outcome.used.ignoreColumns);
        m_options->setDecimalMarks(outcome.used.decimalMark1, outcome.used.decimalMark2);
    }
    rememberChoices();
    // The result shown so far is freed on a worker thread: a million rows
    // take a while to let go of.
    std::shared_ptr<const void> previous = m_model->tableData();
    showVisible(std::move(outcome.visible));
    if (previous.use_count() == 1)
        (void)QtConcurrent::run(&workerPool(), [previous = std::move(previous)] {});
    m_view->setFrozenColumns(Tables::kFixedColumns + int(result->comparison.keyColumns.size()));
    if (first)
        restoreColumnWidths();
    showResult();
    watchFiles();
    if (!(request.filter == m_session.filter))
        refilter(); // a filter changed while the comparison ran
    emit compared();
    if (m_compareAgain)
        QTimer::singleShot(0, this, &TableWindow::compare);
}

// What was compared with, offered again for files of these names.
void TableWindow::rememberChoices()
{
    try {
        m_settings.setValue(Settings::kAppName, kSection, m_session.pairEntry(),
                            m_session.choices().toText());
    } catch (const AppError &) {
        // Not remembered: the next time starts from a guess again.
    }
}

// Columns…: the pairs of renamed columns, suggested from a sample of the
// rows (off the window's thread) and edited in the dialog.
void TableWindow::chooseColumnPairs()
{
    if (!m_session.data() || m_busy)
        return;
    Tables::ColumnPairing pairing;
    if (!inBackground(tr("Looking for renamed columns\u2026"),
                      [&] { pairing = m_session.columnPairing(); }))
        return;
    if (!m_dialogs.pairColumns(pairing))
        return;
    m_session.setRenames(pairing.renames());
    compare();
}

void TableWindow::showResult()
{
    const Tables::TableData &result = *m_session.data();
    m_summary->setText(Csv::summaryLine(result.comparison));
    m_notes->clear();
    QStringList notes =
        Tables::notesOf(result.comparison, m_session.source(0).name, m_session.source(1).name);
    if (result.nothingCompared() && result.comparison.rows1 + result.comparison.rows2 > 0)
        notes.prepend(tr("No column in both files: no row can match"));
    m_notes->addItems(notes);
    m_notes->setVisible(!notes.isEmpty());
    m_changedBar->hide();
    updateSideLabels();
    updateCounts();
    m_changes->show(result, m_session.filter.changedIn);
    updateHiddenColumns();
}

// The old result went with a file changed on disk and no new one came: the
// window says so, and the bar still offers to compare again.
void TableWindow::showNothingCompared(const QString &why)
{
    m_summary->setText(why);
    m_notes->clear();
    m_notes->hide();
    m_changes->hide();
    updateSideLabels();
    updateCounts();
    updateFindCount();
    checkFilesOnDisk();
}

QString TableWindow::summaryText() const
{
    return m_summary->text();
}

QStringList TableWindow::notes() const
{
    QStringList texts;
    for (int i = 0; i < m_notes->count(); ++i)
        texts << m_notes->item(i)->text();
    return texts;
}

QString TableWindow::changedOnDiskText() const
{
    return m_changedBar->text();
}

QString TableWindow::findCountText() const
{
    return m_findCount->text();
}

QString TableWindow::moveNoteText() const
{
    return m_moveNote->isHidden() ? QString() : m_moveNote->text();
}

void TableWindow::updateCounts()
{
    const std::shared_ptr<Tables::TableData> &result = m_session.data();
    for (int s = 0; s < Tables::kStatusCount; ++s) {
        const qsizetype count = result ? result->counts.of[s] : 0;
        const QString name = tr(kStatusNames[s]);
        m_filters[size_t(s)]->setText(
            QStringLiteral("%1 %2 (%3)")
                .arg(Tables::statusMark(Status(s)), name, Csv::withThousands(count))
                .trimmed());
        m_filters[size_t(s)]->setAccessibleName(
            tr("Show %1 rows, %2 of them").arg(name.toLower(), Csv::withThousands(count)));
        // No duplicated key, no box for them.
        if (Status(s) == Status::Duplicate)
            m_filters[size_t(s)]->setVisible(count > 0);
    }
}

void TableWindow::updateFindCount()
{
    const std::shared_ptr<Tables::TableData> &result = m_session.data();
    if (!result || m_session.filter.find.isEmpty()) {
        m_findCount->clear();
        return;
    }
    m_findCount->setText(
        tr("%1 of %2")
            .arg(Csv::withThousands(qsizetype(m_model->visible().size())),
                 Csv::withThousands(Tables::rowsOfShownStatuses(*result, m_session.filter))));
}

void TableWindow::updateSideLabels()
{
    for (int side = 0; side < 2; ++side) {
        const QString text = m_session.describe(side);
        m_sideLabels[size_t(side)]->setText(text);
        m_sideLabels[size_t(side)]->setToolTip(
            m_session.source(side).path.isEmpty() ? text : m_session.source(side).path);
        m_sheetChoosers[size_t(side)]->showSheets(m_session.source(side));
    }
}

void TableWindow::updateHiddenColumns()
{
    if (!m_session.data())
        return;
    const std::vector<bool> shown = Tables::columnsWithChanges(*m_session.data());
    for (int c = 0; c < int(shown.size()); ++c)
        m_view->setColumnHidden(c, m_changedColumnsOnly && !shown[size_t(c)]);
}

void TableWindow::setChangedColumnsOnly(bool only)
{
    m_changedColumnsOnly = only;
    if (m_changedOnly->isChecked() != only) {
        const QSignalBlocker blocker(m_changedOnly);
        m_changedOnly->setChecked(only);
    }
    updateHiddenColumns();
}

void TableWindow::refilter()
{
    const std::shared_ptr<Tables::TableData> result = m_session.data();
    if (!result || m_busy)
        return;
    if (m_findStop)
        *m_findStop = true;
    const Tables::RowFilter filter = m_session.filter;
    std::vector<qint32> visible;
    if (!inBackground(tr("Filtering the rows…"),
                      [&] { visible = Tables::visibleRows(*result, filter); }))
        return;
    showVisible(std::move(visible));
}

// The find box as typed: small tables at once, large ones on a worker thread,
// a newer keystroke stopping an older run.
void TableWindow::findAsTyped()
{
    m_session.filter.find = m_find->text();
    const std::shared_ptr<Tables::TableData> result = m_session.data();
    if (!result || m_busy)
        return;
    if (m_findStop)
        *m_findStop = true;
    const Tables::RowFilter filter = m_session.filter;
    if (result->rows.size() <= kRowsFoundAtOnce) {
        showVisible(Tables::visibleRows(*result, filter));
        emit found();
        return;
    }
    auto stop = std::make_shared<std::atomic_bool>(false);
    m_findStop = stop;
    auto *watcher = new QFutureWatcher<std::vector<qint32>>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, stop] {
        watcher->deleteLater();
        if (*stop)
            return; // a newer find, a comparison or a filter came since
        showVisible(watcher->result());
        emit found();
    });
    m_findTask = QtConcurrent::run(&workerPool(), [this, result, filter, stop] {
        std::shared_lock lock(m_paneBytes);
        return Tables::visibleRows(*result, filter, stop.get());
    });
    watcher->setFuture(m_findTask);
}

void TableWindow::showVisible(std::vector<qint32> visible)
{
    m_model->show(m_session.data(), std::move(visible));
    updateFindCount();
    if (!m_session.filter.find.isEmpty() && m_model->rowCount() > 0)
        m_view->scrollToTop(); // the first match in sight
}

void TableWindow::showStatus(Status status, bool shown)
{
    m_session.filter.shown[size_t(status)] = shown;
    {
        const QSignalBlocker blocker(m_filters[size_t(status)]);
        m_filters[size_t(status)]->setChecked(shown);
    }
    refilter();
}

void TableWindow::setFindText(const QString &text)
{
    m_findTimer->stop();
    if (m_find->text() != text)
        m_find->setText(text);
    m_session.filter.find = text;
    refilter();
}

void TableWindow::showChangesIn(qsizetype mappingColumn)
{
    m_session.filter.changedIn = mappingColumn;
    m_changes->select(mappingColumn);
    refilter();
}

void TableWindow::filterByValue(int displayColumn, const QString &value, bool equals)
{
    if (m_session.filterByValue(displayColumn, value, equals))
        refilter();
}

// A column header's menu: filter by a value this column's cells contain or equal.
void TableWindow::headerMenu(int column, const QPoint &where)
{
    const std::shared_ptr<Tables::TableData> &result = m_session.data();
    if (!result || column < Tables::kFixedColumns)
        return;
    QMenu menu(this);
    auto *box = new QLineEdit(&menu);
    box->setPlaceholderText(tr("Value"));
    const QModelIndex current = m_view->currentIndex();
    box->setText(m_session.filter.valueColumn == result->mappingColumn(column)
                     ? m_session.filter.value
                 : current.isValid() ? m_model->index(current.row(), column).data().toString()
                                     : QString());
    auto *field = new QWidgetAction(&menu);
    field->setDefaultWidget(box);
    menu.addAction(field);
    QAction *contains = menu.addAction(tr("Rows whose %1 contains it").arg(result->header(column)));
    QAction *equals = menu.addAction(tr("Rows whose %1 equals it").arg(result->header(column)));
    QAction *clear = menu.addAction(tr("All rows"));
    clear->setEnabled(m_session.filter.valueColumn >= 0);
    connect(box, &QLineEdit::returnPressed, contains, &QAction::trigger);
    box->setFocus();
    QAction *chosen = menu.exec(where);
    if (chosen == contains || chosen == equals)
        filterByValue(column, box->text(), chosen == equals);
    else if (chosen == clear)
        filterByValue(column, QString(), false);
}

void TableWindow::sortBy(int column)
{
    if (!m_session.data() || m_busy)
        return;
    m_session.sortBy(column);
    const Qt::SortOrder order =
        m_session.filter.descending ? Qt::DescendingOrder : Qt::AscendingOrder;
    m_view->horizontalHeader()->setSortIndicator(column, order);
    m_view->frozenView().horizontalHeader()->setSortIndicator(column, order);
    refilter();
}

void TableWindow::moveToChangedCell(bool forward)
{
    const std::shared_ptr<Tables::TableData> &result = m_session.data();
    if (!result)
        return;
    const QModelIndex current = m_view->currentIndex();
    const qsizetype row = current.isValid() ? current.row() : (forward ? -1 : 0);
    const int column =
        current.isValid() ? current.column() : (forward ? -1 : result->columnCount());
    const auto next = Tables::nextChangedCell(*result, m_model->visible(), row, column, forward);
    if (!next) {
        showMoveNote(tr("No changed cell"));
        return;
    }
    if (next->first >= m_model->rowCount())
        m_model->showAllNow(); // rows still coming in
    const QModelIndex target = m_model->index(int(next->first), next->second);
    m_view->setFocus(Qt::ShortcutFocusReason);
    m_view->setCurrentIndex(target);
    m_view->scrollTo(target, QAbstractItemView::PositionAtCenter);
    const auto [at, total] = Tables::changePosition(*result, m_model->visible(), next->first);
    showMoveNote(tr("Change %1 of %2").arg(Csv::withThousands(at), Csv::withThousands(total)));
}

void TableWindow::showMoveNote(const QString &text)
{
    m_moveNote->setText(text);
    m_moveNote->show();
    m_moveNoteTimer->start(kMoveNoteMs);
}

// What the view shows of the selected rows: its columns in their order,
// hidden ones left out.
void TableWindow::copySelection()
{
    const std::shared_ptr<Tables::TableData> &result = m_session.data();
    if (!result)
        return;
    // In the order the view shows them.
    std::vector<int> positions;
    for (const QModelIndex &index : m_view->selectionModel()->selectedRows())
        positions.push_back(index.row());
    if (positions.empty())
        return;
    std::sort(positions.begin(), positions.end());
    std::vector<qint32> rows;
    for (const int at : positions)
        rows.push_back(m_model->visible()[size_t(at)]);
    std::vector<int> columns;
    const QHeaderView *header = m_view->horizontalHeader();
    for (int visual = 0; visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        if (!header->isSectionHidden(logical))
            columns.push_back(logical);
    }
    QApplication::clipboard()->setText(Tables::tabSeparated(*result, rows, columns));
}

void TableWindow::rowChosen(const QModelIndex &index)
{
    const std::shared_ptr<Tables::TableData> &result = m_session.data();
    if (!onRowChosen || !result || !index.isValid())
        return;
    const Tables::DisplayRow &row = m_model->displayRow(index.row());
    onRowChosen(result->comparison.table1.get(), row.record1, result->comparison.table2.get(),
                row.record2);
}

void TableWindow::watchFiles()
{
    m_changedBar->watch({m_session.source(0).path, m_session.source(1).path});
}

void TableWindow::checkFilesOnDisk()
{
    const bool compared = m_session.data() || !m_session.newPair();
    m_changedBar->showChanged(compared ? m_session.changedOnDisk() : QStringList());
}

void TableWindow::chooseFile(int side)
{
    const QString path = m_dialogs.fileDialog(
        {tr("Open File #%1").arg(side + 1),
         QStringLiteral("CSV Files (*.csv)|*.csv|Text Files (*.txt)|*.txt|All Files (*.*)|*.*|"),
         false});
    if (!path.isEmpty() && openFile(side, path))
        compare();
}

// Another sheet of a side's workbook: read again with it, and compared.
void TableWindow::chooseSheet(int side, int sheet)
{
    const QString path = m_session.source(side).path;
    if (m_busy || path.isEmpty())
        return;
    if (openFile(side, path, sheet))
        compare();
    else
        updateSideLabels(); // the chooser shows the sheet still read
}

void TableWindow::chooseReport()
{
    if (!m_session.data())
        return;
    const QString path =
        m_dialogs.fileDialog({tr("Save Report"), Tables::reportFileFilter(), true});
    if (path.isEmpty())
        return;
    saveReport(path, Tables::reportFormatFor(path));
}

bool TableWindow::saveReport(const QString &path, Csv::ReportFormat format)
{
    const std::shared_ptr<const Tables::TableData> content = m_session.data();
    if (!content)
        return false;
    Csv::ReportOptions names = m_session.reportNames();
    // The html and xlsx reports state the rules the cells were compared by.
    names.rules = m_session.used().rules;
    QString error;
    const bool done = inBackground(tr("Saving the report…"), [&] {
        error = Tables::writeReportFile(path, content->comparison, format, names);
    });
    if (done && error.isEmpty())
        return true;
    if (!error.isEmpty())
        showError(tr("Cannot save %1: %2").arg(path, error));
    return false;
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

void TableWindow::dropEvent(QDropEvent *event)
{
    QStringList paths;
    for (const QUrl &url : event->mimeData()->urls()) {
        if (url.isLocalFile())
            paths << url.toLocalFile();
    }
    if (paths.isEmpty())
        return;
    event->acceptProposedAction();
    if (paths.size() >= 2) {
        if (openFile(0, paths[0]) && openFile(1, paths[1]))
            compare();
        return;
    }
    // One file: the side of the window it was dropped on.
    const int side = event->position().x() < width() / 2 ? 0 : 1;
    if (openFile(side, paths[0]))
        compare();
}

void TableWindow::restoreSettings()
{
    const auto value = [this](const QString &key) {
        return m_settings.value(Settings::kAppName, kSection, key).value_or(QString());
    };
    const QByteArray geometry =
        QByteArray::fromBase64(value(QStringLiteral("Geometry")).toLatin1());
    if (!geometry.isEmpty())
        restoreGeometry(geometry);
    const QByteArray splitter =
        QByteArray::fromBase64(value(QStringLiteral("Splitter")).toLatin1());
    if (!splitter.isEmpty())
        m_splitter->restoreState(splitter);
    m_options->restore(value(QStringLiteral("Options")));
}

void TableWindow::storeSettings()
{
    const auto store = [this](const QString &key, const QString &text) {
        try {
            m_settings.setValue(Settings::kAppName, kSection, key, text);
        } catch (const AppError &) {
            // The window works the same without its remembered layout.
        }
    };
    store(QStringLiteral("Geometry"), QString::fromLatin1(saveGeometry().toBase64()));
    store(QStringLiteral("Splitter"), QString::fromLatin1(m_splitter->saveState().toBase64()));
    store(QStringLiteral("Options"), m_options->saved());
    if (m_session.data()) {
        store(QStringLiteral("Columns"),
              QStringLiteral("%1 ").arg(m_model->columnCount())
                  + QString::fromLatin1(m_view->horizontalHeader()->saveState().toBase64()));
    }
}

// Column widths, when the table has as many columns as when they were stored.
void TableWindow::restoreColumnWidths()
{
    const QString stored = m_settings.value(Settings::kAppName, kSection, QStringLiteral("Columns"))
                               .value_or(QString());
    if (stored.section(u' ', 0, 0).toInt() != m_model->columnCount())
        return;
    QHeaderView *header = m_view->horizontalHeader();
    header->restoreState(QByteArray::fromBase64(stored.section(u' ', 1).toLatin1()));
    const Tables::RowFilter &filter = m_session.filter;
    header->setSortIndicator(filter.sortColumn,
                             filter.descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    updateHiddenColumns();
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
    if (m_busy) {
        event->ignore();
        return;
    }
    storeSettings();
    QWidget::closeEvent(event);
}
