#include "ui/main/main_window.h"

#include <QtGui/QMouseEvent>
#include <QtWidgets/QAbstractItemView>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLabel>
#include <QtWidgets/QMenuBar>
#include <algorithm>

#include "runtime/runtime.h"
#include "settings/window_state.h"
#include "texts.h"
#include "ui/main/log_pane.h"
#include "ui/main/main_layout.h"
#include "ui/main/status_strip.h"
#include "ui/main/tab_trace.h"
#include "ui/widgets/skin_button.h"
#include "ui/widgets/themed_tabs.h"

namespace korvanel::ui {

namespace {

QString Text(const char* text) {
    return QString::fromUtf8(text);
}

// The large buttons: the column of each picture and its tool tip (none for settings).
struct LargeButton {
    int column_x;
    const char* tip;
};
constexpr std::array<LargeButton, 4> kLargeButtons = {
    {{0, text::kTipStart}, {60, text::kTipStop}, {120, text::kTipTray}, {180, nullptr}}};
constexpr int kButtonTop = 7;
constexpr int kButtonLeft = 8;
constexpr int kButtonStep = 64;

// The counters: caption, value label, and where they go in the command area.
struct Counter {
    const char* caption;
    Label label;
    int x;
    int y;
};
constexpr int kCounterValueOffset = 92;
constexpr std::array<Counter, 8> kCounters = {{
    {text::kCaptionState, Label::kServerState, 280, 8},
    {text::kCaptionPort, Label::kPort, 280, 30},
    {text::kCaptionClient, Label::kActiveConnections, 450, 8},
    {text::kCaptionKeepAlive, Label::kKeepAliveConnections, 450, 30},
    {text::kCaptionTotal, Label::kServedConnections, 450, 52},
    {text::kCaptionReceived, Label::kBytesReceived, 620, 8},
    {text::kCaptionSent, Label::kBytesSent, 620, 30},
    {text::kCaptionBlocked, Label::kBlockedClients, 620, 52},
}};
constexpr int kBindModeX = 280;
constexpr int kBindModeY = 52;

constexpr std::array<const char*, 4> kUpperPages = {
    text::kProxyPageCaption, text::kUserAgentPageCaption, text::kSendRulePageCaption,
    text::kReceiveRulePageCaption};
constexpr std::array<const char*, 5> kLowerPanes = {text::kPaneAccess, text::kPaneSendHeaders,
                                                    text::kPaneRecvHeaders, text::kPaneHeaderPairs,
                                                    text::kPaneStatus};

}  // namespace

MainWindow::MainWindow(Runtime& rt, QtFrontEnd& front)
    : rt_(rt), front_(front), theme_(&StartupTheme()) {
    setWindowTitle(Text(text::kWindowTitle));
    setWindowIcon(QIcon(":/icons/korvanel-64.png"));
    setMinimumSize(kMinimumWindowWidth, kMinimumWindowHeight);
    client_ = new QWidget(this);
    client_->setMouseTracking(true);
    client_->installEventFilter(this);
    setCentralWidget(client_);
    buildTopArea();
    buildTabs();
    buildMenu();
    split_pos_ = ReadWindowState(rt_).split_pos;
    front_.setSurface(this);
}

MainWindow::~MainWindow() {
    front_.setSurface(nullptr);
}

void MainWindow::buildTopArea() {
    for (std::size_t i = 0; i < kLargeButtons.size(); ++i) {
        auto* button = new SkinButton(LargeButtonSheet(), kLargeButtons[i].column_x,
                                      kLargeButtonCell, client_);
        button->move(kButtonLeft + static_cast<int>(i) * kButtonStep, kButtonTop);
        if (kLargeButtons[i].tip) button->setToolTip(Text(kLargeButtons[i].tip));
        buttons_[i] = button;
    }
    connect(buttons_[0], &SkinButton::clicked, this, &MainWindow::startServer);
    connect(buttons_[1], &SkinButton::clicked, this, &MainWindow::stopServer);
    connect(buttons_[2], &SkinButton::clicked, this, &MainWindow::toTray);
    connect(buttons_[3], &SkinButton::clicked, this, [this] {
        if (settings_action_) settings_action_();
    });

    for (const Counter& counter : kCounters) {
        auto* caption = new QLabel(Text(counter.caption), client_);
        caption->setGeometry(counter.x, counter.y, kCounterValueOffset - 4, 20);
        caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        const char* start =
            counter.label == Label::kServerState ? text::kStateStopped : text::kCounterStart;
        auto* value = new QLabel(Text(start), client_);
        value->setGeometry(counter.x + kCounterValueOffset, counter.y, 110, 20);
        labels_[counter.label] = value;
    }
    auto* bind = new QLabel(client_);
    bind->setGeometry(kBindModeX + kCounterValueOffset, kBindModeY, 110, 20);
    labels_[Label::kBindMode] = bind;
}

void MainWindow::buildTabs() {
    upper_ = new ThemedTabWidget(client_);
    for (const char* title : kUpperPages) upper_->addTab(new QWidget, Text(title));
    lower_ = new ThemedTabWidget(client_);
    for (std::size_t i = 0; i < kLowerPanes.size(); ++i) {
        panes_[i] = new LogPane;
        // The four logs come in bulk from the logger; the command log line by line.
        panes_[i]->setDeferred(i != static_cast<std::size_t>(Pane::kStatus));
        panes_[i]->setAccessibleName(Text(kLowerPanes[i]).trimmed());
        lower_->addTab(panes_[i], Text(kLowerPanes[i]));
    }
    status_ = new StatusStrip(client_);
    status_->setPartText(0, Text(text::kStatusBarNoProxy));
    status_->setPartText(1, Text(text::kStatusBarNoUserAgent));
    status_->setPartText(2, Text(text::kStatusBarSetCookieKept));
    status_->setPartText(3, Text(text::kStatusBarCookieKept));
    connect(upper_, &QTabWidget::currentChanged, this, [this] { layoutClient(); });
    connect(lower_, &QTabWidget::currentChanged, this, [this] { layoutClient(); });
    InstallTabTrace(lower_);
}

void MainWindow::buildMenu() {
    auto add = [this](QMenu* menu, const char* title, MenuCommand command) {
        QAction* action = menu->addAction(Text(title));
        connect(action, &QAction::triggered, this, [this, command] { runMenu(command); });
        actions_[command] = action;
    };
    QMenu* file = menuBar()->addMenu(Text(text::kMenuFile));
    add(file, text::kMenuSave, MenuCommand::kSave);
    file->addSeparator();
    add(file, text::kMenuExit, MenuCommand::kExit);

    QMenu* browser = menuBar()->addMenu(Text(text::kMenuBrowser));
    QMenu* set = browser->addMenu(Text(text::kBrowserSetMenu));
    add(set, text::kBrowserFirefoxItem, MenuCommand::kSetFirefox);
    add(set, text::kBrowserOperaItem, MenuCommand::kSetOpera);
    add(set, text::kBrowserOperaX64Item, MenuCommand::kSetOpera64);
    add(set, text::kBrowserDesktopItem, MenuCommand::kSetDesktop);
    QMenu* reset = browser->addMenu(Text(text::kBrowserResetMenu));
    add(reset, text::kBrowserFirefoxItem, MenuCommand::kResetFirefox);
    add(reset, text::kBrowserOperaItem, MenuCommand::kResetOpera);
    add(reset, text::kBrowserOperaX64Item, MenuCommand::kResetOpera64);
    add(reset, text::kBrowserDesktopItem, MenuCommand::kResetDesktop);

    QMenu* colour = menuBar()->addMenu(Text(text::kMenuColour));
    add(colour, text::kMenuGrey, MenuCommand::kThemeGrey);
    add(colour, text::kMenuWhite, MenuCommand::kThemeWhite);
    add(colour, text::kMenuGreen, MenuCommand::kThemeGreen);

    QMenu* help = menuBar()->addMenu(Text(text::kMenuHelp));
    add(help, text::kMenuUsage, MenuCommand::kUsage);
    add(help, text::kMenuAbout, MenuCommand::kAbout);
}

void MainWindow::setUpperPage(int index, QWidget* page) {
    QString title = upper_->tabText(index);
    QWidget* old = upper_->widget(index);
    int current = upper_->currentIndex();
    upper_->removeTab(index);
    upper_->insertTab(index, page, title);
    upper_->setCurrentIndex(current);
    // A page's list is known to a screen reader by the page's caption.
    for (auto* view : page->findChildren<QAbstractItemView*>()) {
        if (view->accessibleName().isEmpty()) view->setAccessibleName(title.trimmed());
    }
    delete old;
}

int MainWindow::addUpperPage(const QString& title, QWidget* page) {
    return upper_->addTab(page, title);
}

LogPane* MainWindow::pane(Pane pane) const {
    return panes_[static_cast<std::size_t>(pane)];
}

QString MainWindow::labelText(Label label) const {
    return labels_.at(label)->text();
}

void MainWindow::layoutClient() {
    MainLayout layout =
        ComputeMainLayout(client_->width(), client_->height(), StatusStrip::kHeight, split_pos_);
    // Before window creation has ended the client area has a size of the toolkit's, not the
    // window's: the stored position is kept for the real size.
    if (initialised_ && layout.split_pos != split_pos_) {
        split_pos_ = layout.split_pos;
        StoreSplitPos(rt_, split_pos_);
    }
    upper_->setGeometry(layout.upper_tabs);
    lower_->setGeometry(layout.lower_tabs);
    status_->setGeometry(layout.status_bar);
    status_->setPartEdges(layout.status_part_right);
}

void MainWindow::applyTheme(std::string_view name) {
    const Theme* theme = FindTheme(name);
    if (theme) {
        theme_ = theme;
        StoreColor(rt_, theme->name);
    }
    QApplication::setPalette(ThemePalette(*theme_));
    setPalette(ThemePalette(*theme_));
    update();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == client_) {
        if (event->type() == QEvent::Resize) layoutClient();
        if (divider(event)) return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

// The divider between the tab controls: the sizing cursor over it, and a drag that moves it.
bool MainWindow::divider(QEvent* event) {
    auto type = event->type();
    if (type != QEvent::MouseMove && type != QEvent::MouseButtonPress &&
        type != QEvent::MouseButtonRelease) {
        return false;
    }
    auto* mouse = static_cast<QMouseEvent*>(event);
    QPoint at = mouse->position().toPoint();
    if (type == QEvent::MouseButtonPress && mouse->button() == Qt::LeftButton && over_divider_) {
        dragging_ = true;
        client_->grabMouse(Qt::SizeVerCursor);
        return true;
    }
    if (dragging_) {
        split_pos_ = DraggedSplitPos(at.y(), frameGeometry().height());
        layoutClient();
        StoreSplitPos(rt_, split_pos_);
        if (type == QEvent::MouseButtonRelease) {
            dragging_ = false;
            client_->releaseMouse();
        }
        return true;
    }
    if (type == QEvent::MouseMove) {
        over_divider_ = IsOverDivider(at.x(), at.y(), split_pos_);
        client_->setCursor(over_divider_ ? Qt::SizeVerCursor : Qt::ArrowCursor);
    }
    return false;
}

void MainWindow::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    storeGeometry();
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    storeGeometry();
}

void MainWindow::restorePlacement(const WindowState& state) {
    placed_ = QRect(state.x, state.y, std::max(state.width, kMinimumWindowWidth),
                    std::max(state.height, kMinimumWindowHeight));
    frame_ = {};
    asked_client_ = placed_.size();  // no frame is known before the window is shown
    move(placed_.topLeft());
    resize(asked_client_);
}

// A window manager adds its frame a moment after the window is shown (or never): when the
// frame appears or changes and the client still has the size asked for, the client is
// sized again so that the outer rectangle stays the one placed. True when it was.
bool MainWindow::followFrame() {
    if (!placed_.isValid()) return false;
    QRect outer = frameGeometry();
    QRect inner = geometry();
    QMargins frame(inner.left() - outer.left(), inner.top() - outer.top(),
                   outer.right() - inner.right(), outer.bottom() - inner.bottom());
    if (frame == frame_ || size() != asked_client_) return false;
    frame_ = frame;
    asked_client_ =
        QSize(std::max(placed_.width() - frame.left() - frame.right(), minimumWidth()),
              std::max(placed_.height() - frame.top() - frame.bottom(), minimumHeight()));
    resize(asked_client_);
    move(placed_.topLeft());
    return true;
}

void MainWindow::storeGeometry() {
    if (!initialised_ || closing_ || isMinimized()) return;
    if (followFrame()) return;
    QRect outer = frameGeometry();
    if (size() == asked_client_ && outer.topLeft() == placed_.topLeft()) {
        outer = placed_;  // as placed, whatever the frame is known to be at this moment
    } else if (placed_.isValid()) {
        placed_ = outer;  // the user moved or resized it: that is the place to keep now
        asked_client_ = size();
    }
    StoreWindowRect(rt_, outer.x(), outer.y(), outer.width(), outer.height());
}

void MainWindow::showLabel(Label label, const QString& text) {
    auto it = labels_.find(label);
    if (it != labels_.end()) it->second->setText(text);
}

void MainWindow::appendToPane(Pane pane, const QString& text, std::size_t limit) {
    panes_[static_cast<std::size_t>(pane)]->appendTrimmed(text, limit);
}

void MainWindow::limitPane(Pane pane, std::size_t characters) {
    panes_[static_cast<std::size_t>(pane)]->setCharacterLimit(characters);
}

void MainWindow::showStatusBarPart(int part, const QString& text) {
    status_->setPartText(part, text);
}

}  // namespace korvanel::ui
