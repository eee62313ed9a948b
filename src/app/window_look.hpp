#pragma once
// What both windows share: their font and their place on the screen.

#include <QFont>

class QWidget;

namespace torvane {

// "ＭＳ Ｐゴシック" where the system has it, else IPA P Gothic, 12 pixels high.
[[nodiscard]] QFont TorvaneFont();

// Places a top-level widget in the middle of the available desktop.
void CentreOnScreen(QWidget& window);

}  // namespace torvane
