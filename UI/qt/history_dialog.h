// The production record's latest rows in a window beside the main one: a
// table, a filter box that keeps the rows holding its text, and an export
// of the rows shown as CSV.
#pragma once

#include "record.h"
#include "services.h"

#include <QDialog>

#include <vector>

class QLabel;
class QLineEdit;
class QTableWidget;

namespace plexmoor {

class HistoryDialog : public QDialog {
  public:
    // Dialogs and boxes of the export go through services.
    HistoryDialog(Services& services, QWidget* parent);
    // Shows rows, oldest first, the latest at the top.
    void setRows(std::vector<record::Entry> rows);

  private:
    void applyFilter();
    void exportCsv();
    std::vector<record::Entry> shownRows() const;

    Services& services_;
    std::vector<record::Entry> rows_; // in the table's order
    QLineEdit* filter_ = nullptr;
    QTableWidget* table_ = nullptr;
    QLabel* count_ = nullptr;
};

} // namespace plexmoor
