#include "support/window_fixture.h"

#include <QtCore/QTimer>
#include <QtWidgets/QApplication>
#include <QtWidgets/QPushButton>

#include "settings/config_file.h"
#include "support/loopback.h"
#include "ui/dialogs/message_box.h"
#include "ui/main/window_pages.h"
#include "ui/widgets/skin_button.h"

namespace korvanel::testing {

WindowFixture::WindowFixture(const std::string& data, bool with_pages)
    : rt_(front_, dir_.path()), port_(UnusedLoopbackPort()) {
    ui::RegisterPictures();
    if (!data.empty()) WriteFile(dir_.file("data"), data);
    if (ReadConfiguration(rt_) != 1) throw std::runtime_error("data rejected");
    {
        Hold hold(rt_.locks.settings);
        rt_.settings.port = std::to_string(port_);
    }
    front_.setSaveAction([this] { SaveConfiguration(rt_); });
    window_ = std::make_unique<ui::MainWindow>(rt_, front_);
    if (with_pages) ui::InstallWindowPages(*window_, rt_);
    window_->resize(900, 720);
    window_->show();
    window_->initialise();
}

WindowFixture::~WindowFixture() {
    if (!window_->closed()) window_->closeInOrder();
}

void AnswerNextDialog(QString* text) {
    QTimer::singleShot(0, [text] {
        auto* box = qobject_cast<ui::MessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            AnswerNextDialog(text);  // not open yet: look again on the next turn
            return;
        }
        if (text) *text = box->text();
        box->okButton()->click();
    });
}

}  // namespace korvanel::testing
