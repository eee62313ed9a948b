#pragma once
// What the windows share: their font, their icon and their place on the screen.

#include <QFont>
#include <QIcon>

class QWidget;

namespace torvane {

// "ＭＳ Ｐゴシック" where the system has it, else IPA P Gothic, 12 pixels high.
[[nodiscard]] QFont TorvaneFont();

// The program's icon, built into the program, at the sizes of the icon theme.
[[nodiscard]] QIcon ProgramIcon();

// Places a top-level widget in the middle of the available desktop.
void CentreOnScreen(QWidget& window);

}  // namespace torvane
