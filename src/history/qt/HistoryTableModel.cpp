#include "history/qt/HistoryTableModel.h"

#include "history/HistoryController.h"
#include "platform/EscapedText.h"

namespace velorin {

HistoryTableModel::HistoryTableModel(QObject* parent) : QAbstractListModel(parent) {}

void HistoryTableModel::reload()
{
    beginResetModel();
    endResetModel();
}

int HistoryTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() || !m_controller ? 0 : m_controller->tableViewNumberOfRowsInSection(0);
}

QVariant HistoryTableModel::data(const QModelIndex& index, int role) const
{
    if (!m_controller || !index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    // Names are whatever bytes someone gave a file: control bytes are shown escaped and bytes
    // that are not UTF-8 as replacement characters, never passed to the text layout raw.
    return QString::fromStdString(escapeControl(m_controller->tableViewCellTextAtRow(index.row())));
}

} // namespace velorin
