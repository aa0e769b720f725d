#include "ui/Artwork.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace korvid {

namespace {

// A database drum: the picture of the server's data files.
void drawDrum(QPainter& p, const QRectF& r, const QColor& body, const QColor& top) {
    const qreal cap = r.height() / 5.0;
    QPainterPath side;
    side.moveTo(r.left(), r.top() + cap / 2);
    side.lineTo(r.left(), r.bottom() - cap / 2);
    side.arcTo(QRectF(r.left(), r.bottom() - cap, r.width(), cap), 180, 180);
    side.lineTo(r.right(), r.top() + cap / 2);
    side.closeSubpath();
    p.setPen(QPen(body.darker(160), qMax<qreal>(1.0, r.width() / 24)));
    p.setBrush(body);
    p.drawPath(side);
    p.setBrush(top);
    p.drawEllipse(QRectF(r.left(), r.top(), r.width(), cap));
    p.setBrush(Qt::NoBrush);
    for (int band = 1; band <= 2; ++band) {
        const qreal y = r.top() + band * (r.height() - cap) / 3.0;
        p.drawArc(QRectF(r.left(), y, r.width(), cap), 180 * 16, 180 * 16);
    }
}

QPixmap drumPixmap(int size, const QColor& body, const QColor& top) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal m = size / 8.0;
    drawDrum(p, QRectF(m, m / 2, size - 2 * m, size - m), body, top);
    return pm;
}

QIcon drumIcon(const QColor& body, const QColor& top, std::initializer_list<int> sizes) {
    QIcon icon;
    for (int size : sizes) icon.addPixmap(drumPixmap(size, body, top));
    return icon;
}

}  // namespace

QPixmap loginBanner() {
    QPixmap pm(422, 277);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 422, 277);
    sky.setColorAt(0.0, QColor(0x10, 0x2A, 0x5C));
    sky.setColorAt(1.0, QColor(0x1E, 0x7A, 0x8C));
    p.fillRect(pm.rect(), sky);
    // A faint grid of data pages behind the drums.
    p.setPen(QColor(255, 255, 255, 28));
    for (int x = 0; x < 422; x += 18) p.drawLine(x, 0, x, 277);
    for (int y = 0; y < 277; y += 18) p.drawLine(0, y, 422, y);
    // A light corner behind the version, which is written in a label's own dark text.
    QRadialGradient glow(QPointF(422, 0), 170);
    glow.setColorAt(0.0, QColor(0xF0, 0xF6, 0xFC));
    glow.setColorAt(0.6, QColor(0xF0, 0xF6, 0xFC, 210));
    glow.setColorAt(1.0, QColor(0xF0, 0xF6, 0xFC, 0));
    p.fillRect(pm.rect(), glow);
    drawDrum(p, QRectF(28, 70, 70, 96), QColor(0xD8, 0xA0, 0x30), QColor(0xF4, 0xD0, 0x70));
    drawDrum(p, QRectF(70, 120, 62, 84), QColor(0x9C, 0xB8, 0xD8), QColor(0xD0, 0xE0, 0xF4));
    QFont title(QStringLiteral("DejaVu Sans"));
    title.setPixelSize(34);
    title.setBold(true);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(QRect(20, 12, 300, 44), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Korvid"));
    QFont small(QStringLiteral("DejaVu Sans"));
    small.setPixelSize(12);
    p.setFont(small);
    p.setPen(QColor(0xE0, 0xF0, 0xFF));
    p.drawText(QRect(20, 224, 380, 20), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("SQL Server 2000 数据文件"));
    return pm;
}

QIcon loginIcon() {
    return drumIcon(QColor(0xD8, 0xA0, 0x30), QColor(0xF4, 0xD0, 0x70), {32, 16});
}

QIcon mainIcon() {
    // The main window's icon has the one small image.
    return drumIcon(QColor(0x30, 0x70, 0xC0), QColor(0x90, 0xC0, 0xF0), {16});
}

QCursor controlCursor() {
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath arrow;
    arrow.moveTo(1, 1);
    arrow.lineTo(1, 21);
    arrow.lineTo(6, 16);
    arrow.lineTo(10, 25);
    arrow.lineTo(13, 24);
    arrow.lineTo(9, 15);
    arrow.lineTo(16, 15);
    arrow.closeSubpath();
    p.setPen(QPen(Qt::black, 1.2));
    p.setBrush(Qt::white);
    p.drawPath(arrow);
    drawDrum(p, QRectF(18, 16, 12, 15), QColor(0x30, 0x70, 0xC0), QColor(0x90, 0xC0, 0xF0));
    p.end();
    return QCursor(pm, 1, 1);
}

}  // namespace korvid
