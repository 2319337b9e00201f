#include "ui/pages/https_group.h"

#include <QtGui/QFontMetrics>
#include <QtGui/QTextDocument>
#include <QtWidgets/QGridLayout>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QPlainTextEdit>
#include <QtWidgets/QPushButton>
#include <utility>

#include "logging/status_log.h"
#include "runtime/message_dialog.h"
#include "runtime/runtime.h"
#include "runtime/tls_files.h"
#include "settings/config_values.h"
#include "settings/https_settings.h"
#include "settings/worker_thread.h"
#include "texts.h"
#include "ui/pages/setting_change.h"
#include "ui/widgets/action_buttons.h"
#include "ui/widgets/skin_button.h"

namespace korvanel::ui {

namespace {

// Lines of host patterns shown before the edit scrolls.
constexpr int kExceptLinesShown = 3;

bool Store(Runtime& rt, HttpsChange change) {
    return ApplyHttpsChange(rt, std::move(change)) != kThreadNotStarted;
}

}  // namespace

HttpsGroup::HttpsGroup(Runtime& rt, AuthorityActions authority, QWidget* parent)
    : QGroupBox(Qs(text::kHttpsCaption), parent), rt_(rt), authority_(std::move(authority)) {
    build();
    fill();
}

void HttpsGroup::build() {
    auto* grid = new QGridLayout(this);
    int line = 0;
    auto add_row = [&](const char* label, Qt::Alignment align = Qt::AlignVCenter) {
        grid->addWidget(PlainLabel(label, this), line, 0, Qt::AlignLeft | align);
        auto* row = new QHBoxLayout;
        grid->addLayout(row, line++, 1);
        return row;
    };
    auto register_button = [this](const char* what) {
        auto* button = new SkinButton(SmallButtonSheet(), 0, kSmallButtonCell, this);
        button->setAccessibleDescription(Qs(what));
        return button;
    };

    tunnel_ = new ActionCheckBox(Qs(text::kTunnelBox), this);
    add_row(text::kTunnelRow)->addWidget(tunnel_);

    QHBoxLayout* ports_row = add_row(text::kTunnelPortsRow);
    ports_ = new QLineEdit(this);
    ports_->setMaxLength(kTunnelPortsEditMaxLength);
    ports_->setAccessibleName(Qs(text::kTunnelPortsRow));
    ports_button_ = register_button(text::kTunnelPortsRow);
    ports_row->addWidget(ports_, 1);
    ports_row->addWidget(ports_button_);

    inspect_ = new ActionCheckBox(Qs(text::kInspectBox), this);
    add_row(text::kInspectRow)->addWidget(inspect_);

    QHBoxLayout* except_row = add_row(text::kInspectExceptRow, Qt::AlignTop);
    except_ = new QPlainTextEdit(this);
    except_->setAccessibleName(Qs(text::kInspectExceptRow));
    except_->setAccessibleDescription(Qs(text::kInspectExceptHint));
    except_->setPlaceholderText(Qs(text::kInspectExceptHint));
    except_->setTabChangesFocus(true);
    except_->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFontMetrics metrics(except_->font());
    except_->setFixedHeight(metrics.lineSpacing() * kExceptLinesShown +
                            2 * static_cast<int>(except_->document()->documentMargin()) +
                            2 * except_->frameWidth());
    except_button_ = register_button(text::kInspectExceptRow);
    except_row->addWidget(except_, 1);
    except_row->addWidget(except_button_, 0, Qt::AlignTop);

    QHBoxLayout* extra_row = add_row(text::kExtraCaRow);
    extra_ca_ = new QLineEdit(this);
    extra_ca_->setMaxLength(static_cast<int>(kMaxExtraCaPathLength) + 1);
    extra_ca_->setAccessibleName(Qs(text::kExtraCaRow));
    extra_ca_button_ = register_button(text::kExtraCaRow);
    extra_row->addWidget(extra_ca_, 1);
    extra_row->addWidget(extra_ca_button_);

    QHBoxLayout* authority_row = add_row(text::kAuthorityRow);
    authority_path_ = new QLineEdit(this);
    authority_path_->setReadOnly(true);
    authority_path_->setAccessibleName(Qs(text::kAuthorityRow));
    renew_ = new QPushButton(Qs(text::kAuthorityRenew), this);
    renew_->setAutoDefault(false);
    renew_->setEnabled(static_cast<bool>(authority_.renew));
    authority_row->addWidget(authority_path_, 1);
    authority_row->addWidget(renew_);

    grid->setColumnStretch(1, 1);
    connect(tunnel_, &QAbstractButton::clicked, this, [this] { tunnelClicked(); });
    connect(ports_button_, &QAbstractButton::clicked, this, [this] { portsRegistered(); });
    connect(inspect_, &QAbstractButton::clicked, this, [this] { inspectClicked(); });
    connect(except_button_, &QAbstractButton::clicked, this, [this] { exceptRegistered(); });
    connect(extra_ca_button_, &QAbstractButton::clicked, this, [this] { extraCaRegistered(); });
    connect(renew_, &QAbstractButton::clicked, this, [this] { renewClicked(); });
}

void HttpsGroup::fill() {
    bool tunnel = false;
    bool inspect = false;
    std::string ports, extra_ca;
    QStringList patterns;
    {
        Hold hold(rt_.locks.settings);
        tunnel = rt_.settings.https_tunnel;
        inspect = rt_.settings.https_inspect;
        ports = FormatTunnelPorts(rt_.settings.tunnel_ports);
        extra_ca = rt_.settings.extra_ca_file;
        for (const std::string& pattern : rt_.settings.inspect_except) patterns << Qs(pattern);
    }
    tunnel_->setChecked(tunnel);
    ports_->setText(Qs(ports));
    inspect_->setChecked(inspect);
    inspect_->setEnabled(tunnel);
    except_->setPlainText(patterns.join('\n'));
    extra_ca_->setText(Qs(extra_ca));
    authority_path_->setText(Qs(rt_.PathOf(kAuthorityCertificateFile)));
    authority_path_->setCursorPosition(0);
}

QCheckBox* HttpsGroup::tunnelBox() const {
    return tunnel_;
}
QAbstractButton* HttpsGroup::portsButton() const {
    return ports_button_;
}
QCheckBox* HttpsGroup::inspectBox() const {
    return inspect_;
}
QAbstractButton* HttpsGroup::exceptButton() const {
    return except_button_;
}
QAbstractButton* HttpsGroup::extraCaButton() const {
    return extra_ca_button_;
}
QAbstractButton* HttpsGroup::renewButton() const {
    return renew_;
}

void HttpsGroup::tunnelClicked() {
    bool on = !tunnel_->isChecked();
    HttpsChange change;
    change.field = HttpsChange::Field::kTunnel;
    change.on = on;
    if (!Store(rt_, std::move(change))) return;
    tunnel_->setChecked(on);
    inspect_->setEnabled(on);
    PostStatus(rt_, on ? text::kTunnelOn : text::kTunnelOff, " ");
    if (on && inspect_->isChecked() && authority_.prepare) authority_.prepare(rt_);
}

void HttpsGroup::portsRegistered() {
    HttpsChange change;
    change.field = HttpsChange::Field::kTunnelPorts;
    std::string typed = EditText(*ports_, kTunnelPortsEditMaxLength);
    if (!ParseTunnelPorts(typed, change.ports)) {
        ShowMessageDialog(rt_, text::kTunnelPortsFailedTitle, text::kTunnelPortsRefused);
        return;
    }
    std::string stored = FormatTunnelPorts(change.ports);
    if (!Store(rt_, std::move(change))) return;
    ports_->setText(Qs(stored));
    PostStatus(rt_, text::kTunnelPortsSet, stored);
}

void HttpsGroup::inspectClicked() {
    bool on = !inspect_->isChecked();
    HttpsChange change;
    change.field = HttpsChange::Field::kInspect;
    change.on = on;
    if (!Store(rt_, std::move(change))) return;
    inspect_->setChecked(on);
    PostStatus(rt_, on ? text::kInspectOn : text::kInspectOff, " ");
    // The CA is made now rather than at the first visit, so that its file can be handed to
    // the browsers at once.
    if (on && authority_.prepare) authority_.prepare(rt_);
}

void HttpsGroup::exceptRegistered() {
    std::string bad_line;
    auto patterns = ParseHostPatternLines(except_->toPlainText().toStdString(), bad_line);
    if (!patterns) {
        ShowMessageDialog(rt_, text::kInspectExceptFailedTitle,
                          bad_line.empty() ? std::string(text::kInspectExceptTooMany)
                                           : text::kInspectExceptNotPattern + bad_line);
        return;
    }
    QStringList shown;
    for (const std::string& pattern : *patterns) shown << Qs(pattern);
    std::string count = std::to_string(patterns->size());
    HttpsChange change;
    change.field = HttpsChange::Field::kInspectExcept;
    change.patterns = std::move(*patterns);
    if (!Store(rt_, std::move(change))) return;
    except_->setPlainText(shown.join('\n'));
    PostStatus(rt_, text::kInspectExceptSet, count);
}

void HttpsGroup::extraCaRegistered() {
    std::string path = extra_ca_->text().toStdString();
    if (!IsStorableCaPath(path)) {
        ShowMessageDialog(rt_, text::kExtraCaFailedTitle, text::kExtraCaRefused);
        return;
    }
    HttpsChange change;
    change.field = HttpsChange::Field::kExtraCaFile;
    change.path = path;
    if (!Store(rt_, std::move(change))) return;
    PostStatus(rt_, text::kExtraCaSet, path.empty() ? std::string(" ") : path);
}

bool HttpsGroup::askRenew() {
    QMessageBox ask(QMessageBox::Question, Qs(text::kAuthorityTitle), Qs(text::kAuthorityRenewAsk),
                    QMessageBox::NoButton, this);
    QPushButton* yes = ask.addButton(Qs(text::kCookieYes), QMessageBox::YesRole);
    ask.setDefaultButton(ask.addButton(Qs(text::kCookieNo), QMessageBox::NoRole));
    ask.exec();
    return ask.clickedButton() == yes;
}

void HttpsGroup::renewClicked() {
    if (!authority_.renew || !askRenew()) return;
    std::string problem;
    if (!authority_.renew(rt_, problem)) {
        ShowMessageDialog(rt_, text::kAuthorityTitle, text::kAuthorityRenewFailed + problem);
    }
}

}  // namespace korvanel::ui
