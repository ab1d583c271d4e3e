// The optional skin: a Qt style sheet in "x/o.cjs" beside the program.
#include "window/Skin.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>

#include "base/AppError.h"
#include "base/Product.h"
#include "window/Form1.h"

namespace Main {

namespace {

void paintButtonFace(QWidget *w, const QColor &face)
{
    QPalette p = w->palette();
    p.setColor(QPalette::Window, face);
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

} // namespace

void ApplySkin(Form1 &form)
{
    const QFileInfo skin(form.programFolder().file(Product::kSkin));
    if (!skin.isFile() || skin.isHidden())
        return;
    const QColor face = QApplication::palette().color(QPalette::Button);
    paintButtonFace(&form, face);
    for (QWidget *w : form.findChildren<QWidget *>()) {
        if (qobject_cast<QRadioButton *>(w) || qobject_cast<QCheckBox *>(w)
            || qobject_cast<QGroupBox *>(w) || qobject_cast<QLabel *>(w))
            paintButtonFace(w, face);
    }
    QFile file(skin.filePath());
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        throw AppError(file.errorString());
    form.setStyleSheet(QString::fromUtf8(file.readAll()));
}

} // namespace Main
