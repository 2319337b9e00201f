#include "ui/main/status_strip.h"

#include <QtWidgets/QLabel>

namespace korvanel::ui {

StatusStrip::StatusStrip(QWidget* parent) : QFrame(parent) {
    setFixedHeight(kHeight);
    for (auto& part : parts_) {
        part = new QLabel(this);
        part->setFrameShape(QFrame::StyledPanel);
        part->setFrameShadow(QFrame::Sunken);
        part->setContentsMargins(4, 0, 4, 0);
        part->setTextFormat(Qt::PlainText);
    }
}

void StatusStrip::setPartText(int part, const QString& text) {
    if (part >= 0 && part < kParts) parts_[part]->setText(text);
}

QString StatusStrip::partText(int part) const {
    return part >= 0 && part < kParts ? parts_[part]->text() : QString();
}

void StatusStrip::setPartEdges(const std::array<int, kParts>& right_edges) {
    int left = 0;
    for (int i = 0; i < kParts; ++i) {
        parts_[i]->setGeometry(left, 0, std::max(0, right_edges[i] - left), kHeight);
        left = right_edges[i];
    }
}

QRect StatusStrip::partGeometry(int part) const {
    return parts_[part]->geometry();
}

}  // namespace korvanel::ui
