#include "Application.h"

#include "Form1.h"

#include "bag/KeptBag.h"
#include "desktop/QtServices.h"
#include "history/HistorySettings.h"
#include "history/RollHistory.h"
#include "platform/CloseSignals.h"
#include "platform/Identity.h"

#include <QApplication>
#include <QIcon>
#include <QScreen>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace shell {

namespace {

const char* const kVersion = QT_STRINGIFY(TESSALY_VERSION);

QIcon programIcon() {
    QIcon icon;
    icon.addFile(u":/icons/quorvin-tessaly-48.png"_s);
    icon.addFile(u":/icons/quorvin-tessaly-256.png"_s);
    return QIcon::fromTheme(QString::fromUtf16(platform::kDesktopFileId), icon);
}

} // namespace

int runApplication(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QString::fromUtf16(platform::kOrganizationName));
    QApplication::setApplicationName(QString::fromUtf16(platform::kApplicationName));
    QApplication::setApplicationVersion(QString::fromLatin1(kVersion));
    QApplication::setDesktopFileName(QString::fromUtf16(platform::kDesktopFileId));
    QApplication::setWindowIcon(programIcon());
    // Qt has taken its own options out by now; the program takes no others.
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() > 1) {
        std::fprintf(stderr, "quorvin-tessaly: unknown option '%s' (try --help)\n", qPrintable(arguments.at(1)));
        return 2;
    }

    platform::QtServices qtServices;
    // Workbooks shown by an earlier run; the spreadsheet application has long read them.
    platform::XlsxSpreadsheets::removeStaleWorkbooks(platform::XlsxSpreadsheets::defaultFolder(),
                                                     std::chrono::hours(24));
    // Made before the window and gone after it: the window's last rolls are written before the end.
    history::RollHistory rollHistory(history::defaultDatabasePath());
    Form1 form(qtServices.services());
    qtServices.setParentWindow(&form);

    platform::CloseSignals closeSignals;
    QObject::connect(&closeSignals, &platform::CloseSignals::closeRequested, &form, [&form] { form.close(); });
    // A desktop session that quits the application without closing the window still saves.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &form, [&form] { form.close(); });

    form.Form_Load();
    form.openKeptBag(bag::defaultPath());
    form.setRollHistory(&rollHistory);
    if (const QScreen* screen = form.screen())
        form.move(screen->availableGeometry().center() - form.rect().center());
    form.show();
    return QApplication::exec();
}

} // namespace shell
