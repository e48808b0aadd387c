#include "Application.h"

#include "Form1.h"

#include "platform/CloseSignals.h"
#include "platform/QtServices.h"

#include <QApplication>
#include <QScreen>

using namespace Qt::StringLiterals;

namespace shell {

int runApplication(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(u"Calverin"_s);
    QApplication::setApplicationName(u"Quorvin Tessaly"_s);
    QApplication::setApplicationVersion(QStringLiteral(QT_STRINGIFY(QT_APP_VERSION)));

    platform::QtServices qtServices;
    // Workbooks shown by an earlier run; the spreadsheet application has long read them.
    platform::XlsxSpreadsheets::removeStaleWorkbooks(platform::XlsxSpreadsheets::defaultFolder(),
                                                     std::chrono::hours(24));
    Form1 form(qtServices.services());
    qtServices.setParentWindow(&form);

    platform::CloseSignals closeSignals;
    QObject::connect(&closeSignals, &platform::CloseSignals::closeRequested, &form, [&form] { form.close(); });
    // A desktop session that quits the application without closing the window still saves.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &form, [&form] { form.close(); });

    form.Form_Load();
    if (const QScreen* screen = form.screen())
        form.move(screen->availableGeometry().center() - form.rect().center());
    form.show();
    return QApplication::exec();
}

} // namespace shell
