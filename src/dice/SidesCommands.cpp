#include "SidesCommands.h"

#include "SideListLoader.h"
#include "SideListReader.h"
#include "SideListWriter.h"

#include "core/ListModel.h"
#include "core/MousePointer.h"
#include "core/Trap.h"
#include "platform/Clipboard.h"
#include "platform/FileDialogs.h"
#include "platform/InputBox.h"
#include "platform/MessageBox.h"
#include "platform/RuntimeError.h"
#include "platform/Services.h"

#include <qnamespace.h>

using namespace Qt::StringLiterals;

namespace dice {

QString sidesHeaderText(std::int64_t count) {
    return u"There are currently "_s + QString::number(count) + u" sides on this dice."_s;
}

bool SidesCommands::SideAlreadyInList(const QString& label) const {
    return Main::ListviewContainsText(m_sides, label);
}

void SidesCommands::refreshHeader() {
    m_sides.setHeaderText(1, sidesHeaderText(m_sides.itemCount()));
}

void SidesCommands::addSide() {
    core::Trap trap(m_services, u"Form1.PushButton6_Click"_s);
    SidesHistory::Change change(m_history, u"Add Side"_s);
    QString answer;
    trap(100, [&] { answer = m_services.inputBox->ask(QString::fromUtf16(kAddSidePrompt), QString(), QString()); });
    if (!trap.test(102, [&] { return !answer.isEmpty(); }))
        return;
    // A failing duplicate test resumes inside the branch: the side is appended untested.
    if (trap.test(104, [&] { return !SideAlreadyInList(answer); })) {
        trap(106, [&] { m_sides.addItem(answer); });
        trap(108, [&] { refreshHeader(); });
    }
}

void SidesCommands::clearList() {
    core::Trap trap(m_services, u"Form1.PushButton5_Click"_s);
    SidesHistory::Change change(m_history, u"Clear List"_s);
    if (trap.test(100, [&] { return !m_pointer.isBusy(); }))
        trap(102, [&] { change.removeAll(); });
    trap(104, [&] { refreshHeader(); });
}

bool SidesCommands::replaceSides(const core::TextRows& labels, const QString& procedure) {
    core::Trap trap(m_services, procedure);
    if (m_pointer.isBusy())
        return false;
    SidesHistory::Change change(m_history, u"Use Die"_s);
    const bool replaced = trap(0, [&] {
        change.removeAll();
        m_sides.addItems(labels);
    });
    trap(0, [&] { refreshHeader(); });
    return replaced;
}

void SidesCommands::removeOnDoubleClick() {
    // No trap of its own; anything unexpected is still reported rather than lost.
    core::Trap trap(m_services, u"Form1.ListView1_DblClick"_s);
    SidesHistory::Change change(m_history, u"Remove"_s);
    trap(0, [&] {
        // A list with items but no selection has nothing the user pointed at: leave it.
        if (!m_pointer.isBusy() && m_sides.itemCount() > 0) {
            if (const std::optional<std::int64_t> position = m_sides.selectedPosition())
                change.removeItems(*position, 1);
        }
        refreshHeader();
    });
}

void SidesCommands::keyDown(int key) {
    if (key != Qt::Key_Delete)
        return;
    core::Trap trap(m_services, u"Form1.ListView1_KeyDown"_s);
    SidesHistory::Change change(m_history, u"Remove"_s);
    trap(0, [&] { removeSelection(change); });
}

void SidesCommands::removeSelection(SidesHistory::Change& change) {
    if (m_pointer.isBusy() || m_sides.itemCount() == 0)
        return;
    // From the last run back, so the positions of the runs still to go stay put.
    const auto runs = m_sides.selectedRanges();
    for (auto run = runs.rbegin(); run != runs.rend(); ++run)
        change.removeItems(run->first, run->second);
}

void SidesCommands::loadExample(Example example) {
    struct Definition {
        const char16_t* procedure;
        bool refreshAfterEachAppend;
    };
    const Definition definition = [&]() -> Definition {
        switch (example) {
        case Example::Coin:
            return {u"Form1.PushButton1_Click", false};
        case Example::ClassicSixSided:
            return {u"Form1.PushButton2_Click", true};
        case Example::TwentySided:
            return {u"Form1.PushButton4_Click", true};
        case Example::RockPaperScissors:
            break;
        }
        return {u"Form1.PushButton7_Click", false};
    }();
    const QStringList labels = exampleLabels(example);

    core::Trap trap(m_services, QString::fromUtf16(definition.procedure));
    SidesHistory::Change change(m_history, u"Load Example"_s);
    if (trap.test(100, [&] { return !m_pointer.isBusy(); }))
        trap(102, [&] { change.removeAll(); });
    for (const QString& label : labels) {
        if (trap.test(104, [&] { return !SideAlreadyInList(label); })) {
            trap(106, [&] { m_sides.addItem(label); });
            if (definition.refreshAfterEachAppend)
                trap(108, [&] { refreshHeader(); });
        }
    }
    if (!definition.refreshAfterEachAppend)
        trap(110, [&] { refreshHeader(); });
}

void SidesCommands::loadListFromFile() {
    core::Trap trap(m_services, u"Form1.PushButton3_Click"_s);
    QStringList chosen;
    trap(100, [&] {
        chosen = m_services.fileDialogs->getOpenFileNames(QString::fromUtf16(kLoadListTitle),
                                                          QString::fromUtf16(platform::kTextFilesFilter));
    });
    if (chosen.isEmpty())
        return;
    SidesHistory::Change change(m_history, u"Load List From File"_s);
    loadFiles(trap, chosen);
}

void SidesCommands::loadFiles(core::Trap& trap, const QStringList& paths) {
    trap(102, [&] { m_pointer.set(core::MousePointer::Hourglass); });
    if (paths.size() == 1) {
        trap(104, [&] { Main::LoadListviewFromTextFile(m_sides, paths.first(), *m_services.messageBox); });
        trap(106, [&] { refreshHeader(); });
    } else {
        for (const QString& chosenPath : paths) {
            QString path;
            trap(108, [&] { path = Main::FixPathSeparators(chosenPath); });
            trap(110, [&] { Main::LoadListviewFromTextFile(m_sides, path, *m_services.messageBox); });
            trap(112, [&] { refreshHeader(); });
        }
    }
    trap(114, [&] { m_pointer.set(core::MousePointer::Default); });
}

void SidesCommands::dropFiles(const QStringList& paths) {
    if (paths.isEmpty())
        return;
    core::Trap trap(m_services, u"Form1.ListView1_Drop"_s);
    SidesHistory::Change change(m_history, u"Drop"_s);
    loadFiles(trap, paths);
}

void SidesCommands::dropText(const QString& text) {
    core::Trap trap(m_services, u"Form1.ListView1_Drop"_s);
    SidesHistory::Change change(m_history, u"Drop"_s);
    trap(100, [&] { appendSideListText(m_sides, text); });
    trap(102, [&] { refreshHeader(); });
}

void SidesCommands::paste() {
    core::Trap trap(m_services, u"Form1.ListView1_Paste"_s);
    SidesHistory::Change change(m_history, u"Paste"_s);
    QString text;
    trap(100, [&] { text = m_services.clipboard->getText(); });
    trap(102, [&] { appendSideListText(m_sides, text); });
    trap(104, [&] { refreshHeader(); });
}

void SidesCommands::copySelection() {
    core::Trap trap(m_services, u"Form1.ListView1_Copy"_s);
    QString text;
    trap(100, [&] { text = sideListText(m_sides, m_sides.selectedRanges()); });
    // Nothing selected leaves the clipboard as it was.
    if (!text.isEmpty())
        trap(102, [&] { m_services.clipboard->setText(text, 0); });
}

void SidesCommands::saveSideList() {
    core::Trap trap(m_services, u"Form1.ListView1_SaveList"_s);
    const platform::SaveRequest request{.title = QString::fromUtf16(kSaveListTitle),
                                        .filter = QString::fromUtf16(platform::kTextFilesFilter),
                                        .memory = u"Side List"_s,
                                        .askBeforeReplacing = true,
                                        .addFilterExtension = true};
    QString fileName;
    trap(100, [&] { fileName = m_services.fileDialogs->getSaveFileName(request); });
    if (fileName.isEmpty())
        return;
    trap(102, [&] { m_pointer.set(core::MousePointer::Hourglass); });
    trap(104, [&] {
        try {
            writeSideListFile(m_sides, fileName);
        } catch (const platform::RuntimeError& error) {
            m_services.messageBox->show(platform::saveFailureText(fileName, error.description()), platform::Exclamation,
                                        QString());
        }
    });
    trap(106, [&] { m_pointer.set(core::MousePointer::Default); });
}

void SidesCommands::undo() {
    if (m_pointer.isBusy())
        return;
    core::Trap trap(m_services, u"Form1.ListView1_Undo"_s);
    bool stepped = false;
    trap(100, [&] { stepped = m_history.undo(); });
    if (stepped)
        trap(102, [&] { refreshHeader(); });
}

void SidesCommands::redo() {
    if (m_pointer.isBusy())
        return;
    core::Trap trap(m_services, u"Form1.ListView1_Redo"_s);
    bool stepped = false;
    trap(100, [&] { stepped = m_history.redo(); });
    if (stepped)
        trap(102, [&] { refreshHeader(); });
}

} // namespace dice
