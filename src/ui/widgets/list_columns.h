// The columns of the three list views: what each shows of a row and in which colour. A new
// list is a table here and a page that configures the shared list page.
#pragma once

#include <QtGui/QColor>
#include <string_view>

#include "runtime/list_rows.h"
#include "ui/widgets/list_model.h"

namespace korvanel::ui {

using ProxyListModel = ListModel<ProxyEntry>;
using UserAgentListModel = ListModel<UserAgentEntry>;
using HeaderRuleListModel = ListModel<HeaderRule>;

// Address, kind (its label in its colour), speed, in use, and what the proxy speaks.
ProxyListModel* NewProxyListModel(QObject* parent);
// Text, in use.
UserAgentListModel* NewUserAgentListModel(QObject* parent);
// Name, content, action (its text in its colour), enabled.
HeaderRuleListModel* NewHeaderRuleListModel(QObject* parent);

// The label and colour a kind code is drawn with.
struct KindLabel {
    QString text;
    QColor colour;
};
KindLabel LabelOfKind(std::string_view kind);
// "HTTP", "SOCKS5", "SOCKS4a". A login is never shown.
QString UpstreamKindText(UpstreamKind kind);
// "%s (ms)" for a measured speed; empty when its leading number is 0 or missing.
QString SpeedText(std::string_view speed);
// "加える", "消す", "変える" for actions 0, 1, 2; empty for any other.
QString ActionText(int action);

}  // namespace korvanel::ui
