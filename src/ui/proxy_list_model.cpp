#include "ui/proxy_list_model.h"

#include <QtGui/QColor>

#include "texts.h"
#include "ui/row_delegate.h"

namespace korvanel::ui {

namespace {

constexpr QColor kNotAnonymousColour{40, 40, 255};
constexpr QColor kAnonymousColour{200, 0, 55};
constexpr QColor kUncheckedColour{50, 50, 50};
constexpr QColor kSpeedColour{20, 100, 200};

enum Column { kAddress = 1, kKind = 2, kSpeed = 3, kMark = 4 };

QString Qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

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
            return {Qs(kind), QColor(Qt::black)};
    }
}

QString SpeedText(std::string_view speed) {
    bool measured = false;
    for (char c : speed) {
        if (c < '0' || c > '9') break;
        if (c != '0') measured = true;
    }
    return measured ? QString::fromUtf8(text::kSpeedFormat).arg(Qs(speed)) : QString();
}

ProxyListModel::ProxyListModel(QObject* parent)
    : ListModelBase(
          {"", text::kColumnAddress, text::kColumnKind, text::kColumnSpeed, text::kColumnOnOff},
          parent) {}

QVariant ProxyListModel::data(const QModelIndex& index, int role) const {
    const ProxyEntry* row = rowAt(index.row());
    if (row == nullptr) return {};
    switch (index.column()) {
        case kAddress:
            if (role == Qt::DisplayRole) return Qs(row->address.view());
            if (role == Qt::ForegroundRole) return QColor(Qt::black);
            break;
        case kKind: {
            KindLabel label = LabelOfKind(row->kind.view());
            if (role == Qt::DisplayRole) return label.text;
            if (role == Qt::ForegroundRole) return label.colour;
            break;
        }
        case kSpeed:
            if (role == Qt::DisplayRole) return SpeedText(row->speed.view());
            if (role == Qt::ForegroundRole) return kSpeedColour;
            break;
        case kMark:
            if (role == kInUseMarkRole) return row->in_use == 1;
            break;
        default:
            break;
    }
    return {};
}

void ProxyListModel::setInUse(int row, bool in_use) {
    change(row, [in_use](ProxyEntry& entry) { entry.in_use = in_use ? 1 : 0; });
}

}  // namespace korvanel::ui
