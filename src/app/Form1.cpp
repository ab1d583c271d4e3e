#include "app/Form1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QUrl>

#include "app/Layout.h"
#include "platform/RichTextBox.h"

namespace {

QFont designFont(qreal points)
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(points);
    font.setBold(true);
    return font;
}

QRect pixelRect(const Layout::Control &c)
{
    return {Layout::pixels(c.left), Layout::pixels(c.top), Layout::pixels(c.width),
            Layout::pixels(c.height)};
}

} // namespace

Form1::Form1(Platform::Dialogs &dialogs, Platform::SettingsBackend &settings, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                          | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      CommonDialog1(dialogs), m_dialogs(dialogs), m_settings(settings)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Form1"));
    setFixedSize(Layout::pixels(Layout::kClientWidth), Layout::pixels(Layout::kClientHeight));
    setFont(designFont(9));
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);
    setAcceptDrops(true);
    createControls();
    wireEvents();
}

Form1::~Form1() = default;

void Form1::createControls()
{
    auto frame = [this](const QString &caption) {
        auto *box = new QGroupBox(caption, this);
        // Opaque, so the frame covers the background picture.
        QPalette p = box->palette();
        p.setColor(QPalette::Window, Qt::white);
        box->setPalette(p);
        box->setAutoFillBackground(true);
        return box;
    };
    auto pane = [](const QString &name, QGroupBox *container) {
        auto *box = new RichTextBox(name, container);
        box->setFont(designFont(9));
        box->setPlainText(name);
        return box;
    };
    auto button = [this](const QString &caption) {
        auto *b = new QPushButton(caption, this);
        b->setFont(designFont(11.25));
        QPalette p = b->palette();
        p.setColor(QPalette::Button, Qt::white);
        b->setPalette(p);
        b->setAutoDefault(false);
        return b;
    };

    // The background picture lies under every control created after it.
    auto *picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("BackgroundPicture"));
    picture->setPixmap(QPixmap(QStringLiteral(":/art/background.png")));
    picture->setGeometry(0, 0, 32, 32);

    Frame3 = frame(QStringLiteral("CSV File #2"));
    RichTextBox4 = pane(QStringLiteral("RichTextBox4"), Frame3);
    RichTextBox2 = pane(QStringLiteral("RichTextBox2"), Frame3);
    Frame1 = frame(QStringLiteral("CSV File #1"));
    RichTextBox3 = pane(QStringLiteral("RichTextBox3"), Frame1);
    RichTextBox1 = pane(QStringLiteral("RichTextBox1"), Frame1);
    Frame2 = frame(QStringLiteral("Display Options (Use after clicking Start buttons)"));
    Option2 = new QRadioButton(QStringLiteral("Display only the lines with differences"), Frame2);
    Option1 = new QRadioButton(
        QStringLiteral("Display all lines but highlight the lines with differences"), Frame2);
    Option2->setChecked(true);
    PushButton3 = button(QStringLiteral("Load CSV File #1"));
    PushButton2 = button(QStringLiteral("Save Results #1"));
    PushButton4 = button(QStringLiteral("Load CSV File #2"));
    PushButton5 = button(QStringLiteral("Save Results #2"));
    PushButton1 = button(QStringLiteral("Find Differences (Lines)"));
    PushButton6 = button(QStringLiteral("Find Differences (Words)"));
    PushButton7 = button(QStringLiteral("Clear Text Above"));
    PushButton9 = button(QStringLiteral("Load Sample/Example Files"));

    const std::map<std::string_view, QWidget *> byName{
        {"Frame1", Frame1}, {"Frame2", Frame2}, {"Frame3", Frame3},
        {"RichTextBox1", RichTextBox1}, {"RichTextBox2", RichTextBox2},
        {"RichTextBox3", RichTextBox3}, {"RichTextBox4", RichTextBox4},
        {"Option1", Option1}, {"Option2", Option2},
        {"PushButton1", PushButton1}, {"PushButton2", PushButton2},
        {"PushButton3", PushButton3}, {"PushButton4", PushButton4},
        {"PushButton5", PushButton5}, {"PushButton6", PushButton6},
        {"PushButton7", PushButton7}, {"PushButton9", PushButton9}};
    std::vector<std::pair<int, QWidget *>> tabOrder;
    for (const Layout::Control &c : Layout::kControls) {
        QWidget *w = byName.at(c.name);
        if (w->objectName().isEmpty())
            w->setObjectName(QString::fromLatin1(c.name.data(), qsizetype(c.name.size())));
        w->setGeometry(pixelRect(c));
        tabOrder.emplace_back(c.tabIndex, w);
    }
    // Frames take no focus; the rest follow their tab indexes.
    std::sort(tabOrder.begin(), tabOrder.end());
    std::erase_if(tabOrder, [](const auto &entry) { return qobject_cast<QGroupBox *>(entry.second); });
    for (size_t i = 0; i + 1 < tabOrder.size(); ++i)
        QWidget::setTabOrder(tabOrder[i].second, tabOrder[i + 1].second);

    // What screen readers announce.
    for (QAbstractButton *b : findChildren<QAbstractButton *>())
        b->setAccessibleName(b->text());
    for (QGroupBox *f : {Frame1, Frame2, Frame3})
        f->setAccessibleName(f->title());
    RichTextBox1->setAccessibleName(QStringLiteral("CSV File #1: all lines"));
    RichTextBox2->setAccessibleName(QStringLiteral("CSV File #2: all lines"));
    RichTextBox3->setAccessibleName(QStringLiteral("CSV File #1: lines with differences"));
    RichTextBox4->setAccessibleName(QStringLiteral("CSV File #2: lines with differences"));
}

void Form1::wireEvents()
{
    const std::pair<QPushButton *, void (Form1::*)()> clicks[] = {
        {PushButton1, &Form1::PushButton1_Click}, {PushButton2, &Form1::PushButton2_Click},
        {PushButton3, &Form1::PushButton3_Click}, {PushButton4, &Form1::PushButton4_Click},
        {PushButton5, &Form1::PushButton5_Click}, {PushButton6, &Form1::PushButton6_Click},
        {PushButton7, &Form1::PushButton7_Click}, {PushButton9, &Form1::PushButton9_Click}};
    for (const auto &[button, handler] : clicks)
        connect(button, &QPushButton::clicked, this, [this, h = handler] { runClick(h); });
    connect(Option1, &QRadioButton::clicked, this, [this] { Option1_Click(); });
    connect(Option2, &QRadioButton::clicked, this, [this] { Option2_Click(); });

    // Mouse moves and file drops over any part of the window come through here.
    setMouseTracking(true);
    installEventFilter(this);
    for (QWidget *w : findChildren<QWidget *>()) {
        w->setMouseTracking(true);
        w->installEventFilter(this);
    }
    // Files dropped on a file's frame or on one of its panes load into it.
    for (QWidget *target : std::initializer_list<QWidget *>{Frame1, Frame3, RichTextBox1,
                                                            RichTextBox2, RichTextBox3,
                                                            RichTextBox4})
        target->setAcceptDrops(true);
}

void Form1::runClick(void (Form1::*handler)())
{
    // A click that arrives while a command runs (the window stays live during
    // long comparisons) does not start a second command inside the first.
    if (m_commandRunning)
        return;
    (this->*handler)();
}

// While a command runs, the user cannot edit the panes: a comparison that lets
// the window repaint must not see its text change under it.
Form1::CommandScope::CommandScope(Form1 &form) : m_form(form), m_owns(!form.m_commandRunning)
{
    if (!m_owns)
        return;
    m_form.m_commandRunning = true;
    for (RichTextBox *pane : m_form.panes()) {
        m_wasReadOnly.push_back(pane->isReadOnly());
        pane->setReadOnly(true);
    }
}

Form1::CommandScope::~CommandScope()
{
    if (!m_owns)
        return;
    const auto panes = m_form.panes();
    for (size_t i = 0; i < panes.size(); ++i)
        panes[i]->setReadOnly(m_wasReadOnly[i]);
    m_form.m_commandRunning = false;
}

std::array<RichTextBox *, 4> Form1::panes() const
{
    return {RichTextBox1, RichTextBox2, RichTextBox3, RichTextBox4};
}

void Form1::setOptionValue(QRadioButton *option, bool value)
{
    if (value) {
        option->setChecked(true);
        (option == Option1) ? Option1_Click() : Option2_Click();
        return;
    }
    option->setAutoExclusive(false);
    option->setChecked(false);
    option->setAutoExclusive(true);
}

void Form1::Form_Resize()
{
    RichTextBox3->setGeometry(RichTextBox1->geometry());
    RichTextBox4->setGeometry(RichTextBox2->geometry());
}

void Form1::Form_Unload()
{
    QApplication::exit(0);
}

void Form1::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_centred && screen()) {
        m_centred = true;
        QRect frame = frameGeometry();
        frame.moveCenter(screen()->availableGeometry().center());
        move(frame.topLeft());
    }
    Form_Resize();
}

void Form1::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        Form_Resize();
}

void Form1::closeEvent(QCloseEvent *event)
{
    event->accept();
    Form_Unload();
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    auto *target = qobject_cast<QWidget *>(watched);
    switch (event->type()) {
    case QEvent::MouseMove:
        // An unhandled move climbs from the widget under the pointer up to the
        // window; only its first stop reports it.
        if (target && !isSameMove(static_cast<QMouseEvent *>(event)))
            dispatchMouseMove(target);
        break;
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        if (target && handleDrop(target, event))
            return true;
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

bool Form1::isSameMove(const QMouseEvent *event)
{
    // Qt hands each parent a copy of the event, with the same time and place.
    const MoveStamp stamp{event->timestamp(), event->globalPosition()};
    const bool same = stamp.time == m_lastMove.time && stamp.global == m_lastMove.global;
    m_lastMove = stamp;
    return same;
}

bool Form1::handleDrop(QWidget *target, QEvent *event)
{
    auto *drop = static_cast<QDropEvent *>(event);
    if (!drop->mimeData()->hasUrls())
        return false;
    int file = 0;
    for (QWidget *w = target; w; w = w->parentWidget()) {
        if (w == Frame1)
            file = 1;
        if (w == Frame3)
            file = 2;
    }
    if (file == 0 || m_commandRunning) {
        drop->ignore();
        return true;
    }
    drop->acceptProposedAction();
    if (event->type() == QEvent::Drop) {
        QStringList paths;
        for (const QUrl &url : drop->mimeData()->urls())
            if (url.isLocalFile())
                paths << url.toLocalFile();
        if (!paths.isEmpty())
            loadDroppedFiles(file, paths);
    }
    return true;
}
