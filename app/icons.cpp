#include "app/icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygon>

namespace {

QPixmap blankPixmap(int width, int height) {
    QPixmap pixmap(width, height);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

void drawPlug(QPainter& painter, const QColor& colour) {
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(colour);
    painter.drawRect(3, 4, 6, 6);
    painter.drawLine(9, 5, 13, 5);
    painter.drawLine(9, 8, 13, 8);
    painter.drawLine(0, 7, 3, 7);
}

void drawMonitor(QPainter& painter) {
    painter.setPen(Qt::black);
    painter.setBrush(QColor(0, 0, 128));
    painter.drawRect(1, 1, 13, 9);
    painter.drawLine(5, 12, 10, 12);
    painter.drawLine(7, 11, 7, 12);
}

// One painter per toolbar command.
void drawLocations(QPainter& painter) {
    // A list of locations: three lines beside three dots.
    painter.setPen(Qt::black);
    painter.setBrush(Qt::white);
    painter.drawRect(1, 1, 13, 12);
    for (int row = 0; row < 3; ++row) {
        painter.fillRect(3, 3 + row * 3, 2, 2, QColor(0, 128, 0));
        painter.drawLine(6, 4 + row * 3, 12, 4 + row * 3);
    }
}

void drawConnect(QPainter& painter) {
    drawPlug(painter, QColor(0, 176, 0));
}

void drawDisconnect(QPainter& painter) {
    drawPlug(painter, QColor(200, 0, 0));
    painter.setPen(QPen(QColor(200, 0, 0), 2));
    painter.drawLine(1, 13, 14, 1);
}

void drawTemporaryCommsSetup(QPainter& painter) {
    // A spanner-like mark over a port.
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(QColor(192, 192, 192));
    painter.drawRect(1, 6, 13, 6);
    painter.setPen(QPen(QColor(0, 0, 160), 2));
    painter.drawLine(3, 4, 12, 4);
    painter.drawLine(10, 2, 12, 4);
    painter.drawLine(10, 6, 12, 4);
}

void drawTestComms(QPainter& painter) {
    drawMonitor(painter);
    painter.setPen(QColor(0, 255, 0));
    painter.drawLine(3, 7, 5, 4);
    painter.drawLine(5, 4, 8, 8);
    painter.drawLine(8, 8, 12, 3);
}

void drawCommsLog(QPainter& painter) {
    painter.setPen(Qt::black);
    painter.setBrush(QColor(255, 255, 224));
    painter.drawRect(2, 0, 11, 14);
    for (int row = 0; row < 5; ++row)
        painter.drawLine(4, 3 + row * 2, 11, 3 + row * 2);
}

void drawConvertor(QPainter& painter) {
    painter.setPen(Qt::black);
    painter.setBrush(QColor(224, 224, 224));
    painter.drawRect(2, 0, 11, 14);
    painter.fillRect(4, 2, 7, 3, QColor(0, 96, 0));
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column)
            painter.fillRect(4 + column * 3, 7 + row * 2, 2, 1, Qt::black);
}

void drawAbout(QPainter& painter) {
    painter.setPen(Qt::black);
    painter.setBrush(QColor(255, 255, 160));
    painter.drawEllipse(1, 0, 13, 13);
    painter.setPen(QPen(QColor(0, 0, 160), 2));
    painter.drawLine(7, 5, 7, 10);
    painter.drawPoint(7, 3);
}

void drawContextHelp(QPainter& painter) {
    // Pointer with a question mark.
    QPolygon arrow;
    arrow << QPoint(0, 0) << QPoint(0, 11) << QPoint(3, 8) << QPoint(5, 12) << QPoint(7, 11)
          << QPoint(5, 7) << QPoint(8, 7);
    painter.setPen(Qt::black);
    painter.setBrush(Qt::white);
    painter.drawPolygon(arrow);
    QFont font = painter.font();
    font.setPixelSize(10);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(QColor(0, 0, 160));
    painter.drawText(QRect(8, 0, 8, 12), Qt::AlignCenter, QStringLiteral("?"));
}

struct ToolbarIcon {
    Command command;
    void (*paint)(QPainter&);
};

constexpr ToolbarIcon kToolbarIcons[] = {
    {Command::Locations, drawLocations},
    {Command::Connect, drawConnect},
    {Command::Disconnect, drawDisconnect},
    {Command::TemporaryCommsSetup, drawTemporaryCommsSetup},
    {Command::TestComms, drawTestComms},
    {Command::CommsLog, drawCommsLog},
    {Command::Convertor, drawConvertor},
    {Command::About, drawAbout},
    {Command::ContextHelp, drawContextHelp},
};

} // namespace

QPixmap toolbarPixmap(Command command) {
    QPixmap pixmap = blankPixmap(16, 15);
    QPainter painter(&pixmap);
    for (const ToolbarIcon& icon : kToolbarIcons)
        if (icon.command == command)
            icon.paint(painter);
    return pixmap;
}

QPixmap indicatorPixmap(bool transmit, int frame) {
    QPixmap pixmap = blankPixmap(12, 12);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor lit = transmit ? QColor(0, 220, 0) : QColor(255, 64, 32);
    QColor unlit = transmit ? QColor(0, 72, 0) : QColor(88, 24, 16);
    painter.setPen(QPen(Qt::darkGray, 1));
    painter.setBrush(frame == 1 ? lit : unlit);
    painter.drawEllipse(QRectF(1.5, 1.5, 9, 9));
    return pixmap;
}

QIcon programIcon() {
    QPixmap pixmap = blankPixmap(32, 32);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(QColor(0, 64, 160));
    painter.drawRoundedRect(QRectF(1.5, 1.5, 29, 29), 5, 5);
    painter.setPen(QPen(QColor(255, 255, 255), 2.5));
    QPainterPath wave;
    wave.moveTo(5, 20);
    wave.lineTo(10, 20);
    wave.lineTo(10, 10);
    wave.lineTo(16, 10);
    wave.lineTo(16, 22);
    wave.lineTo(22, 22);
    wave.lineTo(22, 12);
    wave.lineTo(27, 12);
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(wave);
    return QIcon(pixmap);
}
