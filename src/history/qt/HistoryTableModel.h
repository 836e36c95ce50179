#pragma once

#include <QAbstractListModel>

namespace velorin {

class HistoryController;

// The catalogue's file names as the table shows them: rows are asked of the controller only when
// drawn, so a month of recordings (tens of thousands of rows) costs no more than a screenful.
class HistoryTableModel : public QAbstractListModel {
    Q_OBJECT
public:
    explicit HistoryTableModel(QObject* parent = nullptr);

    void setController(const HistoryController* controller) { m_controller = controller; }
    void reload();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    const HistoryController* m_controller = nullptr;
};

} // namespace velorin
