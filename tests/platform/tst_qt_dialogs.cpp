// The Qt dialogs behind the platform interfaces, driven as a user would while they are open.

#include "fakes/TestSupport.h"
#include "platform/FileDialogs.h"
#include "platform/QtServices.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
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

QLineEdit& nameField(QFileDialog& dialog) {
    auto* field = dialog.findChild<QLineEdit*>(u"fileNameEdit"_s);
    Q_ASSERT(field != nullptr);
    return *field;
}

// Types into the name field key by key with the keyboard focus in it, as a user does (the dialog
// handles each key before the next), then opens or saves.
void typeAndAccept(QFileDialog& dialog, const QString& text) {
    QApplication::setActiveWindow(&dialog);
    QLineEdit& field = nameField(dialog);
    field.setFocus();
    for (QChar key : text) {
        QTest::keyClicks(&field, QString(key));
        QTest::qWait(0); // everything the key set off, the completion included, before the next key
    }
    static_cast<QDialog&>(dialog).accept(); // as the Open or Save button does
}

} // namespace

class QtDialogsTest : public QObject {
    Q_OBJECT
private slots:
    void init();

    void loadDialogStartsWithAnEmptyNameInTheLastFolder();
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

void QtDialogsTest::loadDialogStartsWithAnEmptyNameInTheLastFolder() {
    const QString results = m_dir->filePath(u"results.txt"_s);
    fakes::writeFile(results, "Results\t\r\n");
    platform::QtFileDialogs dialogs;
    whenOpen<QFileDialog>([&](QFileDialog& dialog) { typeAndAccept(dialog, results); });
    QCOMPARE(dialogs.getSaveFileName(u"Save"_s, kFilter), results);

    QString startName = u"(not opened)"_s;
    QString startFolder;
    whenOpen<QFileDialog>([&](QFileDialog& dialog) {
        startName = nameField(dialog).text();
        startFolder = dialog.directory().absolutePath();
        dialog.reject();
    });
    QCOMPARE(dialogs.getOpenFileNames(u"Load"_s, kFilter), QStringList());
    QCOMPARE(startName, QString()); // not the results, which Enter would load as sides
    QCOMPARE(startFolder, QDir(m_dir->path()).absolutePath());
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
