#include "mainwindow/Icons.h"

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <algorithm>
#include <cmath>

namespace {

QIcon Styled(QStyle::StandardPixmap p) {
    return QApplication::style()->standardIcon(p);
}

// Small drawings for the four view styles (no standard picture exists for them), and for run
// and refresh where the theme's own would look disabled. Drawn on a 16-unit grid at the given
// device pixel ratio, so a scaled screen gets a sharp picture rather than an enlarged one.
QPixmap DrawnPixmap(ToolPicture picture, int ratio) {
    QPixmap pm(16 * ratio, 16 * ratio);
    pm.setDevicePixelRatio(ratio);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setPen(QPen(QColor(40, 60, 110), 1));
    p.setBrush(QColor(90, 130, 200));
    switch (picture) {
        case ToolPicture::Run:
            p.setRenderHint(QPainter::Antialiasing);
            p.setPen(QPen(QColor(20, 100, 20), 1));
            p.setBrush(QColor(40, 170, 40));
            p.drawPolygon(QPolygonF({QPointF(3.5, 1.5), QPointF(14, 8), QPointF(3.5, 14.5)}));
            break;
        case ToolPicture::Refresh: {
            p.setRenderHint(QPainter::Antialiasing);
            p.setPen(QPen(QColor(50, 100, 180), 2.2, Qt::SolidLine, Qt::RoundCap));
            p.setBrush(Qt::NoBrush);
            p.drawArc(QRectF(2.5, 2.5, 11, 11), 90 * 16, 270 * 16);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(50, 100, 180));
            p.drawPolygon(QPolygonF({QPointF(7, 0), QPointF(12, 3), QPointF(7, 6.5)}));
            break;
        }
        case ToolPicture::BigIcons:
            for (int x : {1, 9})
                for (int y : {1, 9}) p.drawRect(x, y, 5, 5);
            break;
        case ToolPicture::SmallIcons:
            for (int x : {1, 9})
                for (int y : {2, 7, 12}) {
                    p.drawRect(x, y, 2, 2);
                    p.drawLine(x + 4, y + 1, x + 6, y + 1);
                }
            break;
        case ToolPicture::List:
            for (int y : {2, 7, 12}) {
                p.drawRect(1, y, 2, 2);
                p.drawLine(5, y + 1, 14, y + 1);
            }
            break;
        default:  // report: a table with a header row
            p.setBrush(Qt::NoBrush);
            p.drawRect(1, 1, 13, 13);
            p.fillRect(2, 2, 12, 3, QColor(90, 130, 200));
            p.drawLine(6, 1, 6, 14);
            for (int y : {5, 9}) p.drawLine(1, y, 14, y);
            break;
    }
    p.end();
    return pm;
}

QIcon DrawnIcon(ToolPicture picture) {
    QIcon i;
    for (int ratio : {1, 2, 3}) i.addPixmap(DrawnPixmap(picture, ratio));
    return i;
}

}  // namespace

bool LooksDisabled(const QIcon& icon) {
    const QImage image = icon.pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
    int visible = 0;
    long lightness = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() < 128) continue;
            ++visible;
            lightness += c.lightness();
        }
    return visible == 0 || lightness / visible > 185;
}

namespace {

QIcon Themed(const char* name, const char* second, const QIcon& fallback) {
    QIcon i = QIcon::fromTheme(name);
    if (i.isNull() && second) i = QIcon::fromTheme(second);
    return i.isNull() ? fallback : i;
}

// A tool button's picture. Some themes draw an action in pale grey (Adwaita's play and reload):
// on a tool bar it reads as a disabled button, so the fallback is taken instead.
QIcon ThemedTool(const char* name, const char* second, const QIcon& fallback) {
    QIcon i = QIcon::fromTheme(name);
    if ((i.isNull() || LooksDisabled(i)) && second) i = QIcon::fromTheme(second);
    return i.isNull() || LooksDisabled(i) ? fallback : i;
}

QPixmap RomPixmap(int size) {
    QIcon base = Themed("media-optical", "drive-removable-media", Styled(QStyle::SP_DriveCDIcon));
    QPixmap pm = base.pixmap(size, size);
    if (pm.isNull() || pm.width() < size) {
        pm = QPixmap(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.setBrush(QColor(200, 200, 215));
        p.setPen(QColor(90, 90, 110));
        p.drawEllipse(QRectF(1, 1, size - 2, size - 2));
        p.setBrush(Qt::white);
        p.drawEllipse(QRectF(size * 0.4, size * 0.4, size * 0.2, size * 0.2));
    }
    return pm;
}

QPixmap Crossed(QPixmap pm) {
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setOpacity(1.0);
    const qreal w = pm.width(), m = w * 0.15;
    p.setPen(QPen(QColor(210, 20, 20), std::max<qreal>(2.0, w / 7), Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(m, m), QPointF(w - m, w - m));
    p.drawLine(QPointF(w - m, m), QPointF(m, w - m));
    return pm;
}

}  // namespace

QIcon ToolIcon(ToolPicture picture) {
    switch (picture) {
        case ToolPicture::EmuList:
            return ThemedTool("applications-games", "input-gaming",
                              Styled(QStyle::SP_FileDialogDetailedView));
        // The style's own pictures come from the same theme on some desktops: these two are drawn.
        case ToolPicture::Run:
            return ThemedTool("media-playback-start", nullptr, DrawnIcon(picture));
        case ToolPicture::Scan:
            return ThemedTool("system-search", "edit-find", Styled(QStyle::SP_FileDialogContentsView));
        case ToolPicture::Refresh:
            return ThemedTool("view-refresh", nullptr, DrawnIcon(picture));
        case ToolPicture::Options:
            return ThemedTool("preferences-system", "document-properties", Styled(QStyle::SP_ComputerIcon));
        case ToolPicture::Help:
            return ThemedTool("help-contents", "help-browser", Styled(QStyle::SP_DialogHelpButton));
        case ToolPicture::BigIcons:
            return ThemedTool("view-grid", "view-list-icons", DrawnIcon(picture));
        case ToolPicture::SmallIcons:
            return DrawnIcon(picture);
        case ToolPicture::List:
            return ThemedTool("view-list", nullptr, DrawnIcon(picture));
        case ToolPicture::Report:
            return ThemedTool("view-list-details", nullptr, DrawnIcon(picture));
    }
    return {};
}

QIcon RomPresentIcon() {
    QIcon i;
    for (int s : {16, 32, 64}) i.addPixmap(RomPixmap(s));
    return i;
}

namespace {

QPixmap Faded(const QPixmap& pm, double opacity) {
    QPixmap faded(pm.size());
    faded.fill(Qt::transparent);
    QPainter p(&faded);
    p.setOpacity(opacity);
    p.drawPixmap(0, 0, pm);
    p.end();
    return faded;
}

}  // namespace

QIcon RomMissingIcon() {
    QIcon i;
    // Faded and crossed out, so the two states differ at a glance in both sizes.
    for (int s : {16, 32, 64}) i.addPixmap(Crossed(Faded(RomPixmap(s), 0.45)));
    return i;
}

QIcon RomUncheckedIcon() {
    QIcon i;
    for (int s : {16, 32, 64}) i.addPixmap(Faded(RomPixmap(s), 0.25));
    return i;
}

namespace {

// A five-pointed gold star filling a square of `side` pixels at `origin`.
void DrawStar(QPainter& p, QPointF origin, double side) {
    QPolygonF star;
    for (int k = 0; k < 10; ++k) {
        const double radius = (k % 2 ? 0.2 : 0.5) * side;
        const double angle = -M_PI / 2 + k * M_PI / 5;
        star << origin + QPointF(side / 2 + radius * std::cos(angle),
                                 side / 2 + 0.05 * side + radius * std::sin(angle));
    }
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(150, 100, 0), std::max(1.0, side / 14)));
    p.setBrush(QColor(255, 200, 20));
    p.drawPolygon(star);
}

}  // namespace

QIcon FavouriteStarIcon() {
    QIcon i;
    for (int s : {16, 32}) {
        QPixmap pm(s, s);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        DrawStar(p, {0, 0}, s);
        p.end();
        i.addPixmap(pm);
    }
    return i;
}

QIcon WithFavouriteStar(const QIcon& base) {
    QIcon i;
    for (int s : {16, 32}) {
        QPixmap pm = base.pixmap(s, s);
        QPainter p(&pm);
        const double side = s * 0.62;  // in the lower right corner, large enough to see at 16 pixels
        DrawStar(p, {s - side, s - side}, side);
        p.end();
        i.addPixmap(pm);
    }
    return i;
}

// The pictures are compiled into this static library; nothing else refers to them, so the
// linker keeps them only when asked by name.
static void LoadProgramIconResource() {
    Q_INIT_RESOURCE(icons);
}

QIcon ProgramIcon() {
    LoadProgramIconResource();
    QIcon i;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        i.addFile(QString(":/tarnwick/icons/tarnwick-%1.png").arg(size), QSize(size, size));
    return i;
}

void UseProgramIcon() {
    QApplication::setWindowIcon(ProgramIcon());
    QGuiApplication::setDesktopFileName(TARNWICK_APP_ID);
}

void ChooseIconTheme() {
    const QString current = QIcon::themeName();
    if (!current.isEmpty() && current != "hicolor") return;
    for (const char* theme : {"Adwaita", "gnome", "breeze"})
        if (QDir("/usr/share/icons/" + QString(theme)).exists()) {
            QIcon::setThemeName(theme);
            return;
        }
}
