// A tab control whose tabs are drawn in the theme's colours: the selected tab filled with
// the selected-tab colour and written in its text colour, the others in the background and
// text colours (the palette's Highlight, HighlightedText, Window and WindowText).
#pragma once

#include <QtWidgets/QTabBar>
#include <QtWidgets/QTabWidget>

namespace korvanel::ui {

class ThemedTabBar : public QTabBar {
    Q_OBJECT
  public:
    using QTabBar::QTabBar;

  protected:
    void paintEvent(QPaintEvent* event) override;
    QSize tabSizeHint(int index) const override;
};

class ThemedTabWidget : public QTabWidget {
    Q_OBJECT
  public:
    explicit ThemedTabWidget(QWidget* parent = nullptr);
};

}  // namespace korvanel::ui
