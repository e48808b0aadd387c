#include "Form1.h"

#include "DiceLibraryWindow.h"
#include "FormPalette.h"
#include "HandCursor.h"
#include "ListView.h"
#include "Skin.h"
#include "StatisticsWindow.h"

#include "bag/KeptBag.h"
#include "core/Main.h"
#include "core/Trap.h"

#include "dice/CountFields.h"
#include "dice/SidesCommands.h"
#include "dice/StoredSides.h"

#include "platform/EventPump.h"
#include "platform/Identity.h"
#include "platform/MessageBox.h"
#include "platform/SettingsStore.h"
#include "platform/Twips.h"
#include "results/ResultsCommands.h"
#include "results/SpreadsheetExport.h"
#include "results/TextExport.h"
#include "roll/StartRolling.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QScreen>

using namespace Qt::StringLiterals;
using platform::twipsRect;

namespace shell {

namespace {

const QString kListTooltip =
    u"Double-click item to remove it. Move | line to right and out of window to reveal full names."_s;

QFont arialBold(qreal points) {
    QFont font(u"Arial"_s);
    font.setPointSizeF(points);
    font.setBold(true);
    return font;
}

} // namespace

Form1::Form1(platform::Services& services, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint)
    , m_services(services) {
    setObjectName(u"Form1"_s);
    m_results.setCheckable(true);
    m_pointer.setApply([this](int shape) { applyPointer(shape); });
    m_sidesCommands = std::make_unique<dice::SidesCommands>(m_sides, m_pointer, m_services);
    m_countFields = std::make_unique<dice::CountFields>(m_services);
    m_keptBag = std::make_unique<bag::KeptBag>();
    buildControls();
    connectDiceDefinition();

    m_diceSaveTimer.setSingleShot(true);
    m_diceSaveTimer.setInterval(kDiceSaveDelay);
    connect(&m_diceSaveTimer, &QTimer::timeout, this, &Form1::SaveDice);
    const auto saveSoon = [this] { m_diceSaveTimer.start(); };
    connect(&m_sides, &QAbstractItemModel::rowsInserted, this, saveSoon);
    connect(&m_sides, &QAbstractItemModel::rowsRemoved, this, saveSoon);
    connect(&m_sides, &QAbstractItemModel::modelReset, this, saveSoon);
}

Form1::~Form1() {
    if (m_overrideCursor)
        QApplication::restoreOverrideCursor();
}

QList<QPushButton*> Form1::pushButtons() const {
    return {PushButton1, PushButton2, PushButton3,  PushButton4,  PushButton5,  PushButton6, PushButton7,
            PushButton8, PushButton9, PushButton10, PushButton11, PushButton12, PushButton13};
}

void Form1::buildControls() {
    setFont(arialBold(9));
    setFixedSize(platform::twipsToPixels(8520), platform::twipsToPixels(8940));
    setAutoFillBackground(true);
    setPalette(formPalette());

    auto frame = [this](const QString& caption, QRect geometry) {
        auto* box = new QGroupBox(caption, this);
        box->setGeometry(geometry);
        box->setAutoFillBackground(true);
        return box;
    };
    auto button = [this](const QString& caption, QRect geometry) {
        auto* push = new QPushButton(caption, this);
        push->setGeometry(geometry);
        push->setFont(arialBold(11.25));
        push->setMouseTracking(true);
        push->setAutoDefault(true); // Enter runs the focused command, as Space does
        return push;
    };

    Frame1 = frame(u"Dice Sides (Numbers Or Characters)"_s, twipsRect(120, 120, 8280, 2280));
    ListView1 = new shell::ListView(Frame1);
    ListView1->setGeometry(twipsRect(240, 300, 7800, 1815));
    ListView1->setListModel(&m_sides);
    ListView1->setToolTip(kListTooltip);
    ListView1->setObjectName(u"ListView1"_s);
    m_sides.setTextIndexEnabled(true);

    PushButton6 = button(u"Add Side"_s, twipsRect(120, 2520, 4080, 405));
    PushButton3 = button(u"Load List From File"_s, twipsRect(4320, 2520, 4080, 405));
    PushButton5 = button(u"Clear List"_s, twipsRect(120, 3030, 4080, 405));
    PushButton12 = button(u"Help"_s, twipsRect(4320, 3030, 4080, 405));
    PushButton2 = button(u"Load Example: Classic 6-Sided Dice"_s, twipsRect(120, 3540, 4080, 405));
    PushButton4 = button(u"Load Example: 20-Sided Dice"_s, twipsRect(4320, 3540, 4080, 405));
    PushButton1 = button(u"Load Example: Coin"_s, twipsRect(120, 4050, 4080, 405));
    PushButton7 = button(u"Load Example: Rock-Paper-Scissors"_s, twipsRect(4320, 4050, 4080, 405));

    Frame3 = frame(u"Number Of Dice To Roll Per Roll"_s, twipsRect(120, 4530, 4080, 840));
    Text1 = new QLineEdit(Frame3);
    Text1->setGeometry(twipsRect(240, 300, 3600, 375));
    Text1->setObjectName(u"Text1"_s);
    Frame2 = frame(u"Number Of Rolls"_s, twipsRect(4320, 4545, 4080, 840));
    Text2 = new QLineEdit(Frame2);
    Text2->setGeometry(twipsRect(240, 300, 3600, 375));
    Text2->setObjectName(u"Text2"_s);

    PushButton8 = button(u"Start Rolling"_s, twipsRect(120, 5480, 8280, 405));
    ListView2 = new shell::ListView(this);
    ListView2->setGeometry(twipsRect(120, 5985, 8280, 1815));
    ListView2->setListModel(&m_results);
    ListView2->setToolTip(kListTooltip);
    ListView2->setObjectName(u"ListView2"_s);
    ListView2->enableTicking();
    PushButton9 = button(u"Save Results As Text File"_s, twipsRect(120, 7905, 4080, 405));
    PushButton13 = button(u"Save Results As Excel File"_s, twipsRect(4320, 7905, 4080, 405));
    PushButton11 = button(u"Copy Results To Clipboard"_s, twipsRect(120, 8430, 4080, 405));
    PushButton10 = button(u"Clear Results"_s, twipsRect(4320, 8430, 4080, 405));

    const QList<QPushButton*> buttons = pushButtons();
    for (int i = 0; i < buttons.size(); ++i)
        buttons[i]->setObjectName(u"PushButton"_s + QString::number(i + 1));
    Frame1->setObjectName(u"Frame1"_s);
    Frame2->setObjectName(u"Frame2"_s);
    Frame3->setObjectName(u"Frame3"_s);
    nameForScreenReaders();

    // Tab order of the layout; the frames take no focus.
    const QList<QWidget*> order = {ListView1,   PushButton6, PushButton3,  PushButton5,  PushButton12, PushButton2,
                                   PushButton4, PushButton1, PushButton7,  Text1,        Text2,        PushButton8,
                                   ListView2,   PushButton9, PushButton13, PushButton11, PushButton10};
    for (int i = 0; i + 1 < order.size(); ++i)
        setTabOrder(order[i], order[i + 1]);
    ListView1->setFocus();

    connect(PushButton8, &QPushButton::clicked, this, &Form1::PushButton8_Click);
    buildRollModeMenu();
    connect(PushButton10, &QPushButton::clicked, this, &Form1::PushButton10_Click);
    connect(PushButton11, &QPushButton::clicked, this, &Form1::PushButton11_Click);
    connect(PushButton12, &QPushButton::clicked, this, &Form1::PushButton12_Click);
    connect(PushButton9, &QPushButton::clicked, this, &Form1::PushButton9_Click);
    connect(PushButton13, &QPushButton::clicked, this, &Form1::PushButton13_Click);

    // Reached from anywhere in the window; nothing of the window itself shows it but the list's menu.
    m_statisticsAction = new QAction(u"Statistics\u2026"_s, this);
    m_statisticsAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_I));
    m_statisticsAction->setShortcutContext(Qt::WindowShortcut);
    addAction(m_statisticsAction);
    ListView2->addMenuAction(m_statisticsAction);
    connect(m_statisticsAction, &QAction::triggered, this, &Form1::showStatistics);
    buildPresenterMenu();
    buildHistoryMenu();
}

void Form1::buildRollModeMenu() {
    PushButton8->setContextMenuPolicy(Qt::ActionsContextMenu);
    m_rollModes = new QActionGroup(PushButton8);
    m_rollModes->setExclusive(true);
    for (const core::RollMode mode : core::kRollModes) {
        QAction* entry = m_rollModes->addAction(core::rollModeName(mode));
        entry->setCheckable(true);
        connect(entry, &QAction::triggered, this, [this, mode] { RollMode_Click(mode); });
    }
    PushButton8->addActions(m_rollModes->actions());
    buildKeptBagMenu();
    showRollMode();
}

void Form1::showRollMode() {
    const QList<QAction*> entries = m_rollModes->actions();
    for (qsizetype i = 0; i < entries.size(); ++i)
        entries[i]->setChecked(core::kRollModes[i] == m_rollMode);
    showWeights();
}

void Form1::showWeights() {
    QString weighted;
    if (m_weights.anyFor(m_sides)) {
        const std::vector<std::uint32_t> weights = m_weights.weightsFor(m_sides);
        weighted = u"\n"_s + dice::weightedDieText(m_sides.itemCount(), dice::totalWeight(weights));
    }
    ListView1->setToolTip(kListTooltip + weighted);
    const QString bagLine = keptBagLine();
    PushButton8->setToolTip((bagLine.isEmpty() ? u"Roll mode: "_s + core::rollModeName(m_rollMode) : bagLine) +
                            u". Right-click or press Shift+F10 to choose another."_s + weighted);
    if (m_statistics != nullptr)
        m_statistics->setKeptBagLine(bagLine);
}

void Form1::sidesInserted(int first, int last) {
    // A side that comes in anew weighs 1; undo and redo bring sides back as they were.
    if (!m_steppingHistory && !m_weights.empty()) {
        for (int row = first; row <= last; ++row)
            m_weights.forget(m_sides.textView(row + 1));
    }
    showWeights();
}

dice::Die Form1::currentDie() const {
    dice::Die die;
    for (std::int64_t position = 1; position <= m_sides.itemCount(); ++position)
        die.labels.append(m_sides.textView(position));
    die.weights = m_weights.weightsFor(m_sides);
    return die;
}

bool Form1::useDie(const dice::Die& die) {
    m_sidesBeforeUse = m_sides.textSnapshot();
    const bool replaced = m_sidesCommands->replaceSides(die.labels, u"DiceLibrary.Use_Click"_s);
    m_sidesBeforeUse.reset();
    if (!replaced)
        return false;
    // Set after the sides came in, which made them weigh 1. The weights of the sides that left are kept
    // for an undo that brings them back.
    for (std::int64_t i = 0; i < die.labels.size(); ++i)
        m_weights.set(die.labels.at(i), die.weights[static_cast<std::size_t>(i)]);
    showWeights();
    m_diceSaveTimer.start();
    return true;
}

void Form1::rollSet(std::span<const dice::CountedDie> dice, const QString& setName) {
    keepingRoll(
        [&] {
            roll::rollSet(m_services, u"DiceLibrary.RollSet_Click"_s, m_pointer, dice, m_results, Text2->text(),
                          m_rollMode);
        },
        setName);
}

void Form1::showDiceLibrary() {
    if (m_library == nullptr)
        m_library = new DiceLibraryWindow(*this, m_services, library::Library::defaultFolder(), this);
    m_library->show();
    m_library->raise();
    m_library->activateWindow();
}

void Form1::RollMode_Click(core::RollMode mode) {
    m_rollMode = mode;
    showRollMode();
    core::Trap trap(m_services, u"Form1.RollMode_Click"_s);
    autosave(trap, 0,
             [&] { m_services.settings->write(QString::fromUtf16(core::kRollModeKey), core::rollModeWord(mode)); });
}

void Form1::showStatistics() {
    if (m_statistics == nullptr) {
        m_statistics = new StatisticsWindow(m_results, m_services, this);
        m_statistics->setKeptBagLine(keptBagLine());
    }
    m_statistics->show();
    m_statistics->raise();
    m_statistics->activateWindow();
}

void Form1::nameForScreenReaders() {
    // A frame's caption does not label the control inside it, so the fields and lists carry it themselves.
    Text1->setAccessibleName(Frame3->title());
    Text1->setAccessibleDescription(u"How many dice make one roll."_s);
    Text2->setAccessibleName(Frame2->title());
    Text2->setAccessibleDescription(u"How many rolls Start Rolling makes."_s);
    ListView1->setAccessibleName(Frame1->title());
    ListView1->setAccessibleDescription(
        u"The sides of the die, one label per row. Delete removes the selected side."_s);
    ListView2->setAccessibleName(u"Results"_s);
    ListView2->setAccessibleDescription(u"One roll per row. Space ticks or unticks the selected rows; only ticked rows "
                                        u"are copied or saved."_s);
}

void Form1::Form_Load() {
    core::Trap trap(m_services, u"Form1.Form_Load"_s);
    platform::SettingsStore& settings = *m_services.settings;

    trap(102, [&] { Main::ApplySkin(*this); });
    trap(104, [&] {
        setWindowTitle(QString::fromUtf16(platform::kApplicationName));
        setWindowIcon(QApplication::windowIcon());
        Main::SetApplicationTitle();
    });
    bool handExists = false;
    trap(124, [&] { handExists = !Main::FindProgramFile(u"HAND-M.CUR"_s).isEmpty(); });
    if (handExists) {
        trap(126, [&] { m_handCursor = Main::LoadCursorFile(Main::FindProgramFile(u"HAND-M.CUR"_s)); });
    }
    trap(128, [&] {
        Text1->setText(
            settings.read(QString::fromUtf16(dice::kDicePerRollKey), QString::fromUtf16(dice::kDicePerRollDefault)));
    });
    trap(130, [&] {
        Text2->setText(settings.read(QString::fromUtf16(dice::kNumberOfRollsKey),
                                     QString::fromUtf16(dice::kNumberOfRollsDefault)));
    });
    QString dice;
    trap(132, [&] { dice = settings.read(QString::fromUtf16(dice::kStoredSidesKey), QString()); });
    if (trap.test(134, [&] { return !dice.isEmpty(); })) {
        // The stored sides' restore, one numbered statement at a time.
        QList<QStringView> pieces;
        trap(136, [&] { pieces = dice::splitStoredSides(dice); });
        core::TextRows restored;
        for (QStringView piece : pieces) {
            if (trap.test(140, [&] { return dice::isStoredSide(piece); }))
                restored.append(piece);
        }
        trap(142, [&] { m_sides.addItems(restored); });
        QString weights;
        trap(0, [&] { weights = settings.read(QString::fromUtf16(dice::kStoredWeightsKey), QString()); });
        m_weightsStored = !weights.isEmpty();
        trap(0, [&] { dice::restoreStoredWeights(weights, m_weights); });
        showWeights();
    }
    trap(146, [&] { m_sides.addColumn(dice::sidesHeaderText(m_sides.itemCount())); });
    trap(148, [&] { m_sides.setColumnWidthTwips(1, 7000); });
    trap(150, [&] { m_results.addColumn(QString::fromUtf16(results::kResultsHeader)); });
    trap(152, [&] { m_results.setColumnWidthTwips(1, 7000); });
    // Any other stored text than a mode's word leaves the default mode.
    trap(154, [&] {
        const QString word = settings.read(QString::fromUtf16(core::kRollModeKey), QString());
        m_rollMode = core::rollModeFromWord(word).value_or(core::RollMode::Independent);
    });
    showRollMode();
    // The restored sides are what the store holds already.
    m_diceSaveTimer.stop();
}

void Form1::Form_QueryUnload() {
    m_diceSaveTimer.stop(); // written below
    core::Trap trap(m_services, u"Form1.Form_QueryUnload"_s);
    QString text;
    // Half a list must never replace the stored whole: without the text there is nothing to write.
    if (trap(104, [&] { text = dice::joinStoredSides(m_sides); }))
        trap(110, [&] { m_services.settings->write(QString::fromUtf16(dice::kStoredSidesKey), text); });
    writeStoredWeights(trap, false);
    trap(112, [&] { m_services.events->processEvents(); });
    m_saved = true;
}

void Form1::SaveDice() {
    m_diceSaveTimer.stop();
    core::Trap trap(m_services, u"Form1.SaveDice"_s);
    QString text;
    // Half a list must never replace the stored whole.
    if (!trap(100, [&] { text = dice::joinStoredSides(m_sides); }))
        return;
    if (autosave(trap, 102, [&] { m_services.settings->write(QString::fromUtf16(dice::kStoredSidesKey), text); }))
        writeStoredWeights(trap, true);
}

void Form1::writeStoredWeights(core::Trap& trap, bool quietly) {
    // A die that never had weights leaves the store as an older copy left it.
    QString text;
    if (!trap(0, [&] { text = dice::joinStoredWeights(m_sides, m_weights); }) || (text.isEmpty() && !m_weightsStored))
        return;
    const auto write = [&] { m_services.settings->write(QString::fromUtf16(dice::kStoredWeightsKey), text); };
    if (quietly ? autosave(trap, 0, write) : trap(0, write))
        m_weightsStored = !text.isEmpty();
}

bool Form1::autosave(core::Trap& trap, int line, const std::function<void()>& write) {
    // The writes that follow the user's edits fail alike while the store refuses them: the first failure
    // is reported, the next one only after a write got through. (The save at close always reports.)
    const bool written = m_storeFailing ? trap.quietly(line, write) : trap(line, write);
    m_storeFailing = !written;
    return written;
}

void Form1::Form_Unload() {
    // Ends at once: a command still running in the middle of a copy or an export stops where it yields
    // (or at its next statement), and the event loop finishes.
    m_services.events->quit();
}

void Form1::PushButton8_Click() {
    keepingRoll([&] {
        roll::KeptTickets* kept = keptBagForRoll();
        if (m_weights.anyFor(m_sides))
            roll::startRolling(m_services, m_sides, m_results, Text2->text(), Text1->text(), m_rollMode,
                               m_weights.weightsFor(m_sides), kept);
        else
            roll::startRolling(m_services, m_sides, m_results, Text2->text(), Text1->text(), m_rollMode, kept);
        if (kept != nullptr)
            showRollMode(); // what is left
    });
}

void Form1::PushButton10_Click() {
    results::clearResults(m_services, m_results);
}

void Form1::PushButton11_Click() {
    results::copyResults(m_services, m_results);
}

void Form1::PushButton12_Click() {
    core::Trap trap(m_services, u"Form1.PushButton12_Click"_s);
    trap(100, [&] {
        m_services.messageBox->show(u"Use the Load Example buttons if you would like to see how this software works "
                                    u"quickly. Please email "_s +
                                        QString::fromUtf16(core::kSupportAddress) + u" if you have any questions."_s,
                                    platform::OkOnly, QString());
    });
}

// --- Dice definition

void Form1::connectDiceDefinition() {
    connect(PushButton1, &QPushButton::clicked, this, &Form1::PushButton1_Click);
    connect(PushButton2, &QPushButton::clicked, this, &Form1::PushButton2_Click);
    connect(PushButton3, &QPushButton::clicked, this, &Form1::PushButton3_Click);
    connect(PushButton4, &QPushButton::clicked, this, &Form1::PushButton4_Click);
    connect(PushButton5, &QPushButton::clicked, this, &Form1::PushButton5_Click);
    connect(PushButton6, &QPushButton::clicked, this, &Form1::PushButton6_Click);
    connect(PushButton7, &QPushButton::clicked, this, &Form1::PushButton7_Click);
    connect(ListView1, &shell::ListView::doubleClicked, this, &Form1::ListView1_DblClick);
    connect(ListView1, &shell::ListView::keyDown, this, &Form1::ListView1_KeyDown);
    connect(Text1, &QLineEdit::textChanged, this, &Form1::Text1_Change);
    connect(Text2, &QLineEdit::textChanged, this, &Form1::Text2_Change);
    Text1->installEventFilter(this);
    Text2->installEventFilter(this);

    setMouseTracking(true);
    installEventFilter(this);
    for (QGroupBox* frame : {Frame1, Frame2, Frame3}) {
        frame->setMouseTracking(true);
        frame->installEventFilter(this);
    }
    for (QPushButton* button : pushButtons())
        button->installEventFilter(this);
    connect(ListView1, &shell::ListView::pointerMoved, this, &Form1::Form_MouseMove);
    connect(ListView2, &shell::ListView::pointerMoved, this, &Form1::Form_MouseMove);
    buildSidesMenu();
}

void Form1::buildSidesMenu() {
    ListView1->setSelectionMode(QAbstractItemView::ExtendedSelection); // several sides to copy or remove
    ListView1->setContextMenuPolicy(Qt::ActionsContextMenu);
    ListView1->enableDropping();
    // A drop is taken in first and loaded afterwards, so the program it came from is not kept waiting.
    connect(ListView1, &shell::ListView::filesDropped, this, &Form1::ListView1_DropFiles, Qt::QueuedConnection);
    connect(ListView1, &shell::ListView::textDropped, this, &Form1::ListView1_DropText, Qt::QueuedConnection);

    // Undo and redo work from anywhere in the window (a field keeps its own); the rest while the list
    // has the focus.
    auto entry = [this](const QString& text, const QList<QKeySequence>& keys, Qt::ShortcutContext context,
                        auto procedure) {
        auto* action = new QAction(text, ListView1);
        action->setShortcuts(keys);
        action->setShortcutContext(context);
        action->setShortcutVisibleInContextMenu(true);
        connect(action, &QAction::triggered, this, procedure);
        ListView1->addAction(action);
        return action;
    };
    auto separator = [this] {
        auto* line = new QAction(ListView1);
        line->setSeparator(true);
        ListView1->addAction(line);
    };
    const auto local = Qt::WidgetShortcut;
    entry(u"Add Side…"_s, {QKeySequence(Qt::Key_Insert)}, local, &Form1::PushButton6_Click);
    entry(u"Paste"_s, QKeySequence::keyBindings(QKeySequence::Paste), local, &Form1::ListView1_Paste);
    entry(u"Copy"_s, QKeySequence::keyBindings(QKeySequence::Copy), local, &Form1::ListView1_Copy);
    // The Delete key's own event procedure, which also takes Shift+Delete and Ctrl+Delete.
    entry(u"Remove"_s, {QKeySequence(Qt::Key_Delete)}, local, [this] { ListView1_KeyDown(Qt::Key_Delete, {}); });
    entry(u"Clear List"_s, {QKeySequence(Qt::CTRL | Qt::Key_L)}, local, &Form1::PushButton5_Click);
    separator();
    QUndoStack& history = m_sidesCommands->undoStack();
    QAction* undo =
        entry(u"Undo"_s, QKeySequence::keyBindings(QKeySequence::Undo), Qt::WindowShortcut, &Form1::ListView1_Undo);
    QAction* redo =
        entry(u"Redo"_s, {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)},
              Qt::WindowShortcut, &Form1::ListView1_Redo);
    undo->setEnabled(history.canUndo());
    redo->setEnabled(history.canRedo());
    connect(&history, &QUndoStack::canUndoChanged, undo, &QAction::setEnabled);
    connect(&history, &QUndoStack::canRedoChanged, redo, &QAction::setEnabled);
    separator();
    entry(u"Save Side List…"_s, QKeySequence::keyBindings(QKeySequence::Save), local, &Form1::ListView1_SaveList);
    entry(u"Dice Library…"_s, {QKeySequence(Qt::CTRL | Qt::Key_D)}, Qt::WindowShortcut, &Form1::showDiceLibrary);

    connect(&m_sides, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) { sidesInserted(first, last); });
    connect(&m_sides, &QAbstractItemModel::rowsRemoved, this, &Form1::showWeights);
    connect(&m_sides, &QAbstractItemModel::modelReset, this, &Form1::showWeights);
}

void Form1::PushButton1_Click() {
    m_sidesCommands->loadExample(dice::Example::Coin);
}

void Form1::PushButton2_Click() {
    m_sidesCommands->loadExample(dice::Example::ClassicSixSided);
}

void Form1::PushButton3_Click() {
    m_sidesCommands->loadListFromFile();
}

void Form1::PushButton4_Click() {
    m_sidesCommands->loadExample(dice::Example::TwentySided);
}

void Form1::PushButton5_Click() {
    m_sidesCommands->clearList();
}

void Form1::PushButton6_Click() {
    m_sidesCommands->addSide();
}

void Form1::PushButton7_Click() {
    m_sidesCommands->loadExample(dice::Example::RockPaperScissors);
}

void Form1::ListView1_DblClick() {
    m_sidesCommands->removeOnDoubleClick();
}

void Form1::ListView1_KeyDown(int keyCode, Qt::KeyboardModifiers /*shift*/) {
    m_sidesCommands->keyDown(keyCode);
}

void Form1::ListView1_Paste() {
    m_sidesCommands->paste();
}

void Form1::ListView1_Copy() {
    m_sidesCommands->copySelection();
}

void Form1::ListView1_Undo() {
    const QScopedValueRollback stepping(m_steppingHistory, true);
    m_sidesCommands->undo();
}

void Form1::ListView1_Redo() {
    const QScopedValueRollback stepping(m_steppingHistory, true);
    m_sidesCommands->redo();
}

void Form1::ListView1_SaveList() {
    m_sidesCommands->saveSideList();
}

void Form1::ListView1_DropFiles(const QStringList& paths) {
    m_sidesCommands->dropFiles(paths);
}

void Form1::ListView1_DropText(const QString& text) {
    m_sidesCommands->dropText(text);
}

void Form1::Text1_Change() {
    // No trap of its own; a failing store is still reported rather than lost in the event loop.
    core::Trap trap(m_services, u"Form1.Text1_Change"_s);
    autosave(trap, 0, [&] { m_countFields->changed(QString::fromUtf16(dice::kDicePerRollKey), Text1->text()); });
}

void Form1::Text2_Change() {
    core::Trap trap(m_services, u"Form1.Text2_Change"_s);
    autosave(trap, 0, [&] { m_countFields->changed(QString::fromUtf16(dice::kNumberOfRollsKey), Text2->text()); });
}

void Form1::Text1_LostFocus() {
    countFieldLostFocus(Text1);
}

void Form1::Text2_LostFocus() {
    countFieldLostFocus(Text2);
}

void Form1::countFieldLostFocus(QLineEdit* field) {
    if (m_checkingCount)
        return;
    m_checkingCount = true;
    if (!m_countFields->lostFocus(field->text()))
        field->setFocus(Qt::OtherFocusReason);
    m_checkingCount = false;
}

void Form1::PushButton_MouseMove() {
    pointerCue(core::MousePointer::Custom);
}

void Form1::Form_MouseMove() {
    pointerCue(core::MousePointer::Default);
}

void Form1::pointerCue(int shape) {
    if (!m_pointer.isBusy())
        m_pointer.set(shape);
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut && (watched == Text1 || watched == Text2)) {
        // Only a move to another control of the window counts, not a switch to another window.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (!m_checkingCount && reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            // Checked once the focus has settled, so the message box and the return of the focus do not
            // run inside the focus change.
            QMetaObject::invokeMethod(this, watched == Text1 ? &Form1::Text1_LostFocus : &Form1::Text2_LostFocus,
                                      Qt::QueuedConnection);
        }
    } else if (event->type() == QEvent::KeyPress && watched == PushButton8) {
        // The roll modes' menu from the keyboard, as the lists open theirs (the Menu key comes through
        // the platform).
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_F10 && (key->modifiers() & ~Qt::KeypadModifier) == Qt::ShiftModifier) {
            const QPoint anchor = PushButton8->rect().bottomLeft();
            QContextMenuEvent menu(QContextMenuEvent::Keyboard, anchor, PushButton8->mapToGlobal(anchor));
            QCoreApplication::sendEvent(PushButton8, &menu);
            return true;
        }
    } else if (event->type() == QEvent::MouseMove) {
        auto* widget = static_cast<QWidget*>(watched);
        if (qobject_cast<QPushButton*>(widget) != nullptr) {
            PushButton_MouseMove();
        } else if (widget == this || qobject_cast<QGroupBox*>(widget) != nullptr) {
            // A move over a child reaches its parent too when the child leaves it unhandled; only the
            // control right under the pointer has its say.
            const QPoint position = static_cast<QMouseEvent*>(event)->position().toPoint();
            if (widget->childAt(position) == nullptr)
                Form_MouseMove();
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::PushButton9_Click() {
    results::saveResultsAsTextFile(m_results, m_pointer, m_services);
}

void Form1::PushButton13_Click() {
    results::saveResultsAsSpreadsheet(m_results, m_pointer, m_services);
}

void Form1::closeEvent(QCloseEvent* event) {
    // Saving never cancels the close.
    if (!m_saved)
        Form_QueryUnload();
    event->accept();
    Form_Unload();
}

void Form1::applyPointer(int shape) {
    // The busy pointer overrides every control's own shape (the fields' I-beam too); the others are
    // the window's, which its controls inherit.
    const bool busy = shape == core::MousePointer::Hourglass;
    if (busy && !m_overrideCursor)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else if (!busy && m_overrideCursor)
        QApplication::restoreOverrideCursor();
    m_overrideCursor = busy;
    switch (shape) {
    case core::MousePointer::Hourglass:
        setCursor(Qt::WaitCursor);
        break;
    case core::MousePointer::Custom:
        if (m_handCursor)
            setCursor(*m_handCursor);
        else
            unsetCursor();
        break;
    default:
        unsetCursor();
        break;
    }
}

} // namespace shell
