// The status bar's four parts: 0 the proxy in use, 1 the User-Agent in use, 2 the receive
// cookie switch, 3 the send cookie switch. Their right edges come from the window's layout.
#pragma once

#include <QtWidgets/QFrame>
#include <array>

class QLabel;

namespace korvanel::ui {

class StatusStrip : public QFrame {
    Q_OBJECT
  public:
    static constexpr int kParts = 4;
    static constexpr int kHeight = 24;

    explicit StatusStrip(QWidget* parent = nullptr);

    void setPartText(int part, const QString& text);
    QString partText(int part) const;
    void setPartEdges(const std::array<int, kParts>& right_edges);
    QRect partGeometry(int part) const;

  private:
    std::array<QLabel*, kParts> parts_{};
};

}  // namespace korvanel::ui
