#include "ui/header_rule_list_model.h"

#include <QtGui/QColor>

#include "texts.h"
#include "ui/row_delegate.h"

namespace korvanel::ui {

namespace {

constexpr QColor kContentColour{44, 11, 66};
constexpr QColor kAddRemoveColour{50, 0, 150};
constexpr QColor kChangeColour{0, 50, 150};

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

}  // namespace

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

HeaderRuleListModel::HeaderRuleListModel(QObject* parent)
    : ListModelBase(
          {"", text::kColumnHeader, text::kColumnContent, text::kColumnAction, text::kColumnOnOff},
          parent) {}

QVariant HeaderRuleListModel::data(const QModelIndex& index, int role) const {
    const HeaderRule* rule = rowAt(index.row());
    if (rule == nullptr) return {};
    switch (index.column()) {
        case 1:
            if (role == Qt::DisplayRole) return QString::fromUtf8(rule->name.c_str());
            if (role == Qt::ForegroundRole) return QColor(Qt::black);
            break;
        case 2:
            if (role == Qt::DisplayRole) return QString::fromUtf8(rule->value.c_str());
            if (role == Qt::ForegroundRole) return kContentColour;
            break;
        case 3:
            if (role == Qt::DisplayRole) return ActionText(rule->action);
            if (role == Qt::ForegroundRole) return ActionColour(rule->action);
            break;
        case 4:
            if (role == kInUseMarkRole) return rule->enabled == 1;
            break;
        default:
            break;
    }
    return {};
}

void HeaderRuleListModel::setEnabled(int row, bool enabled) {
    change(row, [enabled](HeaderRule& rule) { rule.enabled = enabled ? 1 : 0; });
}

}  // namespace korvanel::ui
