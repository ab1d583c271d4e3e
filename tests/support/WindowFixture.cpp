#include "WindowFixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QWidget>

#include "settings/Settings.h"

WindowFixture::WindowFixture()
{
    form = std::make_unique<Form1>(dialogs, settings, ProgramFolder(programFolder.path()));
}

WindowFixture::~WindowFixture()
{
    form.reset();
}

QString WindowFixture::writeFile(const QString &name, const QByteArray &bytes) const
{
    const QString path = QDir(programFolder.path()).filePath(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

QString WindowFixture::setting(const QString &key) const
{
    return settings.value(Settings::kAppName, Settings::kSection, key)
        .value_or(QStringLiteral("<missing>"));
}

QList<int> redOffsets(const RichTextBox &pane)
{
    QList<int> red;
    const QString text = pane.text();
    for (int i = 0; i < text.size(); ++i)
        if (text[i] != u'\n' && pane.colourAt(i) == kRed)
            red << i;
    return red;
}

int redPixels(QWidget &widget)
{
    const QImage image = widget.grab().toImage();
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            count += c.red() > 150 && c.green() < 80 && c.blue() < 80;
        }
    return count;
}
