// The window at the desktop scale factors people use. Qt scales the layout itself; what can go
// wrong is a caption or a field that no longer fits its twip-sized box, or a blurry low-resolution
// rendering. Each factor runs in its own process, since Qt reads it once at start.

#include "fakes/Fakes.h"
#include "shell/Form1.h"

#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const char* const kChildFactor = "TESSALY_SCALING_CHILD";

// Returns an empty text when the window is sound at the factor the process was started with.
QString checkWindow(double factor) {
    fakes::FakeServices fake;
    fake.settings.values.insert(u"Dice"_s, u"Heads;Tails"_s);
    shell::Form1 form(fake.services);
    form.Form_Load();
    form.show();
    if (!QTest::qWaitForWindowExposed(&form))
        return u"window not exposed"_s;
    if (form.size() != QSize(568, 596))
        return u"logical size %1x%2"_s.arg(form.width()).arg(form.height());
    const QPixmap shot = form.grab();
    const QSize expected(qRound(568 * factor), qRound(596 * factor));
    if (shot.deviceIndependentSize().toSize() != QSize(568, 596) || (shot.size() - expected).width() > 1 ||
        (shot.size() - expected).height() > 1)
        return u"rendered %1x%2, expected %3x%4"_s.arg(shot.width())
            .arg(shot.height())
            .arg(expected.width())
            .arg(expected.height());
    for (const QPushButton* button : form.findChildren<QPushButton*>(Qt::FindDirectChildrenOnly)) {
        const int needed = button->fontMetrics().horizontalAdvance(button->text()) + 8;
        if (needed > button->width())
            return u"caption \"%1\" needs %2 of %3"_s.arg(button->text()).arg(needed).arg(button->width());
    }
    for (const QGroupBox* frame : form.findChildren<QGroupBox*>()) {
        if (frame->fontMetrics().horizontalAdvance(frame->title()) > frame->width())
            return u"frame title \"%1\" is clipped"_s.arg(frame->title());
    }
    for (const QLineEdit* field : form.findChildren<QLineEdit*>()) {
        if (field->fontMetrics().height() > field->height())
            return u"field %1 too short for its font"_s.arg(field->objectName());
    }
    return {};
}

} // namespace

class ScalingTest : public QObject {
    Q_OBJECT
private slots:
    void windowFitsAtEveryScale_data();
    void windowFitsAtEveryScale();
};

void ScalingTest::windowFitsAtEveryScale_data() {
    QTest::addColumn<QString>("factor");
    QTest::newRow("1") << u"1"_s;
    QTest::newRow("1.5") << u"1.5"_s;
    QTest::newRow("2") << u"2"_s;
}

void ScalingTest::windowFitsAtEveryScale() {
    QFETCH(QString, factor);
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(kChildFactor), factor);
    env.insert(u"QT_SCALE_FACTOR"_s, factor);
    env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {});
    QVERIFY(child.waitForFinished(60000));
    const QString problem = QString::fromUtf8(child.readAllStandardOutput()).trimmed();
    QVERIFY2(child.exitCode() == 0, qPrintable(problem + QString::fromUtf8(child.readAllStandardError())));
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsSet(kChildFactor)) {
        const double factor = qEnvironmentVariable(kChildFactor).toDouble();
        QApplication app(argc, argv);
        const QString problem = checkWindow(factor);
        std::fputs(qPrintable(problem), stdout);
        return problem.isEmpty() ? 0 : 1;
    }
    QApplication app(argc, argv);
    ScalingTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_scaling.moc"
