#include "window/Form1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QUrl>

#include "pane/RichTextBox.h"
#include "runner/BackgroundRun.h"
#include "window/ControlTable.h"
#include "window/PaneMenu.h"

namespace {

QFont designFont(qreal points)
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(points);
    font.setBold(true);
    return font;
}

QRect pixelRect(const ControlTable::Control &c)
{
    using ControlTable::pixels;
    return {pixels(c.left), pixels(c.top), pixels(c.width), pixels(c.height)};
}

QString text(std::string_view utf8)
{
    return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
}

// Black on white, whatever the desktop's theme: the window keeps its own look.
QPalette windowPalette()
{
    QPalette p(Qt::black, Qt::white, Qt::white, Qt::darkGray, Qt::gray, Qt::black, Qt::white,
               Qt::white, Qt::white);
    p.setColor(QPalette::Highlight, QColor(0x30, 0x8c, 0xc6));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::PlaceholderText, Qt::darkGray);
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, Qt::gray);
    return p;
}

void paintWhite(QWidget *w, QPalette::ColorRole role)
{
    QPalette p = w->palette();
    p.setColor(role, Qt::white);
    w->setPalette(p);
}

// Makes the kind of control the member holds.
struct ControlMaker
{
    Form1 &form;
    const ControlTable::Control &row;
    QWidget *parent;

    QWidget *operator()(QGroupBox *Form1::*member) const
    {
        auto *box = new QGroupBox(text(row.label), parent);
        paintWhite(box, QPalette::Window); // opaque, so it covers the background picture
        box->setAutoFillBackground(true);
        return form.*member = box;
    }
    QWidget *operator()(RichTextBox *Form1::*member) const
    {
        auto *pane = new RichTextBox(text(row.name), parent);
        pane->setText(text(row.name));
        return form.*member = pane;
    }
    QWidget *operator()(QRadioButton *Form1::*member) const
    {
        return form.*member = new QRadioButton(text(row.label), parent);
    }
    QWidget *operator()(QPushButton *Form1::*member) const
    {
        auto *button = new QPushButton(text(row.label), parent);
        paintWhite(button, QPalette::Button);
        button->setAutoDefault(false);
        return form.*member = button;
    }
};

} // namespace

Form1::Form1(Platform::Dialogs &dialogs, Platform::SettingsBackend &settings,
             ProgramFolder programFolder, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                          | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      CommonDialog1(dialogs), m_dialogs(dialogs), m_settings(settings),
      m_programFolder(std::move(programFolder))
{
    prepareForBackgroundWork(); // the window answers first, however busy the work
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Form1"));
    setFixedSize(ControlTable::pixels(ControlTable::kClientWidth),
                 ControlTable::pixels(ControlTable::kClientHeight));
    setFont(designFont(9));
    setPalette(windowPalette());
    setAutoFillBackground(true);
    setAcceptDrops(true);
    createControls();
    wireEvents();
    m_paneMenu = std::make_unique<PaneMenu>(*this);
}

QString Form1::loadedFile(int file) const
{
    const RichTextBox &pane = *(file == 1 ? RichTextBox1 : RichTextBox2);
    const LoadedFile &loaded = m_loadedFiles[size_t(file - 1)];
    const bool same = loaded.text == pane.textSerial() && loaded.length == pane.buffer().size()
                      && !pane.isModified();
    return same ? loaded.path : QString();
}

void Form1::setLoadedFile(int file, const QString &path)
{
    const RichTextBox &pane = *(file == 1 ? RichTextBox1 : RichTextBox2);
    m_loadedFiles[size_t(file - 1)] = {path, pane.textSerial(), pane.buffer().size()};
}

Form1::~Form1() = default;

void Form1::createControls()
{
    // The background picture lies under every control created after it.
    auto *picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("BackgroundPicture"));
    picture->setPixmap(QPixmap(QStringLiteral(":/art/background.png")));
    picture->setGeometry(0, 0, 32, 32);

    std::vector<std::pair<int, QWidget *>> tabOrder;
    for (const ControlTable::Control &row : ControlTable::kControls) {
        QWidget *w = createControl(row);
        m_controls.push_back(w);
        if (!qobject_cast<QGroupBox *>(w))
            tabOrder.emplace_back(row.tabIndex, w);
    }
    // As on Windows, Tab enters the option group on its selected option and
    // leaves it from there; the arrows move between the options.
    for (QRadioButton *option : {Option1, Option2}) {
        connect(option, &QRadioButton::toggled, option, [option](bool checked) {
            option->setFocusPolicy(checked ? Qt::StrongFocus : Qt::ClickFocus);
        });
        option->setFocusPolicy(Qt::ClickFocus);
    }
    Option2->setChecked(true);
    std::sort(tabOrder.begin(), tabOrder.end());
    for (size_t i = 0; i + 1 < tabOrder.size(); ++i)
        QWidget::setTabOrder(tabOrder[i].second, tabOrder[i + 1].second);
}

QWidget *Form1::createControl(const ControlTable::Control &row)
{
    QWidget *parent = row.container == "Form1" ? this : findChild<QWidget *>(text(row.container));
    QWidget *w = std::visit(ControlMaker{*this, row, parent}, row.member);
    w->setObjectName(text(row.name));
    w->setGeometry(pixelRect(row));
    w->setFont(designFont(row.points));
    w->setAccessibleName(text(row.label)); // what screen readers announce
    return w;
}

void Form1::wireEvents()
{
    for (size_t i = 0; i < ControlTable::kControls.size(); ++i) {
        const ControlTable::Handler click = ControlTable::kControls[i].click;
        if (auto *button = qobject_cast<QPushButton *>(m_controls[i]))
            connect(button, &QPushButton::clicked, this, [this, click] { runClick(click); });
        else if (auto *option = qobject_cast<QRadioButton *>(m_controls[i]))
            connect(option, &QRadioButton::clicked, this, [this, click] { (this->*click)(); });
    }

    // Mouse moves and file drops over any part of the window come through here.
    setMouseTracking(true);
    installEventFilter(this);
    for (QWidget *w : findChildren<QWidget *>()) {
        w->setMouseTracking(true);
        w->installEventFilter(this);
    }
    // Files dropped on a file's frame or on one of its panes load into it.
    for (QWidget *target : std::initializer_list<QWidget *>{
             Frame1, Frame3, RichTextBox1, RichTextBox2, RichTextBox3, RichTextBox4})
        target->setAcceptDrops(true);
    createMarkKeys();
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
    case QEvent::KeyPress:
        if (pressesButton(target, static_cast<QKeyEvent *>(event)))
            return true;
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

bool Form1::pressesButton(QWidget *target, const QKeyEvent *event)
{
    // Enter or Return on a focused button presses it, as Space does.
    auto *button = qobject_cast<QPushButton *>(target);
    const int key = event->key();
    if (!button || (key != Qt::Key_Return && key != Qt::Key_Enter)
        || (event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    button->click();
    return true;
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
