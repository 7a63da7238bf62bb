#include "qt_services.h"

#include "binding_support.h"
#include "history_dialog.h"
#include "station_dialog.h"
#include "texts.h"

#include <QCoreApplication>
#include <QDate>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QStringList>
#include <QTimer>

namespace plexmoor {

QString QtFileFilter(const std::string& filter) {
    QStringList out;
    for (const auto& [description, pattern] : FileFilterEntries(filter))
        out << QString::fromStdString(description);
    return out.join(";;");
}

Answer QtServices::messageBox(const std::string& text, Buttons buttons) {
    QMessageBox box(
        QMessageBox::NoIcon, QString::fromUtf8(text::kAppTitle), QString::fromStdString(text),
        buttons == Buttons::YesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, window_);
    int answer = box.exec();
    if (buttons == Buttons::Ok) return Answer::Ok;
    return answer == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

std::string QtServices::openFileDialog(const std::string& filter) {
    return QFileDialog::getOpenFileName(window_, QString(), QString(), QtFileFilter(filter))
        .toStdString();
}

std::string QtServices::openFileDialogIn(const std::string& filter, const std::string& folder) {
    return QFileDialog::getOpenFileName(window_, QString(), QString::fromStdString(folder),
                                        QtFileFilter(filter))
        .toStdString();
}

std::optional<std::string> QtServices::inputBox(const std::string& prompt) {
    bool ok = false;
    const QString text =
        QInputDialog::getText(window_, QString::fromUtf8(text::kAppTitle),
                              QString::fromStdString(prompt), QLineEdit::Normal, QString(), &ok);
    if (!ok) return std::nullopt;
    return text.toStdString();
}

std::string QtServices::saveFileDialog(const std::string& filter) {
    return QFileDialog::getSaveFileName(window_, QString(), QString(), QtFileFilter(filter))
        .toStdString();
}

void QtServices::processEvents() {
    QCoreApplication::processEvents();
}

std::string QtServices::programFolder() {
    return QCoreApplication::applicationDirPath().toStdString();
}

Date QtServices::today() {
    QDate d = QDate::currentDate();
    return Date{d.year(), d.month(), d.day()};
}

void QtServices::showHistory(const std::vector<record::Entry>& rows) {
    if (!history_) history_ = new HistoryDialog(*this, window_);
    history_->setRows(rows);
    history_->show();
    history_->raise();
    history_->activateWindow();
}

bool QtServices::showStation(const StationSetup& setup) {
    StationDialog dialog(*this, setup, window_);
    dialog.exec();
    return true;
}

void QtServices::requestClose() {
    if (window_) QTimer::singleShot(0, window_.data(), &QWidget::close);
}

} // namespace plexmoor
