#include "ResultsCommands.h"

#include "platform/ListModel.h"
#include "shell/Trap.h"

using namespace Qt::StringLiterals;

namespace results {

void clearResults(const platform::Services& services, platform::ListModel& results) {
    shell::Trap trap(services, u"Form1.PushButton10_Click"_s);
    trap(100, [&] { results.removeAll(); });
}

void copyResults(const platform::Services& services, platform::ListModel& results,
                 std::chrono::microseconds yieldSlice) {
    shell::Trap trap(services, u"Form1.PushButton11_Click"_s);
    trap(100, [&] { Main::CopyListviewToClipboard(results, services, yieldSlice); });
}

} // namespace results
