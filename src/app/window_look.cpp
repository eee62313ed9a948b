#include "app/window_look.hpp"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QScreen>
#include <QStringList>
#include <QWidget>

namespace torvane {

QFont TorvaneFont() {
    // The first family is the one the window was drawn for; font
    // configurations list it under either name. IPA P Gothic has the same
    // proportional glyph widths for the kana and full-width captions.
    static const QStringList kFamilies = {
        QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"),
        QStringLiteral("IPAPGothic"), QStringLiteral("IPA Pゴシック")};
    const QStringList installed = QFontDatabase::families();
    QFont font;
    for (const auto& family : kFamilies) {
        if (installed.contains(family, Qt::CaseInsensitive)) {
            font.setFamily(family);
            break;
        }
    }
    font.setPixelSize(12);
    return font;
}

QIcon ProgramIcon() {
    QIcon icon;
    // Drawn pictures first: they do not need Qt's SVG icon engine.
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/icons/%1x%1/apps/org.torvane.Torvane.png").arg(size), QSize(size, size));
    }
    icon.addFile(QStringLiteral(":/icons/scalable/apps/org.torvane.Torvane.svg"));
    return icon;
}

void CentreOnScreen(QWidget& window) {
    const QScreen* screen = window.screen() != nullptr ? window.screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    const QRect desktop = screen->availableGeometry();
    QRect frame = window.frameGeometry();
    frame.moveCenter(desktop.center());
    window.move(frame.topLeft());
}

}  // namespace torvane
