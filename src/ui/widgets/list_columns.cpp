#include "ui/widgets/list_columns.h"

#include "texts.h"

namespace korvanel::ui {

namespace {

constexpr QColor kTextColour{0, 0, 0};
constexpr QColor kNotAnonymousColour{40, 40, 255};
constexpr QColor kAnonymousColour{200, 0, 55};
constexpr QColor kUncheckedColour{50, 50, 50};
constexpr QColor kSpeedColour{20, 100, 200};
constexpr QColor kContentColour{44, 11, 66};
constexpr QColor kAddRemoveColour{50, 0, 150};
constexpr QColor kChangeColour{0, 50, 150};

QString Qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

template <typename Row>
QColor Black(const Row&) {
    return kTextColour;
}

QColor ActionColour(int action) {
    switch (action) {
        case 0:
        case 1:
            return kAddRemoveColour;
        case 2:
            return kChangeColour;
        default:
            return kContentColour;
    }
}

// Rows whose mark is `in_use`, and rules whose mark is `enabled`.
template <typename Row>
constexpr RowMark<Row> kInUseMark{[](const Row& r) { return r.in_use == 1; },
                                  [](Row& r, bool on) { r.in_use = on ? 1 : 0; }};
constexpr RowMark<HeaderRule> kEnabledMark{[](const HeaderRule& r) { return r.enabled == 1; },
                                           [](HeaderRule& r, bool on) { r.enabled = on ? 1 : 0; }};

const ListColumn<ProxyEntry> kProxyColumns[] = {
    {""},
    {text::kColumnAddress, [](const ProxyEntry& r) { return Qs(r.address.view()); },
     Black<ProxyEntry>},
    {text::kColumnKind, [](const ProxyEntry& r) { return LabelOfKind(r.kind.view()).text; },
     [](const ProxyEntry& r) { return LabelOfKind(r.kind.view()).colour; }},
    {text::kColumnSpeed, [](const ProxyEntry& r) { return SpeedText(r.speed.view()); },
     [](const ProxyEntry&) { return kSpeedColour; }},
    {text::kColumnOnOff},
    {text::kColumnUpstreamKind, [](const ProxyEntry& r) { return UpstreamKindText(r.upstream); },
     Black<ProxyEntry>},
};

const ListColumn<UserAgentEntry> kUserAgentColumns[] = {
    {""},
    {text::kColumnUserAgent, [](const UserAgentEntry& r) { return Qs(r.text.view()); },
     Black<UserAgentEntry>},
    {text::kColumnOnOff},
};

const ListColumn<HeaderRule> kHeaderRuleColumns[] = {
    {""},
    {text::kColumnHeader, [](const HeaderRule& r) { return Qs(r.name.view()); }, Black<HeaderRule>},
    {text::kColumnContent, [](const HeaderRule& r) { return Qs(r.value.view()); },
     [](const HeaderRule&) { return kContentColour; }},
    {text::kColumnAction, [](const HeaderRule& r) { return ActionText(r.action); },
     [](const HeaderRule& r) { return ActionColour(r.action); }},
    {text::kColumnOnOff},
};

}  // namespace

ProxyListModel* NewProxyListModel(QObject* parent) {
    return new ProxyListModel(kProxyColumns, kInUseMark<ProxyEntry>, parent);
}

UserAgentListModel* NewUserAgentListModel(QObject* parent) {
    return new UserAgentListModel(kUserAgentColumns, kInUseMark<UserAgentEntry>, parent);
}

HeaderRuleListModel* NewHeaderRuleListModel(QObject* parent) {
    return new HeaderRuleListModel(kHeaderRuleColumns, kEnabledMark, parent);
}

KindLabel LabelOfKind(std::string_view kind) {
    switch (kind.empty() ? '\0' : kind.front()) {
        case '6':
            return {text::kKindNotAnonymous, kNotAnonymousColour};
        case '9':
            return {text::kKindAnonymous, kAnonymousColour};
        case '0':
            return {text::kKindNotChecked, kUncheckedColour};
        case '1':
            return {text::kKindUnsupported, kUncheckedColour};
        case '3':
            return {text::kKindDead, kUncheckedColour};
        default:
            return {Qs(kind), kTextColour};
    }
}

QString UpstreamKindText(UpstreamKind kind) {
    switch (kind) {
        case UpstreamKind::kSocks5:
            return text::kUpstreamSocks5;
        case UpstreamKind::kSocks4a:
            return text::kUpstreamSocks4a;
        case UpstreamKind::kHttp:
            break;
    }
    return text::kUpstreamHttp;
}

QString SpeedText(std::string_view speed) {
    bool measured = false;
    for (char c : speed) {
        if (c < '0' || c > '9') break;
        if (c != '0') measured = true;
    }
    return measured ? QString::fromUtf8(text::kSpeedFormat).arg(Qs(speed)) : QString();
}

QString ActionText(int action) {
    switch (action) {
        case 0:
            return text::kActionAdd;
        case 1:
            return text::kActionRemove;
        case 2:
            return text::kActionChange;
        default:
            return {};
    }
}

}  // namespace korvanel::ui
