#include "history_dialog.h"

#include "file_replacement.h"
#include "history_format.h"
#include "texts.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace plexmoor {
namespace {

QString Q(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

} // namespace

HistoryDialog::HistoryDialog(Services& services, QWidget* parent)
    : QDialog(parent), services_(services) {
    setObjectName("HistoryDialog");
    setWindowTitle(Q(text::kHistoryTitle));
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    auto* label = new QLabel(Q(text::kHistoryFilter), this);
    filter_ = new QLineEdit(this);
    filter_->setObjectName("txtHistoryFilter");
    filter_->setClearButtonEnabled(true);
    label->setBuddy(filter_);
    auto* export_button = new QPushButton(Q(text::kExportCsv), this);
    export_button->setObjectName("btnExportCsv");
    export_button->setAutoDefault(false);
    top->addWidget(label);
    top->addWidget(filter_, 1);
    top->addWidget(export_button);
    layout->addLayout(top);

    const auto& columns = record::Columns();
    table_ = new QTableWidget(0, static_cast<int>(columns.size()), this);
    table_->setObjectName("tblHistory");
    QStringList headers;
    for (const record::Column& column : columns)
        headers << Q(column.name);
    table_->setHorizontalHeaderLabels(headers);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    // The terminal's columns; the long ones (times of the end, hashes,
    // sizes) are in the export, and the filter finds what they hold.
    for (std::size_t c = 0; c < columns.size(); ++c)
        table_->setColumnHidden(static_cast<int>(c), !columns[c].in_table);
    table_->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(table_, 1);
    count_ = new QLabel(this);
    count_->setObjectName("lblHistoryCount");
    layout->addWidget(count_);

    connect(filter_, &QLineEdit::textChanged, this, [this] { applyFilter(); });
    connect(export_button, &QPushButton::clicked, this, [this] { exportCsv(); });
    resize(960, 420);
}

void HistoryDialog::setRows(std::vector<record::Entry> rows) {
    std::reverse(rows.begin(), rows.end());
    rows_ = std::move(rows);
    const auto& columns = record::Columns();
    table_->setRowCount(static_cast<int>(rows_.size()));
    for (int r = 0; r < table_->rowCount(); ++r)
        for (int c = 0; c < static_cast<int>(columns.size()); ++c)
            table_->setItem(r, c,
                            new QTableWidgetItem(Q(columns[static_cast<std::size_t>(c)].text(
                                rows_[static_cast<std::size_t>(r)]))));
    // A long message is read in full where the last column is widened.
    table_->resizeColumnsToContents();
    for (int c = 0; c + 1 < table_->columnCount(); ++c)
        table_->setColumnWidth(c, std::min(table_->columnWidth(c), 220));
    applyFilter();
}

// A row stays when any of its cells holds the filter's text, whatever the
// case: a serial, a station, a day, "failed".
void HistoryDialog::applyFilter() {
    const QString wanted = filter_->text().trimmed();
    int shown = 0;
    for (int r = 0; r < table_->rowCount(); ++r) {
        bool match = wanted.isEmpty();
        for (int c = 0; !match && c < table_->columnCount(); ++c)
            match = table_->item(r, c)->text().contains(wanted, Qt::CaseInsensitive);
        table_->setRowHidden(r, !match);
        shown += match ? 1 : 0;
    }
    count_->setText(QString::number(shown) + " / " + QString::number(table_->rowCount()) +
                    Q(text::kHistoryShown));
}

std::vector<record::Entry> HistoryDialog::shownRows() const {
    std::vector<record::Entry> shown;
    // Oldest first, as the command line writes them.
    for (int r = table_->rowCount() - 1; r >= 0; --r)
        if (!table_->isRowHidden(r)) shown.push_back(rows_[static_cast<std::size_t>(r)]);
    return shown;
}

void HistoryDialog::exportCsv() {
    const std::string path = services_.saveFileDialog(std::string(text::kCsvFilter));
    if (path.empty()) return;
    if (!ReplaceFile(path, record::Csv(shownRows())))
        services_.messageBox(std::string(text::kCsvNotWritten) + path);
}

} // namespace plexmoor
