#include "app/window_look.hpp"

#include <QApplication>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QStringList>
#include <QWidget>

#include <algorithm>
#include <cmath>

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

namespace {

// A point at which `size` lies on `screen`, as near to `at` as it can.
QPoint KeptOn(QPoint at, const QSize& size, const QRect& screen) {
    at.setX(std::max(screen.left(), std::min(at.x(), screen.right() + 1 - size.width())));
    at.setY(std::max(screen.top(), std::min(at.y(), screen.bottom() + 1 - size.height())));
    return at;
}

double Luminance(const QColor& colour) {
    const auto channel = [](double c) { return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) + 0.0722 * channel(colour.blueF());
}

// The ring around the focused control: transparent inside, so only the ring
// is seen, and never in the way of the mouse.
class FocusMark : public QWidget {
public:
    explicit FocusMark(QWidget& window) : QWidget(&window) {
        setObjectName(QStringLiteral("FocusMark"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
        hide();
    }

    void Follow(QWidget* control) {
        QWidget* window = parentWidget();
        if (control == nullptr || control == window || control == this || !window->isAncestorOf(control)) {
            hide();
            return;
        }
        const int out = kFocusMarkWidth + kFocusMarkGap;
        const QRect area(control->mapTo(window, QPoint(0, 0)), control->size());
        setGeometry(area.adjusted(-out, -out, out, out));
        colour_ = FocusMarkColour(window->palette().color(QPalette::Window));
        raise();
        show();
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QRect all = rect();
        const int w = kFocusMarkWidth;
        painter.fillRect(QRect(0, 0, all.width(), w), colour_);
        painter.fillRect(QRect(0, all.height() - w, all.width(), w), colour_);
        painter.fillRect(QRect(0, 0, w, all.height()), colour_);
        painter.fillRect(QRect(all.width() - w, 0, w, all.height()), colour_);
    }

private:
    QColor colour_;
};

}  // namespace

QPoint PlaceBesideOwner(const QRect& owner, const QSize& size, const QRect& screen) {
    const QRect candidates[] = {
        QRect(QPoint(owner.left(), owner.bottom() + 1), size),
        QRect(QPoint(owner.right() + 1, owner.top()), size),
        QRect(QPoint(owner.left() - size.width(), owner.top()), size),
        QRect(QPoint(owner.left(), owner.top() - size.height()), size),
    };
    for (const QRect& place : candidates) {
        const QRect kept(KeptOn(place.topLeft(), size, screen), size);
        if (screen.contains(kept) && !kept.intersects(owner)) return kept.topLeft();
    }
    QRect centred(QPoint(0, 0), size);
    centred.moveCenter(screen.center());
    return centred.topLeft();
}

QPoint CentreOver(const QRect& owner, const QSize& size, const QRect& screen) {
    QRect place(QPoint(0, 0), size);
    place.moveCenter(owner.center());
    return KeptOn(place.topLeft(), size, screen);
}

double ContrastRatio(const QColor& a, const QColor& b) {
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor FocusMarkColour(const QColor& background) {
    const QColor yellow(0xff, 0xd4, 0x00);
    const QColor blue(0x00, 0x3c, 0xb4);
    const QColor coloured = ContrastRatio(yellow, background) >= ContrastRatio(blue, background) ? yellow : blue;
    if (ContrastRatio(coloured, background) >= 3.0) return coloured;
    // Mid greys: black or white, whichever stands out more (at least 4.5:1).
    const QColor black(Qt::black);
    const QColor white(Qt::white);
    return ContrastRatio(black, background) >= ContrastRatio(white, background) ? black : white;
}

void InstallFocusMark(QWidget& window) {
    auto* mark = new FocusMark(window);
    QPointer<FocusMark> guard(mark);
    QObject::connect(qApp, &QApplication::focusChanged, mark, [guard](QWidget*, QWidget* now) {
        if (guard) guard->Follow(now);
    });
    guard->Follow(QApplication::focusWidget());
}

}  // namespace torvane
