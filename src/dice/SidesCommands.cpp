#include "SidesCommands.h"

#include "SideListLoader.h"

#include "core/ListModel.h"
#include "core/MousePointer.h"
#include "core/Trap.h"
#include "platform/FileDialogs.h"
#include "platform/InputBox.h"
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
    if (trap.test(100, [&] { return !m_pointer.isBusy(); }))
        trap(102, [&] { m_sides.removeAll(); });
    trap(104, [&] { refreshHeader(); });
}

void SidesCommands::removeSelected() {
    if (m_pointer.isBusy() || m_sides.itemCount() == 0)
        return;
    // A list with items but no selection has nothing the user pointed at: leave it.
    if (const std::optional<std::int64_t> position = m_sides.selectedPosition())
        m_sides.removeItem(*position);
}

void SidesCommands::removeOnDoubleClick() {
    // No trap of its own; anything unexpected is still reported rather than lost.
    core::Trap trap(m_services, u"Form1.ListView1_DblClick"_s);
    trap(0, [&] {
        removeSelected();
        refreshHeader();
    });
}

void SidesCommands::keyDown(int key) {
    if (key != Qt::Key_Delete)
        return;
    core::Trap trap(m_services, u"Form1.ListView1_KeyDown"_s);
    trap(0, [&] { removeSelected(); });
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
    if (trap.test(100, [&] { return !m_pointer.isBusy(); }))
        trap(102, [&] { m_sides.removeAll(); });
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
    trap(102, [&] { m_pointer.set(core::MousePointer::Hourglass); });
    if (chosen.size() == 1) {
        trap(104, [&] { Main::LoadListviewFromTextFile(m_sides, chosen.first(), *m_services.messageBox); });
        trap(106, [&] { refreshHeader(); });
    } else {
        for (const QString& chosenPath : chosen) {
            QString path;
            trap(108, [&] { path = Main::FixPathSeparators(chosenPath); });
            trap(110, [&] { Main::LoadListviewFromTextFile(m_sides, path, *m_services.messageBox); });
            trap(112, [&] { refreshHeader(); });
        }
    }
    trap(114, [&] { m_pointer.set(core::MousePointer::Default); });
}

} // namespace dice
