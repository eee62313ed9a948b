#pragma once
// What the windows share: their font, their icon and their place on the screen.

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace torvane {

// "ＭＳ Ｐゴシック" where the system has it, else IPA P Gothic, 12 pixels high.
[[nodiscard]] QFont TorvaneFont();

// The program's icon, built into the program, at the sizes of the icon theme.
[[nodiscard]] QIcon ProgramIcon();

// Places a top-level widget in the middle of the available desktop.
void CentreOnScreen(QWidget& window);

// Where a window of `size` (its frame included) goes so that it covers
// none of `owner` (a frame): below it, else to its right, else to its left,
// else above it, each aligned with the owner's edge and kept on `screen`;
// else centred on `screen`.
[[nodiscard]] QPoint PlaceBesideOwner(const QRect& owner, const QSize& size, const QRect& screen);

// Where a window of `size` goes to be centred over `owner`, kept on `screen`.
[[nodiscard]] QPoint CentreOver(const QRect& owner, const QSize& size, const QRect& screen);

// The contrast ratio of two colours as the web's accessibility guidelines
// reckon it: 1 (the same) to 21 (black and white).
[[nodiscard]] double ContrastRatio(const QColor& a, const QColor& b);

// The colour of the focus mark on a background of `background`: a yellow on
// dark ones, a deep blue on light ones, black or white on the mid greys
// where neither reaches a contrast of 3:1 with it.
[[nodiscard]] QColor FocusMarkColour(const QColor& background);

// Width of the focus mark, and its distance from the control it surrounds.
inline constexpr int kFocusMarkWidth = 2;
inline constexpr int kFocusMarkGap = 1;

// Draws a mark of kFocusMarkWidth pixels around whichever control of
// `window` has the keyboard focus, outside the control, in FocusMarkColour
// of the window's background, so that it shows on every control whatever
// the style draws.
void InstallFocusMark(QWidget& window);

}  // namespace torvane
