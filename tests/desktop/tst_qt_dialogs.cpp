// The Qt dialogs behind the platform interfaces, driven as a user would while they are open.

#include "fakes/TestSupport.h"
#include "platform/FileDialogs.h"
#include "desktop/QtServices.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

const QString kFilter = QString::fromUtf16(platform::kTextFilesFilter);

// Runs act on the modal dialog of that type as soon as it is open; anything else modal is closed.
template <class Dialog> void whenOpen(std::function<void(Dialog&)> act) {
    QTimer::singleShot(0, [act = std::move(act)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* dialog = qobject_cast<Dialog*>(modal))
            act(*dialog);
        else if (modal != nullptr)
            modal->close();
    });
}

} // namespace

Q_DECLARE_METATYPE(QMessageBox::StandardButton)

namespace {

QLineEdit& nameField(QFileDialog& dialog) {
    auto* field = dialog.findChild<QLineEdit*>(u"fileNameEdit"_s);
    Q_ASSERT(field != nullptr);
    return *field;
}

// Types into the name field key by key with the keyboard focus in it, as a user does (the dialog
// handles each key before the next).
void typeName(QFileDialog& dialog, const QString& text) {
    QApplication::setActiveWindow(&dialog);
    QLineEdit& field = nameField(dialog);
    field.setFocus();
    for (QChar key : text) {
        QTest::keyClicks(&field, QString(key));
        QTest::qWait(0); // everything the key set off, the completion included, before the next key
    }
}

// Types the name, then opens or saves.
void typeAndAccept(QFileDialog& dialog, const QString& text) {
    typeName(dialog, text);
    static_cast<QDialog&>(dialog).accept(); // as the Open or Save button does
}

} // namespace

class QtDialogsTest : public QObject {
    Q_OBJECT
private slots:
    void init();

    void aDialogOffersOnlyTheNameItSavedItself_data();
    void aDialogOffersOnlyTheNameItSavedItself();
    void saveDialogAsksAndAddsTheExtensionAsRequested_data();
    void saveDialogAsksAndAddsTheExtensionAsRequested();
    void aSaveDialogBelongsToTheWindowItIsOpenedFrom();
    void allFilesListsNamesWithoutADot();
    void typedNamesAllComeBackInTypedOrder_data();
    void typedNamesAllComeBackInTypedOrder();
    void boxesShowTheOrdinaryPointerOverTheBusyOne_data();
    void boxesShowTheOrdinaryPointerOverTheBusyOne();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

void QtDialogsTest::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void QtDialogsTest::aDialogOffersOnlyTheNameItSavedItself_data() {
    QTest::addColumn<QString>("next"); // "load", or the memory of the save dialog opened next
    QTest::addColumn<bool>("offered");
    QTest::newRow("load dialog") << u"load"_s << false; // Enter would load the results as sides
    QTest::newRow("another save dialog") << u"Side List"_s << false;
    QTest::newRow("the same save dialog") << u"Results"_s << true;
}

void QtDialogsTest::aDialogOffersOnlyTheNameItSavedItself() {
    QFETCH(QString, next);
    QFETCH(bool, offered);
    const QString results = m_dir->filePath(u"results.txt"_s);
    fakes::writeFile(results, "Results\t\r\n");
    platform::QtFileDialogs dialogs;
    whenOpen<QFileDialog>([&](QFileDialog& dialog) { typeAndAccept(dialog, results); });
    QCOMPARE(dialogs.getSaveFileName({.title = u"Save"_s, .filter = kFilter, .memory = u"Results"_s}), results);

    QString startName = u"(not opened)"_s;
    QString startFolder;
    whenOpen<QFileDialog>([&](QFileDialog& dialog) {
        startName = nameField(dialog).text();
        startFolder = dialog.directory().absolutePath();
        dialog.reject();
    });
    if (next == u"load"_s)
        QCOMPARE(dialogs.getOpenFileNames(u"Load"_s, kFilter), QStringList());
    else
        QCOMPARE(dialogs.getSaveFileName({.title = u"Save"_s, .filter = kFilter, .memory = next}), QString());
    QCOMPARE(startName, offered ? u"results.txt"_s : QString());
    QCOMPARE(startFolder, QDir(m_dir->path()).absolutePath());
}

void QtDialogsTest::saveDialogAsksAndAddsTheExtensionAsRequested_data() {
    QTest::addColumn<bool>("asksAndAdds"); // else the results' rule: neither
    QTest::addColumn<int>("filter");       // the filter chosen: 0 CSV, 1 All Files
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("exists"); // of the file the name ends up as
    QTest::addColumn<QMessageBox::StandardButton>("answer");
    QTest::addColumn<QString>("saved"); // empty: the dialog was left without a name
    const auto none = QMessageBox::NoButton;
    QTest::newRow("a bare name gets the filter's extension")
        << true << 0 << u"stats"_s << false << none << u"stats.csv"_s;
    QTest::newRow("a name with an extension keeps it")
        << true << 0 << u"stats.txt"_s << false << none << u"stats.txt"_s;
    QTest::newRow("All Files takes the name as typed") << true << 1 << u"stats"_s << false << none << u"stats"_s;
    QTest::newRow("an existing file, replaced")
        << true << 0 << u"stats"_s << true << QMessageBox::Yes << u"stats.csv"_s;
    QTest::newRow("an existing file, kept") << true << 0 << u"stats"_s << true << QMessageBox::No << QString();
    QTest::newRow("results: as typed, never asked") << false << 0 << u"stats"_s << true << none << u"stats"_s;
}

void QtDialogsTest::saveDialogAsksAndAddsTheExtensionAsRequested() {
    QFETCH(bool, asksAndAdds);
    QFETCH(int, filter);
    QFETCH(QString, typed);
    QFETCH(bool, exists);
    QFETCH(QMessageBox::StandardButton, answer);
    QFETCH(QString, saved);
    if (exists)
        fakes::writeFile(m_dir->filePath(asksAndAdds ? u"stats.csv"_s : typed), "Side,Count\r\n");
    platform::QtFileDialogs dialogs;
    QString question;
    whenOpen<QFileDialog>([&](QFileDialog& dialog) {
        dialog.setDirectory(m_dir->path());
        auto* filters = dialog.findChild<QComboBox*>(u"fileTypeCombo"_s);
        QVERIFY(filters != nullptr);
        for (int step = 0; step < filter; ++step)
            QTest::keyClick(filters, Qt::Key_Down); // as the user picks it
        typeName(dialog, typed);
        QTimer::singleShot(0, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                question = box->text();
                box->button(answer)->click();
            }
        });
        static_cast<QDialog&>(dialog).accept();
        if (dialog.isVisible()) // No: back in the dialog, which the user then leaves
            dialog.reject();
    });

    const QString chosen = dialogs.getSaveFileName({.title = u"Save Statistics"_s,
                                                    .filter = u"CSV Files (*.csv)|*.csv|All Files (*.*)|*.*|"_s,
                                                    .memory = u"Statistics"_s,
                                                    .askBeforeReplacing = asksAndAdds,
                                                    .addFilterExtension = asksAndAdds});
    QCOMPARE(chosen, saved.isEmpty() ? QString() : m_dir->filePath(saved));
    QCOMPARE(!question.isEmpty(), answer != QMessageBox::NoButton);
    QVERIFY(question.isEmpty() || question.startsWith(u"stats.csv"_s));
}

void QtDialogsTest::aSaveDialogBelongsToTheWindowItIsOpenedFrom() {
    // Apart, and near enough to the middle of the screen for the dialog to fit round either's centre.
    QWidget main;
    main.setGeometry(220, 150, 200, 200);
    QWidget other(&main, Qt::Window);
    other.setGeometry(380, 250, 200, 200);
    for (QWidget* window : {&main, &other}) {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
    }
    platform::QtFileDialogs dialogs;
    dialogs.setParentWindow(&main);
    const QWidget* parent = nullptr;
    QPoint centre;
    bool modal = false;
    whenOpen<QFileDialog>([&](QFileDialog& dialog) {
        parent = dialog.parentWidget();
        centre = dialog.frameGeometry().center();
        modal = dialog.isModal();
        dialog.reject();
    });
    dialogs.getSaveFileName({.title = u"Save"_s, .filter = kFilter, .memory = u"Results"_s, .owner = &other});
    QCOMPARE(parent, &other);
    QVERIFY(modal);
    QVERIFY2((centre - other.frameGeometry().center()).manhattanLength() <= 2,
             qPrintable(u"centred at %1,%2"_s.arg(centre.x()).arg(centre.y())));
}

void QtDialogsTest::allFilesListsNamesWithoutADot() {
    for (const QString& name : {u"sides.txt"_s, u"sides"_s, u"notes.md"_s})
        fakes::writeFile(m_dir->filePath(name), "A\n");
    const QString allFiles = platform::QtFileDialogs::toQtFilter(kFilter).split(u";;"_s).last();
    QVERIFY(allFiles.startsWith(u"All Files"_s));

    QFileDialog dialog(nullptr, QString(), m_dir->path(), platform::QtFileDialogs::toQtFilter(kFilter));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.selectNameFilter(allFiles);
    auto* list = dialog.findChild<QListView*>(u"listView"_s);
    QVERIFY(list != nullptr);
    const auto shown = [&] {
        QStringList names;
        for (int row = 0; row < list->model()->rowCount(list->rootIndex()); ++row)
            names.append(list->model()->index(row, 0, list->rootIndex()).data().toString());
        names.sort();
        return names;
    };
    QTRY_COMPARE(shown(), (QStringList{u"notes.md"_s, u"sides"_s, u"sides.txt"_s}));
}

void QtDialogsTest::typedNamesAllComeBackInTypedOrder_data() {
    QTest::addColumn<QString>("typed"); // "<other>" stands for another folder than the one shown
    QTest::addColumn<QStringList>("files");
    QTest::newRow("absolute paths from another folder")
        << u"\"<other>/one.txt\" \"<other>/two.txt\" \"<other>/three.txt\""_s
        << QStringList{u"<other>/one.txt"_s, u"<other>/two.txt"_s, u"<other>/three.txt"_s};
    QTest::newRow("not in the list's order")
        << u"\"<other>/two.txt\" \"<other>/one.txt\""_s << QStringList{u"<other>/two.txt"_s, u"<other>/one.txt"_s};
    QTest::newRow("names in the folder shown")
        << u"\"b.txt\" \"a.txt\""_s << QStringList{u"<shown>/b.txt"_s, u"<shown>/a.txt"_s};
    QTest::newRow("one name without quotes") << u"<other>/two.txt"_s << QStringList{u"<other>/two.txt"_s};
}

void QtDialogsTest::typedNamesAllComeBackInTypedOrder() {
    QFETCH(QString, typed);
    QFETCH(QStringList, files);
    const QString shown = m_dir->filePath(u"shown"_s);
    // A one-letter folder: with such names Qt's dialog was seen to answer without one of the typed files.
    const QString other = m_dir->filePath(u"B"_s);
    QVERIFY(QDir().mkpath(shown) && QDir().mkpath(other));
    for (const QString& file : {u"shown/a.txt"_s, u"shown/b.txt"_s, u"B/one.txt"_s, u"B/two.txt"_s, u"B/three.txt"_s})
        fakes::writeFile(m_dir->filePath(file), "A\n");
    typed.replace(u"<other>"_s, other);
    files.replaceInStrings(u"<other>"_s, other).replaceInStrings(u"<shown>"_s, shown);

    // given: the dialog shows one folder (the last one loaded from)
    platform::QtFileDialogs dialogs;
    whenOpen<QFileDialog>([&](QFileDialog& dialog) { typeAndAccept(dialog, shown + u"/a.txt"_s); });
    QCOMPARE(dialogs.getOpenFileNames(u"Load"_s, kFilter), QStringList{shown + u"/a.txt"_s});

    // when: the user types the names key by key, while the dialog completes them
    whenOpen<QFileDialog>([&](QFileDialog& dialog) { typeAndAccept(dialog, typed); });
    QCOMPARE(dialogs.getOpenFileNames(u"Load"_s, kFilter), files);
}

void QtDialogsTest::boxesShowTheOrdinaryPointerOverTheBusyOne_data() {
    QTest::addColumn<bool>("inputBox");
    QTest::newRow("message box") << false;
    QTest::newRow("input box") << true;
}

void QtDialogsTest::boxesShowTheOrdinaryPointerOverTheBusyOne() {
    QFETCH(bool, inputBox);
    // given: a long command's busy pointer
    QApplication::setOverrideCursor(Qt::WaitCursor);
    std::optional<Qt::CursorShape> whileShown;
    const auto look = [&](QDialog& box) {
        whileShown = QApplication::overrideCursor()->shape();
        box.reject();
    };

    if (inputBox) {
        whenOpen<QInputDialog>(look);
        platform::QtInputBox().ask(u"Enter new entry to add: "_s, QString(), QString());
    } else {
        whenOpen<QMessageBox>(look);
        platform::QtMessageBox().show(u"Overflow"_s, platform::Exclamation, u"Application Error"_s);
    }

    QCOMPARE(whileShown, std::optional(Qt::ArrowCursor));
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor); // back once the box is gone
    QApplication::restoreOverrideCursor();
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

QTEST_MAIN(QtDialogsTest)
#include "tst_qt_dialogs.moc"
