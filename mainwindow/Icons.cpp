#include "mainwindow/Icons.h"

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>

namespace {

QIcon Styled(QStyle::StandardPixmap p) { return QApplication::style()->standardIcon(p); }

// Small line drawings for the four view styles (no standard picture exists for them).
QIcon DrawnViewIcon(ToolPicture picture) {
  QPixmap pm(16, 16);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setPen(QPen(QColor(40, 60, 110), 1));
  p.setBrush(QColor(90, 130, 200));
  switch (picture) {
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
  return QIcon(pm);
}

QIcon Themed(const char* name, const char* second, const QIcon& fallback) {
  QIcon i = QIcon::fromTheme(name);
  if (i.isNull() && second) i = QIcon::fromTheme(second);
  return i.isNull() ? fallback : i;
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
    case ToolPicture::EmuList: return Themed("applications-games", "input-gaming", Styled(QStyle::SP_FileDialogDetailedView));
    case ToolPicture::Run: return Themed("media-playback-start", nullptr, Styled(QStyle::SP_MediaPlay));
    case ToolPicture::Scan: return Themed("system-search", "edit-find", Styled(QStyle::SP_FileDialogContentsView));
    case ToolPicture::Refresh: return Themed("view-refresh", nullptr, Styled(QStyle::SP_BrowserReload));
    case ToolPicture::Options: return Themed("preferences-system", "document-properties", Styled(QStyle::SP_ComputerIcon));
    case ToolPicture::Help: return Themed("help-contents", "help-browser", Styled(QStyle::SP_DialogHelpButton));
    case ToolPicture::BigIcons: return Themed("view-grid", "view-list-icons", DrawnViewIcon(picture));
    case ToolPicture::SmallIcons: return DrawnViewIcon(picture);
    case ToolPicture::List: return Themed("view-list", nullptr, DrawnViewIcon(picture));
    case ToolPicture::Report: return Themed("view-list-details", nullptr, DrawnViewIcon(picture));
  }
  return {};
}

QIcon RomPresentIcon() {
  QIcon i;
  for (int s : {16, 32}) i.addPixmap(RomPixmap(s));
  return i;
}

QIcon RomMissingIcon() {
  QIcon i;
  for (int s : {16, 32}) {
    QPixmap pm = RomPixmap(s);
    // Faded and crossed out, so the two states differ at a glance in both sizes.
    QPixmap faded(pm.size());
    faded.fill(Qt::transparent);
    QPainter p(&faded);
    p.setOpacity(0.45);
    p.drawPixmap(0, 0, pm);
    p.end();
    i.addPixmap(Crossed(faded));
  }
  return i;
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
