#include "ui/user_agent_list_model.h"

#include <QtGui/QColor>

#include "texts.h"
#include "ui/row_delegate.h"

namespace korvanel::ui {

UserAgentListModel::UserAgentListModel(QObject* parent)
    : ListModelBase({"", text::kColumnUserAgent, text::kColumnOnOff}, parent) {}

QVariant UserAgentListModel::data(const QModelIndex& index, int role) const {
    const UserAgentEntry* row = rowAt(index.row());
    if (row == nullptr) return {};
    if (index.column() == 1) {
        if (role == Qt::DisplayRole) return QString::fromUtf8(row->text.c_str());
        if (role == Qt::ForegroundRole) return QColor(Qt::black);
    }
    if (index.column() == 2 && role == kInUseMarkRole) return row->in_use == 1;
    return {};
}

void UserAgentListModel::setInUse(int row, bool in_use) {
    change(row, [in_use](UserAgentEntry& entry) { entry.in_use = in_use ? 1 : 0; });
}

}  // namespace korvanel::ui
