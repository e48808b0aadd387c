#include "ResultsCommands.h"

#include "core/ListModel.h"
#include "core/Trap.h"

using namespace Qt::StringLiterals;

namespace results {

void clearResults(const platform::Services& services, core::ListModel& results) {
    core::Trap trap(services, u"Form1.PushButton10_Click"_s);
    trap(100, [&] { results.removeAll(); });
}

void copyResults(const platform::Services& services, core::ListModel& results, std::chrono::microseconds yieldSlice) {
    core::Trap trap(services, u"Form1.PushButton11_Click"_s);
    trap(100, [&] { Main::CopyListviewToClipboard(results, services, yieldSlice); });
}

} // namespace results
