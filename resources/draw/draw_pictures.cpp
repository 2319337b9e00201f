// Draws the window's pictures: the two button skins (one row per state), the in-use mark,
// the About picture and the program icon in the sizes a desktop asks for. The PNG files are
// kept in the repository; run `make pictures` after changing this program.
//
//   draw_pictures OUTPUT_DIR   writes pictures/*.png and icons/*.png below OUTPUT_DIR
#include <QtCore/QDir>
#include <QtCore/QtMath>
#include <QtGui/QFont>
#include <QtGui/QGuiApplication>
#include <QtGui/QImage>
#include <QtGui/QLinearGradient>
#include <QtGui/QPainter>
#include <QtGui/QPainterPath>
#include <cstdio>

namespace {

// The large buttons: four 60 x 60 cells in a row, four rows (normal, hover, pressed, latched).
constexpr int kLargeCell = 60;
// The small buttons: four 82 x 30 cells in a row, three rows (normal, hover, pressed).
constexpr int kSmallWidth = 82;
constexpr int kSmallHeight = 30;

enum class State { kNormal, kHover, kPressed, kLatched };

QColor Shade(const QColor& c, int percent) {
    return percent >= 0 ? c.lighter(100 + percent) : c.darker(100 - percent);
}

// The face of a button: a rounded plate whose light and border say the state.
void DrawPlate(QPainter& p, const QRectF& cell, State state, const QColor& accent, qreal radius) {
    QRectF plate = cell.adjusted(2.5, 2.5, -2.5, -2.5);
    if (state == State::kPressed) plate.translate(0, 1);
    QColor top(250, 250, 250), bottom(205, 208, 214);
    if (state == State::kHover) {
        top = QColor(255, 255, 255);
        bottom = Shade(accent, 120);
    } else if (state == State::kPressed) {
        top = QColor(170, 174, 182);
        bottom = QColor(215, 218, 224);
    } else if (state == State::kLatched) {
        top = Shade(accent, 150);
        bottom = Shade(accent, 60);
    }
    QLinearGradient fill(plate.topLeft(), plate.bottomLeft());
    fill.setColorAt(0, top);
    fill.setColorAt(1, bottom);
    if (state != State::kPressed) {  // a soft shadow under a raised plate
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, 60));
        p.drawRoundedRect(plate.translated(0, 1.5), radius, radius);
    }
    p.setBrush(fill);
    QColor border = state == State::kHover     ? accent
                    : state == State::kLatched ? Shade(accent, -40)
                                               : QColor(120, 124, 132);
    p.setPen(QPen(border, state == State::kHover || state == State::kLatched ? 2.0 : 1.0));
    p.drawRoundedRect(plate, radius, radius);
}

// The lamp under a large button's glyph: lit while latched.
void DrawLamp(QPainter& p, const QRectF& cell, State state, const QColor& accent) {
    QRectF lamp(cell.center().x() - 12, cell.bottom() - 12, 24, 4);
    if (state == State::kPressed) lamp.translate(0, 1);
    p.setPen(Qt::NoPen);
    p.setBrush(state == State::kLatched ? QColor(255, 255, 120) : QColor(0, 0, 0, 45));
    p.drawRoundedRect(lamp, 2, 2);
    if (state == State::kLatched) {
        p.setBrush(QColor(255, 255, 160, 90));
        p.drawRoundedRect(lamp.adjusted(-3, -2, 3, 2), 4, 4);
    }
    (void)accent;
}

void DrawGear(QPainter& p, QPointF c, qreal outer, const QColor& colour) {
    QPainterPath gear;
    const int teeth = 8;
    for (int i = 0; i < teeth * 2; ++i) {
        qreal a0 = (i * M_PI) / teeth, a1 = ((i + 1) * M_PI) / teeth;
        qreal r = (i % 2 == 0) ? outer : outer * 0.74;
        QPointF p0 = c + QPointF(r * qCos(a0), r * qSin(a0));
        QPointF p1 = c + QPointF(r * qCos(a1), r * qSin(a1));
        if (i == 0)
            gear.moveTo(p0);
        else
            gear.lineTo(p0);
        gear.lineTo(p1);
    }
    gear.closeSubpath();
    QPainterPath hole;
    hole.addEllipse(c, outer * 0.32, outer * 0.32);
    p.setPen(QPen(Shade(colour, -50), 1));
    p.setBrush(colour);
    p.drawPath(gear.subtracted(hole));
}

void DrawLargeGlyph(QPainter& p, int index, const QRectF& cell, State state) {
    QPointF c = cell.center() + QPointF(0, state == State::kPressed ? -3 : -4);
    p.setRenderHint(QPainter::Antialiasing);
    switch (index) {
        case 0: {  // start: a play triangle
            QPolygonF t;
            t << c + QPointF(-9, -13) << c + QPointF(14, 0) << c + QPointF(-9, 13);
            p.setPen(QPen(QColor(20, 100, 30), 1.5));
            p.setBrush(QColor(60, 175, 70));
            p.drawPolygon(t);
            break;
        }
        case 1:  // stop: a square
            p.setPen(QPen(QColor(130, 20, 20), 1.5));
            p.setBrush(QColor(210, 55, 50));
            p.drawRoundedRect(QRectF(c.x() - 11, c.y() - 11, 22, 22), 3, 3);
            break;
        case 2: {  // to tray: an arrow down into a tray
            p.setPen(QPen(QColor(30, 70, 140), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.setBrush(Qt::NoBrush);
            QPolygonF tray;
            tray << c + QPointF(-15, 3) << c + QPointF(-15, 13) << c + QPointF(15, 13)
                 << c + QPointF(15, 3);
            p.drawPolyline(tray);
            p.setPen(QPen(QColor(50, 110, 200), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawLine(c + QPointF(0, -14), c + QPointF(0, 6));
            QPolygonF head;
            head << c + QPointF(-7, -1) << c + QPointF(0, 7) << c + QPointF(7, -1);
            p.drawPolyline(head);
            break;
        }
        default:  // settings: a gear
            DrawGear(p, c, 15, QColor(150, 155, 165));
            break;
    }
}

QImage DrawLargeSkin() {
    const QColor accents[4] = {QColor(60, 175, 70), QColor(210, 55, 50), QColor(50, 110, 200),
                               QColor(140, 140, 150)};
    QImage sheet(kLargeCell * 4, kLargeCell * 4, QImage::Format_ARGB32);
    sheet.fill(Qt::transparent);
    QPainter p(&sheet);
    p.setRenderHint(QPainter::Antialiasing);
    for (int row = 0; row < 4; ++row) {
        for (int col = 0; col < 4; ++col) {
            QRectF cell(col * kLargeCell, row * kLargeCell, kLargeCell, kLargeCell);
            State state = static_cast<State>(row);
            DrawPlate(p, cell, state, accents[col], 9);
            DrawLargeGlyph(p, col, cell, state);
            DrawLamp(p, cell, state, accents[col]);
        }
    }
    return sheet;
}

// Small glyphs left of the captions: plus, cross, stacked lines, check mark.
void DrawSmallGlyph(QPainter& p, int index, QPointF c) {
    p.setBrush(Qt::NoBrush);
    switch (index) {
        case 0:
            p.setPen(QPen(QColor(40, 140, 50), 2.6, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(c + QPointF(-5, 0), c + QPointF(5, 0));
            p.drawLine(c + QPointF(0, -5), c + QPointF(0, 5));
            break;
        case 1:
            p.setPen(QPen(QColor(200, 50, 45), 2.6, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(c + QPointF(-4, -4), c + QPointF(4, 4));
            p.drawLine(c + QPointF(-4, 4), c + QPointF(4, -4));
            break;
        case 2:
            p.setPen(QPen(QColor(50, 100, 190), 2.2, Qt::SolidLine, Qt::RoundCap));
            for (int i = -1; i <= 1; ++i) p.drawLine(c + QPointF(-5, i * 4), c + QPointF(5, i * 4));
            break;
        default:
            p.setPen(QPen(QColor(200, 130, 20), 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawPolyline(QPolygonF()
                           << c + QPointF(-5, 0) << c + QPointF(-1, 4) << c + QPointF(6, -5));
            break;
    }
}

QImage DrawSmallSkin() {
    const char* captions[4] = {"登録", "削除", "一括登録", "チェック"};
    const QColor accents[4] = {QColor(60, 160, 70), QColor(210, 60, 55), QColor(60, 110, 200),
                               QColor(220, 150, 30)};
    QImage sheet(kSmallWidth * 4, kSmallHeight * 3, QImage::Format_ARGB32);
    sheet.fill(Qt::transparent);
    QPainter p(&sheet);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QFont font("Noto Sans CJK JP");
    font.setPixelSize(13);
    font.setWeight(QFont::DemiBold);
    p.setFont(font);
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 4; ++col) {
            QRectF cell(col * kSmallWidth, row * kSmallHeight, kSmallWidth, kSmallHeight);
            State state = static_cast<State>(row);
            DrawPlate(p, cell, state, accents[col], 6);
            QPointF shift(0, state == State::kPressed ? 1 : 0);
            DrawSmallGlyph(p, col, QPointF(cell.left() + 15, cell.center().y()) + shift);
            p.setPen(QColor(30, 30, 35));
            p.drawText(cell.adjusted(24, 0, -4, 0).translated(shift),
                       Qt::AlignVCenter | Qt::AlignLeft, QString::fromUtf8(captions[col]));
        }
    }
    return sheet;
}

QImage DrawInUseMark() {
    QImage mark(21, 21, QImage::Format_ARGB32);
    mark.fill(Qt::transparent);
    QPainter p(&mark);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(20, 110, 40), 1));
    p.setBrush(QColor(45, 170, 75));
    p.drawEllipse(QRectF(1, 1, 19, 19));
    p.setPen(QPen(Qt::white, 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QPolygonF() << QPointF(5.5, 10.5) << QPointF(9, 14) << QPointF(15.5, 6.5));
    return mark;
}

// The program icon: a blue disc with a white "K" and an arrow passing through it.
QImage DrawIcon(int size) {
    QImage icon(size, size, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    QPainter p(&icon);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    QRadialGradient disc(QPointF(24, 20), 44);
    disc.setColorAt(0, QColor(80, 150, 235));
    disc.setColorAt(1, QColor(20, 60, 140));
    p.setPen(QPen(QColor(15, 40, 95), 2));
    p.setBrush(disc);
    p.drawEllipse(QRectF(3, 3, 58, 58));
    p.setPen(QPen(Qt::white, 7, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(QPointF(22, 16), QPointF(22, 48));
    p.drawPolyline(QPolygonF() << QPointF(42, 16) << QPointF(24, 32) << QPointF(42, 48));
    p.setPen(QPen(QColor(255, 200, 60), 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(QPointF(30, 32), QPointF(52, 32));
    p.drawPolyline(QPolygonF() << QPointF(46, 26) << QPointF(52, 32) << QPointF(46, 38));
    return icon;
}

// On a light plate of its own, so that it reads on every theme's background.
QImage DrawAboutPicture() {
    QImage picture(250, 72, QImage::Format_ARGB32);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(180, 190, 210), 1));
    p.setBrush(QColor(248, 250, 253));
    p.drawRoundedRect(QRectF(0.5, 0.5, 249, 71), 10, 10);
    p.drawImage(QPointF(4, 4), DrawIcon(64));
    QFont font("Noto Sans");
    font.setPixelSize(26);
    font.setWeight(QFont::Bold);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 1);
    p.setFont(font);
    p.setPen(QColor(30, 70, 150));
    p.drawText(QRectF(76, 6, 170, 40), Qt::AlignLeft | Qt::AlignVCenter, "KORVANEL");
    QFont small("Noto Sans CJK JP");
    small.setPixelSize(12);
    p.setFont(small);
    p.setPen(QColor(90, 90, 100));
    p.drawText(QRectF(78, 42, 170, 22), Qt::AlignLeft | Qt::AlignVCenter,
               QString::fromUtf8("HTTP プロクシ"));
    return picture;
}

bool Save(const QImage& image, const QString& path) {
    if (image.save(path)) return true;
    std::fprintf(stderr, "draw_pictures: cannot write %s\n", qPrintable(path));
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: draw_pictures OUTPUT_DIR\n");
        return 2;
    }
    QDir out(QString::fromLocal8Bit(argv[1]));
    out.mkpath("pictures");
    out.mkpath("icons");
    bool ok = Save(DrawLargeSkin(), out.filePath("pictures/large_buttons.png")) &&
              Save(DrawSmallSkin(), out.filePath("pictures/small_buttons.png")) &&
              Save(DrawInUseMark(), out.filePath("pictures/in_use.png")) &&
              Save(DrawAboutPicture(), out.filePath("pictures/about.png"));
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        ok = ok && Save(DrawIcon(size), out.filePath(QString("icons/korvanel-%1.png").arg(size)));
    }
    return ok ? 0 : 1;
}
