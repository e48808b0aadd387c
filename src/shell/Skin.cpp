#include "Skin.h"

#include "core/Main.h"

#include "platform/RuntimeError.h"

#include <QFile>
#include <QGroupBox>
#include <QPalette>
#include <QWidget>

using namespace Qt::StringLiterals;

namespace Main {

void ApplySkin(QWidget& form) {
    const QString path = FindProgramFile(u"x/o.cjs"_s);
    if (path.isEmpty())
        return;
    // Window and frames take the button-face colour, as a skinned window does.
    const QColor face = form.palette().color(QPalette::Button);
    auto paint = [&](QWidget& widget) {
        QPalette palette = widget.palette();
        palette.setColor(QPalette::Window, face);
        widget.setPalette(palette);
    };
    paint(form);
    for (QGroupBox* frame : form.findChildren<QGroupBox*>())
        paint(*frame);

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw platform::RuntimeError(platform::RuntimeError::PathFileAccessError);
    form.setStyleSheet(QString::fromUtf8(file.readAll()));
}

} // namespace Main
