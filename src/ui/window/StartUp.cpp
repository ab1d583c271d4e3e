// Start-up: puts the window into its working state before it is first shown.
#include <QFile>
#include <QIcon>
#include <QPixmap>
#include <QRadioButton>

#include "base/AppError.h"
#include "base/Main.h"
#include "base/Product.h"
#include "pane/RichTextBox.h"
#include "settings/Settings.h"
#include "window/ErrorTrap.h"
#include "window/Form1.h"
#include "window/Skin.h"

namespace {

// A Windows cursor file keeps its hotspot where an icon keeps planes and depth.
QPoint cursorHotspot(const QByteArray &bytes)
{
    if (bytes.size() < 14)
        return {};
    auto word = [&bytes](int at) {
        return int(quint8(bytes[at])) | (int(quint8(bytes[at + 1])) << 8);
    };
    return word(2) == 2 ? QPoint(word(10), word(12)) : QPoint();
}

QCursor loadCursorPicture(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw AppError(file.errorString());
    const QByteArray bytes = file.readAll();
    QPixmap picture;
    if (!picture.loadFromData(bytes, "CUR") && !picture.loadFromData(bytes))
        throw AppError(QStringLiteral("Invalid picture"));
    const QPoint hot = cursorHotspot(bytes);
    return QCursor(picture, hot.x(), hot.y());
}

QIcon programIcon()
{
    QIcon icon;
    for (int size : {32, 48, 128, 256})
        icon.addFile(QStringLiteral(":/art/icon-%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace

void Form1::Form_Load()
{
    const ErrorTrap trap(m_dialogs, QStringLiteral("in Pendrel2021/08/31.Form1.Form_Load "));
    trap(100, [this] { Main::ApplySkin(*this); });
    trap(104, [this] { RichTextBox1->setText(QString()); });
    trap(106, [this] { RichTextBox2->setText(QString()); });
    trap(108, [this] { RichTextBox3->setText(QString()); });
    trap(110, [this] { RichTextBox4->setText(QString()); });
    trap(112, [this] { RichTextBox1->setEditMenuEnabled(true); });
    trap(114, [this] { RichTextBox2->setEditMenuEnabled(true); });
    trap(116, [this] { RichTextBox3->setEditMenuEnabled(true); });
    trap(118, [this] { RichTextBox4->setEditMenuEnabled(true); });
    bool hasCursorFile = false;
    trap(120,
         [&] { hasCursorFile = Main::FileExists(m_programFolder.file(Product::kHandCursor)); });
    if (hasCursorFile)
        trap(122, [this] {
            setMouseIcon(loadCursorPicture(m_programFolder.file(Product::kHandCursor)));
        });
    trap(126, [this] { setWindowTitle(Product::kName); });
    trap(126, [this] { setWindowIcon(programIcon()); });
    trap(126, [] { Main::SetAppTitle(); });
    trap(152, [this] {
        setOptionValue(Option2, Settings::CBool(Settings::GetSetting(
                                    m_settings, Settings::kAppName, Settings::kSection,
                                    QStringLiteral("Option2"), 1)));
    });
    trap(154, [this] {
        setOptionValue(Option1, Settings::CBool(Settings::GetSetting(
                                    m_settings, Settings::kAppName, Settings::kSection,
                                    QStringLiteral("Option1"), 0)));
    });
}
