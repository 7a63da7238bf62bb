// The station in the window: the image, the configuration and the record
// it uses (read-only while it runs), a large PASS/FAIL panel per bridge,
// the shift's counts and Stop. The bridges are run by plexmoor-cli station
// workers, one each, as the command line's station runs them; this dialog
// reads their events and tallies them.
#pragma once

#include "services.h"
#include "station.h"
#include "worker_pool.h"

#include <QDialog>

#include <map>
#include <memory>
#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class QGridLayout;

namespace plexmoor {

class StationDialog : public QDialog {
  public:
    StationDialog(Services& services, StationSetup setup, QWidget* parent);
    ~StationDialog() override;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

  private:
    void start();
    void stop();
    void poll();
    void showPanels();
    std::vector<std::string> workerArgs(const std::string& bridge) const;

    Services& services_;
    StationSetup setup_;
    std::unique_ptr<WorkerPool> pool_;
    std::unique_ptr<ops::StationTally> tally_;
    std::vector<std::string> bridges_;
    std::map<std::string, QLabel*> panels_;
    QLineEdit* image_ = nullptr;
    QLineEdit* config_ = nullptr;
    QLineEdit* record_ = nullptr;
    QPushButton* start_ = nullptr;
    QPushButton* stop_ = nullptr;
    QLabel* counts_ = nullptr;
    QLabel* said_ = nullptr;
    QGridLayout* grid_ = nullptr;
    QTimer* timer_ = nullptr;
};

} // namespace plexmoor
