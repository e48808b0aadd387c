#pragma once

#include <QStringList>

namespace dice {

// The four built-in dice of the "Load Example" buttons, which the command line offers too.
enum class Example { Coin, ClassicSixSided, TwentySided, RockPaperScissors };

// The example's side labels in list order.
QStringList exampleLabels(Example example);

} // namespace dice
