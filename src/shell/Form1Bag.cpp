// Form1's part in the bag kept between rolls: the Start Rolling menu's entries below the modes, the
// sides list's additions that go into the bag, and the line that says how much is left.

#include "Form1.h"

#include "StatisticsWindow.h"

#include "bag/KeptBag.h"
#include "core/Trap.h"
#include "dice/SidesCommands.h"
#include "platform/MessageBox.h"
#include "platform/RuntimeError.h"
#include "platform/SettingsStore.h"

#include <QAction>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace shell {

void Form1::buildKeptBagMenu() {
    auto* line = new QAction(PushButton8);
    line->setSeparator(true);
    m_keepBagAction = new QAction(u"&Keep The Bag Between Rolls"_s, PushButton8);
    m_keepBagAction->setObjectName(u"KeepBag"_s);
    m_keepBagAction->setCheckable(true);
    auto* refill = new QAction(u"&Refill The Bag"_s, PushButton8);
    refill->setObjectName(u"RefillBag"_s);
    PushButton8->addActions({line, m_keepBagAction, refill});
    connect(m_keepBagAction, &QAction::triggered, this, &Form1::KeepBag_Click);
    connect(refill, &QAction::triggered, this, &Form1::RefillBag_Click);

    // A side added anew goes into the bag; one that an undo or a redo brings back keeps what it had, and
    // so does one that a die put to use lists again.
    connect(&m_sides, &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex&, int first, int last) {
        if (!m_sidesCommands->replayingHistory())
            reportKeptBag([&] { m_keptBag->sidesAdded(m_sides, first + 1, last + 1, m_sidesBeforeUse.get()); });
        m_keptBagRecount.start();
    });
    const auto recount = [this] { m_keptBagRecount.start(); };
    connect(&m_sides, &QAbstractItemModel::rowsRemoved, this, recount);
    connect(&m_sides, &QAbstractItemModel::modelReset, this, recount);
    // A burst of changes (a file load) counts once.
    m_keptBagRecount.setSingleShot(true);
    m_keptBagRecount.setInterval(0);
    connect(&m_keptBagRecount, &QTimer::timeout, this, &Form1::showRollMode);
}

void Form1::openKeptBag(const QString& path) {
    m_keptBag = std::make_unique<bag::KeptBag>(path);
    try {
        m_keepBagAction->setChecked(m_services.settings->read(QString::fromUtf16(bag::kKeepBagKey), u"false"_s) ==
                                    u"true"_s);
    } catch (const platform::RuntimeError&) {
        // Off; Form_Load has reported the store that cannot be read.
    }
    reportKeptBag([&] { m_keptBag->load(m_sides); });
    showRollMode();
}

void Form1::KeepBag_Click(bool keep) {
    m_keepBagAction->setChecked(keep);
    showRollMode();
    core::Trap trap(m_services, u"Form1.KeepBag_Click"_s);
    autosave(trap, 0,
             [&] { m_services.settings->write(QString::fromUtf16(bag::kKeepBagKey), keep ? u"true"_s : u"false"_s); });
}

void Form1::RefillBag_Click() {
    reportKeptBag([&] { m_keptBag->refill(); });
    showRollMode();
}

roll::KeptTickets* Form1::keptBagForRoll() const {
    return m_keepBagAction->isChecked() && m_rollMode == core::RollMode::Bag ? m_keptBag.get() : nullptr;
}

QString Form1::keptBagLine() const {
    if (keptBagForRoll() == nullptr)
        return {};
    const std::vector<std::uint32_t> weights =
        m_weights.anyFor(m_sides) ? m_weights.weightsFor(m_sides) : std::vector<std::uint32_t>{};
    return bag::KeptBag::describe(m_keptBag->count(*m_sides.textSnapshot(), weights));
}

void Form1::reportKeptBag(const std::function<void()>& work) {
    try {
        work();
    } catch (const platform::RuntimeError& error) {
        m_services.messageBox->show(error.description(), platform::Exclamation, QString());
    }
}

} // namespace shell
