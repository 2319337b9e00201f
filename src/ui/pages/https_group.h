// The group "HTTPS" of the Config dialog: CONNECT tunnels on or off and the ports they may
// go to; inspection on or off (usable only with tunnels on), the hosts it leaves alone and
// a file of more trust anchors for origins; where the user's CA certificate is, and a new
// CA. Every change is stored at once through a worker command, with the checks the
// configuration reader makes, and written to `data` by its status line.
#pragma once

#include <QtWidgets/QGroupBox>
#include <functional>
#include <string>

class QAbstractButton;
class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace korvanel {
struct Runtime;
}

namespace korvanel::ui {

class ActionCheckBox;
class SkinButton;

// What the group asks of the inspection side: have the CA made now (when inspection is
// switched on), and replace it with a new one (false with the reason when that failed).
// A missing one leaves its step out (the renew button is then disabled).
struct AuthorityActions {
    std::function<void(Runtime&)> prepare;
    std::function<bool(Runtime&, std::string& problem)> renew;
};

inline constexpr int kTunnelPortsEditMaxLength = 200;

class HttpsGroup : public QGroupBox {
  public:
    HttpsGroup(Runtime& rt, AuthorityActions authority, QWidget* parent = nullptr);

    QCheckBox* tunnelBox() const;
    QLineEdit* portsEdit() const { return ports_; }
    QAbstractButton* portsButton() const;
    QCheckBox* inspectBox() const;
    QPlainTextEdit* exceptEdit() const { return except_; }
    QAbstractButton* exceptButton() const;
    QLineEdit* extraCaEdit() const { return extra_ca_; }
    QAbstractButton* extraCaButton() const;
    QLineEdit* authorityPath() const { return authority_path_; }
    QAbstractButton* renewButton() const;

  private:
    void build();
    void fill();
    void tunnelClicked();
    void portsRegistered();
    void inspectClicked();
    void exceptRegistered();
    void extraCaRegistered();
    void renewClicked();
    bool askRenew();

    Runtime& rt_;
    AuthorityActions authority_;
    ActionCheckBox* tunnel_ = nullptr;
    QLineEdit* ports_ = nullptr;
    SkinButton* ports_button_ = nullptr;
    ActionCheckBox* inspect_ = nullptr;
    QPlainTextEdit* except_ = nullptr;
    SkinButton* except_button_ = nullptr;
    QLineEdit* extra_ca_ = nullptr;
    SkinButton* extra_ca_button_ = nullptr;
    QLineEdit* authority_path_ = nullptr;
    QPushButton* renew_ = nullptr;
};

}  // namespace korvanel::ui
